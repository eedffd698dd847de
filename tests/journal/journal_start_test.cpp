#include "journal/journal_start.h"

#include <gtest/gtest.h>

#include "records/records_test_support.h"
#include "sample_rows.h"
#include "support/recording_prompts.h"

namespace gaugemon::journal {
namespace {

using records::RecordTable;
using records::test::TempDir;

void endedRunWithRows(const TempDir& dir, uint32_t rows) {
    Journal journal;
    journal.open(dir.path().string());
    RecordTable table;
    table.prepareColumns(test::sampleLayout());
    for (uint32_t k = 0; k < rows; ++k) {
        test::appendSampleRow(table, k);
        journal.follow(table);
    }
}

TEST(JournalStart, TheOperatorIsAskedWithCountAndTimeAndYesRestoresNoDiscards) {
    for (const bool yes : {true, false}) {
        for (const auto language : {core::Language::English, core::Language::Chinese}) {
            TempDir dir;
            endedRunWithRows(dir, 3);
            testing::RecordingPrompts prompts;
            prompts.yesNoAnswers.push_back(yes);
            RecordTable table;
            {
                Journal journal;
                journal.open(dir.path().string());
                const StartChoice choice = offerPendingRows(journal, table, prompts, language);
                EXPECT_EQ(choice, yes ? StartChoice::Restored : StartChoice::Discarded);
                // Restored rows are this run's: an export saves them.
                journal.markSaved(table, table.rowCount());
            }
            ASSERT_EQ(prompts.questions.size(), 1u);
            EXPECT_NE(prompts.questions[0].find('3'), std::string::npos);
            EXPECT_NE(prompts.questions[0].find("2026-12-08; 05:00:00"), std::string::npos);
            EXPECT_TRUE(prompts.messages.empty());
            EXPECT_EQ(table.rowCount(), yes ? 3u : 0u);

            // Either way the rows are not offered at the next start.
            testing::RecordingPrompts nextPrompts;
            Journal next;
            next.open(dir.path().string());
            RecordTable nextTable;
            EXPECT_EQ(offerPendingRows(next, nextTable, nextPrompts, language), StartChoice::NothingOffered);
        }
    }
}

TEST(JournalStart, AProblemOfOpeningIsToldOnceAndNothingIsAsked) {
    TempDir dir;
    records::test::writeFile(dir / "plain-file", "x");
    Journal journal;
    journal.open((dir / "plain-file").string());
    testing::RecordingPrompts prompts;
    RecordTable table;
    EXPECT_EQ(offerPendingRows(journal, table, prompts, core::Language::Chinese), StartChoice::NothingOffered);
    EXPECT_FALSE(reportProblem(journal, prompts, core::Language::Chinese));
    EXPECT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.questions.empty());
}

}  // namespace
}  // namespace gaugemon::journal
