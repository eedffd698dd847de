#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>

#include "journal/journal.h"
#include "journal/journal_texts.h"
#include "journal_test_support.h"
#include "records/records_test_support.h"
#include "sample_rows.h"

namespace gaugemon::journal {
namespace {

using records::RecordTable;
using records::test::readFile;
using records::test::TempDir;
using records::test::writeFile;

// Limits the size of any file this process writes, so the journal runs out
// of room as on a full disk; root is bound by it too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

// Records `rows` rows as the station does, telling every problem the journal
// has; the number of problems told.
int recordTellingProblems(Journal& journal, RecordTable& table, uint32_t first, uint32_t rows) {
    int told = 0;
    for (uint32_t k = first; k < first + rows; ++k) {
        EXPECT_EQ(test::appendSampleRow(table, k), records::AppendResult::Added);
        journal.follow(table);
        journal.waitWritten();
        if (journal.takeReport()) ++told;
    }
    if (journal.takeReport()) ++told;
    return told;
}

TEST(JournalDamaged, ADamagedFileIsMovedAsideUntouchedNeverOverAnotherAndANewOneWorks) {
    TempDir dir;
    const auto file = dir / kFileName;
    const std::string garbage(8192, 'x');
    const int64_t now = test::wallClockMs();
    std::vector<std::string> asides;
    for (int round = 0; round < 2; ++round) {
        writeFile(file, garbage);
        Journal journal;
        // The same second both times: the second one must not take the first one's name.
        ASSERT_EQ(journal.open(dir.path().string(), kDefaultKeepDays, now), Problem::MovedAside);
        EXPECT_TRUE(journal.isOn());
        const auto report = journal.takeReport();
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->problem, Problem::MovedAside);
        EXPECT_FALSE(journal.takeReport().has_value());
        asides.push_back(report->path);
    }
    ASSERT_NE(asides[0], asides[1]);
    for (const auto& aside : asides) EXPECT_EQ(readFile(aside), garbage);

    {
        Journal journal;
        ASSERT_EQ(journal.open(dir.path().string()), Problem::None);
        RecordTable table;
        table.prepareColumns(test::sampleLayout());
        EXPECT_EQ(recordTellingProblems(journal, table, 0, 2), 0);
    }
    Journal next;
    next.open(dir.path().string());
    EXPECT_EQ(next.pending().count, 2u);
}

TEST(JournalUnavailable, ALocationThatCannotHoldTheJournalIsToldOnceAndRecordingGoesOn) {
    TempDir dir;
    writeFile(dir / "plain-file", "x");
    Journal journal;
    EXPECT_EQ(journal.open((dir / "plain-file" / "journal").string()), Problem::CannotOpen);
    EXPECT_FALSE(journal.isOn());
    const auto report = journal.takeReport();
    ASSERT_TRUE(report.has_value());
    EXPECT_NE(problemText(*report, core::Language::English).find("memory only"), std::string::npos);
    RecordTable table;
    table.prepareColumns(test::sampleLayout());
    EXPECT_EQ(recordTellingProblems(journal, table, 0, 3), 0);
    EXPECT_EQ(table.rowCount(), 3u);
}

TEST(JournalUnavailable, AReadOnlyDirectoryIsToldOnceAndRecordingGoesOn) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
    TempDir dir;
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Journal journal;
    EXPECT_EQ(journal.open(dir.path().string()), Problem::CannotOpen);
    EXPECT_TRUE(journal.takeReport().has_value());
    RecordTable table;
    table.prepareColumns(test::sampleLayout());
    EXPECT_EQ(recordTellingProblems(journal, table, 0, 3), 0);
    EXPECT_EQ(table.rowCount(), 3u);
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
}

TEST(JournalFull, AFullDiskIsToldOnceRecordingGoesOnAndTheRowsWrittenBeforeAreOffered) {
    TempDir dir;
    uint64_t written = 0;
    {
        Journal journal;
        ASSERT_EQ(journal.open(dir.path().string()), Problem::None);
        RecordTable table;
        table.prepareColumns(test::sampleLayout());
        int told = 0;
        {
            FileSizeLimit limit(256 * 1024);
            told = recordTellingProblems(journal, table, 0, 400);
        }
        EXPECT_EQ(told, 1);
        EXPECT_FALSE(journal.isOn());
        EXPECT_EQ(table.rowCount(), 400u);
        written = journal.writtenRows();
        EXPECT_GT(written, 0u);
        EXPECT_LT(written, 400u);
    }
    Journal next;
    ASSERT_EQ(next.open(dir.path().string()), Problem::None);
    EXPECT_EQ(next.pending().count, written);
}

// The rows of an ended run are restored and exported, but the full disk
// takes no mark: once it has room again, the next start must not offer them
// a second time.
TEST(JournalFull, RowsOfferedTwiceAfterAFullJournalDisk) {
    TempDir dir;
    {
        Journal ended;
        ASSERT_EQ(ended.open(dir.path().string()), Problem::None);
        RecordTable table;
        table.prepareColumns(test::sampleLayout());
        EXPECT_EQ(recordTellingProblems(ended, table, 0, 51), 0);
    }
    std::optional<FileSizeLimit> full;
    {
        Journal journal;
        ASSERT_EQ(journal.open(dir.path().string()), Problem::None);
        RecordTable table;
        ASSERT_EQ(journal.restorePending(table, core::Language::English).restored, 51u);
        ASSERT_TRUE(journal.waitWritten());
        full.emplace(std::filesystem::file_size(dir / (std::string(kFileName) + "-wal")));
        EXPECT_EQ(recordTellingProblems(journal, table, 51, 5), 1);
        // The export of all 56 rows, while the disk is still full.
        journal.markSaved(table, table.rowCount());
        journal.waitWritten();
    }
    // The run ended before the disk had room again.
    full.reset();
    Journal next;
    ASSERT_EQ(next.open(dir.path().string()), Problem::None);
    EXPECT_EQ(next.pending().count, 0u);
}

}  // namespace
}  // namespace gaugemon::journal
