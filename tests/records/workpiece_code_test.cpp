#include "records/workpiece_code.h"

#include <gtest/gtest.h>

#include "core/settings_store.h"
#include "records/workpiece_codes.h"
#include "support/memory_settings_store.h"

namespace gaugemon::records {
namespace {

TEST(CheckCode, AcceptsWhatTheFileCanHoldAndRefusesTheRest) {
    const struct {
        const char* typed;
        CodeProblem problem;
        std::string_view gbk;
    } cases[] = {
        {"A12", CodeProblem::None, "A12"},
        {"", CodeProblem::None, ""},
        {" ", CodeProblem::None, " "},
        {"工件7", CodeProblem::None,
         "\xB9\xA4\xBC\xFE"
         "7"},
        {"1,2", CodeProblem::ForbiddenCharacter, {}},
        {"\"A", CodeProblem::ForbiddenCharacter, {}},
        {"A\"B", CodeProblem::ForbiddenCharacter, {}},
        {"1\t2", CodeProblem::ForbiddenCharacter, {}},
        {"12\n", CodeProblem::ForbiddenCharacter, {}},
        {"12\r", CodeProblem::ForbiddenCharacter, {}},
        {"a\x7F", CodeProblem::ForbiddenCharacter, {}},
        {"\xF0\x9F\x98\x80", CodeProblem::NotStorable, {}},  // emoji
        {"caf\xC3", CodeProblem::NotStorable, {}},           // UTF-8 cut off
        {"\xFF\xFE", CodeProblem::NotStorable, {}},
    };
    for (const auto& c : cases) {
        const CodeCheck check = checkCode(c.typed);
        EXPECT_EQ(check.problem, c.problem) << c.typed;
        if (c.problem == CodeProblem::None) {
            EXPECT_EQ(check.code.gbk(), c.gbk) << c.typed;
        }
    }
}

// A code written raw into the .csv or .xls is evaluated by a spreadsheet
// when it starts like a formula.
TEST(CheckCode, CodesThatASpreadsheetWouldEvaluateAreRefused) {
    for (const char* typed : {"=1+1", "+A1", "-2", "@SUM(A1)", "  =HYPERLINK(A1)", " -7"}) {
        EXPECT_EQ(checkCode(typed).problem, CodeProblem::FormulaStart) << typed;
    }
    for (const char* typed : {"A=1", "7-3", "x@y", "1+", "/-"}) {
        EXPECT_EQ(checkCode(typed).problem, CodeProblem::None) << typed;
    }
}

TEST(CheckCode, LengthIsCountedInGbkBytes) {
    EXPECT_EQ(checkCode(std::string(34, '9')).problem, CodeProblem::None);
    EXPECT_EQ(checkCode(std::string(35, 'A')).problem, CodeProblem::TooLong);
    std::string seventeen;
    for (int i = 0; i < 17; ++i) seventeen += "码";
    EXPECT_EQ(checkCode(seventeen).problem, CodeProblem::None);
    EXPECT_EQ(checkCode(seventeen + "1").problem, CodeProblem::TooLong);
}

TEST(CheckCode, EveryRefusalIsExplainedInBothLanguages) {
    for (CodeProblem p :
         {CodeProblem::ForbiddenCharacter, CodeProblem::FormulaStart, CodeProblem::NotStorable, CodeProblem::TooLong}) {
        const std::string english = codeProblemMessage(p, core::Language::English);
        const std::string chinese = codeProblemMessage(p, core::Language::Chinese);
        EXPECT_FALSE(english.empty());
        EXPECT_FALSE(chinese.empty());
        EXPECT_NE(english, chinese);
    }
}

TEST(WorkpieceCodes, EnableBoxIsStoredAndReadBack) {
    core::MemorySettingsStore store;
    EXPECT_FALSE(WorkpieceCodes(store).enabled());
    WorkpieceCodes codes(store);
    codes.setEnabled(true);
    EXPECT_EQ(store.readInt(core::keys::kCodeEn, -1), 1);
    EXPECT_TRUE(WorkpieceCodes(store).enabled());
    codes.setEnabled(false);
    EXPECT_EQ(store.readInt(core::keys::kCodeEn, -1), 0);
}

}  // namespace
}  // namespace gaugemon::records
