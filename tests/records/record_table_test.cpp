#include "records/record_table.h"

#include <gtest/gtest.h>

#include "records/record_texts.h"
#include "records_test_support.h"

namespace gaugemon::records {
namespace {

using core::Language;
using measure::LengthUnit;

constexpr core::LocalDateTime kTime{2019, 11, 29, 13, 52, 30};

struct TableFixture : ::testing::Test {
    RecordTable table;
    // Probe k shows "  k+1.00k " (k below 10).
    std::array<measure::Length, measure::kMaxProbes> readings{};

    TableFixture() {
        for (unsigned k = 0; k < readings.size(); ++k)
            readings[k] = measure::micrometres(static_cast<int32_t>(k * 1001 + 1000));
    }
    RowInput input(unsigned probes, bool codes = false, WorkpieceCode code = {}) const {
        return {probes, codes, LengthUnit::Millimetre,           false, Language::English,
                code,   kTime, std::span(readings).first(probes)};
    }
    void fill(uint32_t rows, unsigned probes, bool codes = false) {
        for (uint32_t r = 0; r < rows; ++r) ASSERT_EQ(table.appendRow(input(probes, codes)), AppendResult::Added);
    }
};

TEST_F(TableFixture, RowsAcrossChunkBoundariesKeepTheirFieldsAndNumbers) {
    constexpr uint32_t cap = RecordTable::kRowsPerChunk;
    table.prepareColumns({3, false, Language::English});
    // Each row gets its own first value, so a row read from the wrong
    // place of a chunk shows.
    for (uint32_t r = 0; r < 3 * cap + 7; ++r) {
        readings[0] = measure::micrometres(static_cast<int32_t>(r));
        ASSERT_EQ(table.appendRow(input(3)), AppendResult::Added);
    }
    for (uint32_t r : {0u, cap - 1, cap, cap + 1, 2 * cap, 3 * cap + 6}) {
        char eight[16];
        std::snprintf(eight, sizeof eight, "%3u.%03u ", r / 1000 % 1000, r % 1000);
        EXPECT_EQ(table.row(r).valueText(1).text(), eight) << "row " << r;
        EXPECT_EQ(table.row(r).valueText(3).text(), "  3.002 ");
        EXPECT_EQ(table.row(r).resultCell(), " OK ");
        EXPECT_EQ(stampText(table.row(r).timeStamp()), "2019-11-29; 13:52:30");
    }
    EXPECT_EQ(table.committedBytes(), 4 * cap * table.shape().stride);
}

TEST_F(TableFixture, MemoryIsCommittedOnlyAsRowsArrive) {
    table.prepareColumns({60, true, Language::English});
    EXPECT_EQ(table.committedBytes(), 0u);
    fill(1, 60, true);
    const size_t oneChunk = table.committedBytes();
    EXPECT_GT(oneChunk, 0u);
    fill(RecordTable::kRowsPerChunk - 1, 60, true);
    EXPECT_EQ(table.committedBytes(), oneChunk);
    fill(1, 60, true);
    EXPECT_EQ(table.committedBytes(), 2 * oneChunk);
    table.clearTable();
    EXPECT_EQ(table.committedBytes(), 0u);
}

TEST(RowNumbers, AreSixDigitsFromOne) {
    EXPECT_EQ(std::string_view(rowNumberText(0).data(), 6), "000001");
    EXPECT_EQ(std::string_view(rowNumberText(41).data(), 6), "000042");
    EXPECT_EQ(std::string_view(rowNumberText(kMaxRows - 1).data(), 6), "999999");
}

TEST_F(TableFixture, HoldsAtMost999999RowsAndNumbersAgainAfterClearing) {
    table.prepareColumns({1, false, Language::English});
    fill(kMaxRows, 1);
    EXPECT_TRUE(table.full());
    EXPECT_EQ(table.appendRow(input(1)), AppendResult::Full);
    EXPECT_EQ(table.rowCount(), kMaxRows);
    EXPECT_EQ(table.row(kMaxRows - 1).valueText(1).text(), "  1.000 ");

    table.clearTable();
    EXPECT_EQ(table.rowCount(), 0u);
    EXPECT_EQ(table.appendRow(input(1)), AppendResult::Added);
    EXPECT_EQ(table.rowCount(), 1u);
}

TEST_F(TableFixture, ResultIsKeptInTheLanguageOfRecording) {
    table.prepareColumns({1, false, Language::Chinese});
    const struct {
        bool ng;
        Language language;
        std::string_view cell;
    } cases[] = {
        {false, Language::English, " OK "},
        {true, Language::English, " NG "},
        {false, Language::Chinese, "\xBA\xCF\xB8\xF1"},
        {true, Language::Chinese, "\xB3\xAC\xB2\xEE"},
    };
    for (const auto& c : cases) table.appendRow({1, false, LengthUnit::Millimetre, c.ng, c.language, {}, kTime});
    for (uint32_t r = 0; r < std::size(cases); ++r) EXPECT_EQ(table.row(r).resultCell(), cases[r].cell);
}

// A row keeps numbers; its texts are made from them with the unit, the
// language and the clock fields of the moment of recording.
TEST(RecordedTexts, AreThoseOfTheMomentOfRecording) {
    RecordTable table;
    table.prepareColumns({5, false, Language::English});
    const measure::Length values[] = {measure::micrometres(-52), measure::tenthMicrometres(12345),
                                      measure::micrometres(1 << 30),
                                      measure::micrometres(-(1 << 30))};  // the fifth probe has no reading
    const struct {
        LengthUnit unit;
        core::LocalDateTime time;
        std::string_view texts[5];
        std::string_view stamp;
    } cases[] = {
        {LengthUnit::Millimetre,
         {2019, 13, 40, 25, 0, 0},
         {"- 0.052 ", " 1.2345 ", "999.999 ", "-999.99 ", std::string_view("\0\0\0\0\0\0\0\0", 8)},
         "2019-13-40; 25:00:00"},
        {LengthUnit::Inch,
         {12345, -1, 1, 0, 0, 0},
         {"-0.00200", " 0.04855", "39.37000", "-39.3700"},
         "9999-00-01; 00:00:00"},
    };
    for (const auto& c : cases) table.appendRow({5, false, c.unit, true, Language::Chinese, {}, c.time, values});
    for (uint32_t r = 0; r < std::size(cases); ++r) {
        const RowView row = table.row(r);
        for (unsigned k = 0; k < 4; ++k) EXPECT_EQ(row.valueText(k + 1).text(), cases[r].texts[k]) << r << "/" << k;
        EXPECT_EQ(stampText(row.timeStamp()), cases[r].stamp);
        EXPECT_EQ(row.resultCell(), "\xB3\xAC\xB2\xEE");
    }
    EXPECT_EQ(table.row(0).valueText(5).text(), cases[0].texts[4]);
}

// The list and the files make a text for every value they show; the table
// of three digits must make the display's text for every count of either sign.
TEST(RecordedTexts, AreTheDisplaysForEveryCountInMillimetres) {
    for (int32_t counts = -1'000'002; counts <= 1'000'002; ++counts) {
        ASSERT_EQ(recordedValueText(counts, LengthUnit::Millimetre, false),
                  display::formatValueText(counts, LengthUnit::Millimetre, false))
            << counts;
    }
    for (const int32_t counts : {INT32_MIN, INT32_MAX, -ProbeNumber::kLargestCounts, 12345, -99999})
        for (const bool fine : {false, true})
            for (const LengthUnit unit : {LengthUnit::Millimetre, LengthUnit::Inch})
                EXPECT_EQ(recordedValueText(counts, unit, fine), display::formatValueText(counts, unit, fine))
                    << counts;
}

TEST_F(TableFixture, AllDigitCodesGetASlashInTheSlotButNotOnScreen) {
    table.prepareColumns({1, true, Language::English});
    const struct {
        std::string_view code;
        std::string_view slotText;
    } cases[] = {{"00123", "/00123"}, {"A12", "A12"}, {"", "/"}, {"/12", "/12"}, {"1 2", "1 2"}};
    for (const auto& c : cases) table.appendRow(input(1, true, WorkpieceCode::fromGbk(c.code)));
    for (uint32_t r = 0; r < std::size(cases); ++r) {
        const RowView row = table.row(r);
        std::string slot(cases[r].slotText);
        slot.resize(kCodeSlotBytes, '\0');
        EXPECT_EQ(row.codeSlot(), slot) << cases[r].code;
        EXPECT_EQ(row.code(), cases[r].code);
    }
}

TEST_F(TableFixture, LongestCodeWithSlashFillsTheSlotWithoutSpilling) {
    table.prepareColumns({2, true, Language::English});
    const std::string digits(kMaxCodeBytes, '7');
    table.appendRow(input(2, true, WorkpieceCode::fromGbk(digits)));
    table.appendRow(input(2, true, WorkpieceCode::fromGbk("next")));
    const std::string_view slot = table.row(0).codeSlot();
    EXPECT_EQ(slot.substr(0, 1 + kMaxCodeBytes), "/" + digits);
    EXPECT_EQ(slot.back(), '\0');
    EXPECT_EQ(table.row(0).valueText(1).text(), "  1.000 ");
    EXPECT_EQ(table.row(1).code(), "next");
}

TEST_F(TableFixture, CodeUpdateReplacesTheSlotWithoutSlash) {
    table.prepareColumns({1, true, Language::English});
    table.appendRow(input(1, true, WorkpieceCode::fromGbk("12345")));
    const uint64_t before = table.changeStamp();
    ASSERT_TRUE(table.updateCode(0, WorkpieceCode::fromGbk("12345")));
    std::string slot = "12345";
    slot.resize(kCodeSlotBytes, '\0');
    EXPECT_EQ(table.row(0).codeSlot(), slot);
    EXPECT_EQ(table.row(0).code(), "12345");
    EXPECT_NE(table.changeStamp(), before);
    EXPECT_FALSE(table.updateCode(1, WorkpieceCode::fromGbk("x")));
}

TEST_F(TableFixture, CodeUpdateNeedsACodeColumn) {
    table.prepareColumns({1, false, Language::English});
    table.appendRow(input(1));
    EXPECT_FALSE(table.updateCode(0, WorkpieceCode::fromGbk("x")));
}

TEST_F(TableFixture, ColumnPreparationAtEachConnection) {
    EXPECT_EQ(table.prepareColumns({8, false, Language::English}).outcome, PrepareOutcome::Built);
    fill(2, 8);
    // Reconnection with the same probe count and code setting keeps everything.
    EXPECT_EQ(table.prepareColumns({8, false, Language::Chinese}).outcome, PrepareOutcome::Kept);
    EXPECT_EQ(table.rowCount(), 2u);
    EXPECT_EQ(table.layout().language, Language::English);

    // Another probe count: the rows stay intact and nothing new mixes in.
    const ColumnPreparation other = table.prepareColumns({60, false, Language::English});
    EXPECT_EQ(other.outcome, PrepareOutcome::KeptRowsOfOtherLayout);
    EXPECT_EQ(other.held.probeCount, 8u);
    EXPECT_EQ(table.layout().probeCount, 8u);
    EXPECT_EQ(table.appendRow(input(60)), AppendResult::LayoutMismatch);
    EXPECT_EQ(table.row(1).valueText(8).text(), "  8.007 ");

    // Clearing takes on the layout the connection waits for.
    table.clearTable();
    EXPECT_EQ(table.layout().probeCount, 60u);
    EXPECT_EQ(table.appendRow(input(60)), AppendResult::Added);
}

TEST_F(TableFixture, SwitchingCodeInputKeepsRowsUntilCleared) {
    table.prepareColumns({4, false, Language::English});
    fill(3, 4);
    EXPECT_EQ(table.prepareColumns({4, true, Language::English}).outcome, PrepareOutcome::KeptRowsOfOtherLayout);
    EXPECT_EQ(table.appendRow(input(4, true)), AppendResult::LayoutMismatch);
    // Back to the layout of the rows before clearing: nothing waits any more.
    EXPECT_EQ(table.prepareColumns({4, false, Language::English}).outcome, PrepareOutcome::Kept);
    EXPECT_FALSE(table.waitingForClear());
    table.clearTable();
    EXPECT_FALSE(table.layout().codeColumn);

    // An empty table is rebuilt at once.
    EXPECT_EQ(table.prepareColumns({4, true, Language::Chinese}).outcome, PrepareOutcome::Built);
    EXPECT_TRUE(table.layout().codeColumn);
}

TEST(LayoutChangeMessage, NamesBothProbeCountsInEitherLanguage) {
    ColumnPreparation p{
        PrepareOutcome::KeptRowsOfOtherLayout, {8, false, Language::English}, {60, false, Language::English}, 5};
    const std::string english = layoutChangeMessage(p, Language::English);
    EXPECT_NE(english.find("8 probes"), std::string::npos);
    EXPECT_NE(english.find("60 probes"), std::string::npos);
    EXPECT_NE(english.find("clear the table"), std::string::npos);
    const std::string chinese = layoutChangeMessage(p, Language::Chinese);
    EXPECT_NE(chinese.find("8个测头"), std::string::npos);
    EXPECT_NE(chinese.find("60个测头"), std::string::npos);
    p.outcome = PrepareOutcome::Kept;
    EXPECT_EQ(layoutChangeMessage(p, Language::English), "");
}

TEST_F(TableFixture, UnsavedRowsAndBackupFlagFollowAppendsAndSaves) {
    table.prepareColumns({1, true, Language::English});
    EXPECT_FALSE(table.hasUnsavedRows());
    fill(2, 1, true);
    EXPECT_TRUE(table.hasUnsavedRows());
    EXPECT_TRUE(table.rowsSinceBackup());
    table.markSaved(table.changeStamp());
    EXPECT_FALSE(table.hasUnsavedRows());
    table.updateCode(0, WorkpieceCode::fromGbk("B7"));
    EXPECT_TRUE(table.hasUnsavedRows());
    table.markSaved(table.changeStamp());
    table.setRowsSinceBackup(false);
    // Clearing leaves nothing unsaved and does not ask for a backup.
    fill(1, 1, true);
    table.setRowsSinceBackup(false);
    table.clearTable();
    EXPECT_FALSE(table.hasUnsavedRows());
    EXPECT_FALSE(table.rowsSinceBackup());
}

// A write on the writer's thread can be told after a later write on the spot.
TEST_F(TableFixture, AnOlderFileToldLateDoesNotMakeSavedRowsUnsaved) {
    table.prepareColumns({1, false, Language::English});
    fill(2, 1);
    const uint64_t older = table.changeStamp();
    fill(1, 1);
    table.markSaved(table.changeStamp());
    table.markSaved(older);
    EXPECT_FALSE(table.hasUnsavedRows());
}

TEST(TimeStamp, IsZeroPaddedAndNeverWiderThanItsPlace) {
    const auto text = [](core::LocalDateTime t) {
        const TimeStamp s = formatTimeStamp(t);
        return std::string(s.data(), s.size());
    };
    EXPECT_EQ(text({2019, 11, 29, 13, 52, 30}), "2019-11-29; 13:52:30");
    EXPECT_EQ(text({2024, 1, 2, 3, 4, 5}), "2024-01-02; 03:04:05");
    EXPECT_EQ(text({123456, 1, 1, 0, 0, 0}), "9999-01-01; 00:00:00");
    EXPECT_EQ(text({-5, 100, -1, 0, 0, 0}), "0000-99-00; 00:00:00");
    const auto date = formatDate({2023, 11, 28, 0, 0, 0});
    EXPECT_EQ(std::string_view(date.data(), date.size()), "20231128");
}

}  // namespace
}  // namespace gaugemon::records
