#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "support/memory_settings_store.h"
#include "tolerance/tolerance_actions.h"
#include "tolerance/tolerance_entry.h"
#include "tolerance/tolerance_table.h"
#include "tolerance/tolerance_text.h"

using namespace gaugemon::tolerance;
using gaugemon::core::Language;
using gaugemon::core::lowerLimitKey;
using gaugemon::core::MemorySettingsStore;
using gaugemon::core::upperLimitKey;
using gaugemon::measure::Length;

namespace {

constexpr LengthUnit mm = LengthUnit::Millimetre;
constexpr LengthUnit in = LengthUnit::Inch;

int32_t stored(const MemorySettingsStore& store, gaugemon::core::LimitKey key) { return store.readInt(key, INT_MIN); }

Length standard(int32_t v) { return gaugemon::measure::micrometres(v); }
Length fine(int32_t v) { return gaugemon::measure::tenthMicrometres(v); }

}  // namespace

TEST(ToleranceJudgement, BothLimitsAreInclusive) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    table.setDisplayLimits(2, 2000, 2000, mm, store);
    const struct {
        unsigned probe;
        Length reading;
        Judgement expected;
    } cases[] = {
        {1, standard(3000), Judgement::Ok}, {1, standard(6000), Judgement::Ok},  {1, standard(2999), Judgement::Ng},
        {1, standard(6001), Judgement::Ng}, {1, standard(-4500), Judgement::Ng}, {2, standard(2000), Judgement::Ok},
        {2, standard(1999), Judgement::Ng}, {2, standard(2001), Judgement::Ng},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.judgeProbe(c.probe, c.reading), c.expected) << c.probe << " " << c.reading.counts;
    }
}

TEST(ToleranceJudgement, FineProbeIsJudgedInItsTrueLength) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);  // 3.000 .. 6.000 mm
    table.setDisplayLimits(5, 1234, 1235, mm, store);
    EXPECT_EQ(table.judgeProbe(1, fine(45000)), Judgement::Ok);  // 4.5 mm
    EXPECT_EQ(table.judgeProbe(1, fine(4500)), Judgement::Ng);   // 0.45 mm, not 4.5 mm
    EXPECT_EQ(table.judgeProbe(1, fine(60000)), Judgement::Ok);  // exactly 6 mm
    EXPECT_EQ(table.judgeProbe(1, fine(60001)), Judgement::Ng);  // 6.0001 mm
    EXPECT_EQ(table.judgeProbe(5, fine(12345)), Judgement::Ok);  // 1.2345 mm
    EXPECT_EQ(table.judgeProbe(5, fine(12351)), Judgement::Ng);
}

TEST(ToleranceJudgement, ReversedPairAndUnknownProbesAreNg) {
    MemorySettingsStore store;
    store.writeInt(lowerLimitKey(3), 5000);
    store.writeInt(upperLimitKey(3), 4000);
    ToleranceTable table;
    table.load(store, mm);
    EXPECT_EQ(table.judgeProbe(3, standard(4500)), Judgement::Ng);
    EXPECT_EQ(table.judgeProbe(0, standard(4500)), Judgement::Ng);
    EXPECT_EQ(table.judgeProbe(61, standard(4500)), Judgement::Ng);
    EXPECT_EQ(table.judgeProbe(61, standard(0)), Judgement::Ng);
}

TEST(ToleranceLoad, CountsFollowTheUnitReadAtStart) {
    MemorySettingsStore store;
    store.writeInt(lowerLimitKey(5), 1000);
    store.writeInt(upperLimitKey(5), -1);
    store.writeInt(lowerLimitKey(60), INT_MIN);
    store.writeInt(upperLimitKey(60), INT_MAX);
    ToleranceTable millimetres;
    millimetres.load(store, mm);
    EXPECT_EQ(millimetres.limits(1).lslCounts, 3000);
    EXPECT_EQ(millimetres.limits(1).uslCounts, 6000);
    EXPECT_EQ(millimetres.limits(5).lslCounts, 1000);

    ToleranceTable inches;
    inches.load(store, in);
    EXPECT_EQ(inches.limits(1).lslDisplay, 3000);
    EXPECT_EQ(inches.limits(1).lslCounts, 762);
    EXPECT_EQ(inches.limits(1).uslCounts, 1524);
    EXPECT_EQ(inches.limits(5).lslCounts, 254);
    EXPECT_EQ(inches.limits(5).uslCounts, 0);
    // Extreme stored values neither overflow nor wrap.
    EXPECT_EQ(inches.limits(60).lslCounts, -545460847);
    EXPECT_EQ(inches.limits(60).uslCounts, 545460846);
}

TEST(ToleranceUnitChange, InchLimitsSurviveRestartsWithoutDrift) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    table.convertLimitsForUnit(in, store);
    EXPECT_EQ(stored(store, lowerLimitKey(1)), 11811);
    EXPECT_EQ(stored(store, upperLimitKey(60)), 23622);
    EXPECT_EQ(table.limits(1).lslCounts, 3000);

    // Each restart in inch mode derives the counts again from the inch values.
    for (int restart = 0; restart < 3; ++restart) {
        ToleranceTable again;
        again.load(store, in);
        EXPECT_EQ(again.limits(1).lslCounts, 3000);
        EXPECT_EQ(again.limits(60).uslCounts, 6000);
        again.convertLimitsForUnit(in, store);
        EXPECT_EQ(stored(store, lowerLimitKey(1)), 11811);
    }

    table.convertLimitsForUnit(mm, store);
    EXPECT_EQ(stored(store, lowerLimitKey(1)), 3000);
    EXPECT_EQ(stored(store, upperLimitKey(1)), 6000);
}

TEST(ToleranceUnitChange, WritesEveryKeyLowerBeforeUpper) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    table.setDisplayLimits(7, -50, 12345, mm, store);
    const int before = store.writeCount();
    table.convertLimitsForUnit(in, store);
    EXPECT_EQ(store.writeCount() - before, 120);
    EXPECT_EQ(stored(store, lowerLimitKey(7)), -196);  // -50 * 1000 / 254 truncated toward zero
    EXPECT_EQ(stored(store, upperLimitKey(7)), 48602);
    EXPECT_EQ(table.limits(7).lslCounts, -50);
}

TEST(ToleranceTexts, LimitTextOfTheList) {
    const struct {
        int32_t display;
        LengthUnit unit;
        const char* text;
    } cases[] = {
        {3000, mm, "  3.000"},    {12345, mm, " 12.345"},   {123456, mm, "123.456"},  {103000, mm, "103.000"},
        {-3000, mm, "- 3.000"},   {-12345, mm, "-12.345"},  {-123456, mm, "-123.45"}, {0, mm, "  0.000"},
        {11810, in, " 0.1181"},   {1234560, in, "12.3456"}, {-3000, in, "-0.0300"},   {-1234560, in, "-12.345"},
        {INT_MAX, mm, "999.999"}, {INT_MIN, mm, "-999.99"}, {INT_MIN, in, "-99.999"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(formatLimitText(c.display, c.unit).text()), c.text) << c.display;
    }
}

// A characteristic's limit shows its own decimals, but never rounded.
TEST(ToleranceTexts, HeaderLimitIsMillimetresWithTwoIntegerDigits) {
    const struct {
        int32_t counts;
        const char* text;
        unsigned decimals = kHeaderLimitDecimals;
    } cases[] = {
        {6000, "+06.000"},
        {3000, "+03.000"},
        {-50, "-00.050"},
        {0, "+00.000"},
        {99999, "+99.999"},
        {-12345, "-12.345"},
        {123456, "+123.456"},
        {INT_MIN, "-2147483.648"},
        {50, "+00.0500", 4},
        {-12490, "-12.4900", 4},
        {INT_MIN, "-2147483.6480", 4},
        {20, "+00.02", 2},
        {25, "+00.025", 2},
        {6000, "+06", 0},
        {6100, "+06.1", 0},
        {-1, "-00.001", 1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::string(formatHeaderLimit(c.counts, c.decimals).text()), c.text) << c.counts;
    }
}

TEST(ToleranceEntry, RoundsToSignificantDigitsThenCutsDecimals) {
    const struct {
        float entry;
        LengthUnit unit;
        int32_t display;
    } cases[] = {
        {3.0f, mm, 3000},        {0.0567f, mm, 56},       {12.3456f, mm, 12346},   {0.05f, in, 5000},
        {0.12345f, in, 12350},   {0.00567f, in, 560},     {-3.0f, mm, -3000},      {-0.0567f, mm, -56},
        {0.5678f, mm, 568},      {2.0005f, mm, 2001},     {2.0004f, mm, 2000},     {9.9995f, mm, 10000},
        {123.4567f, mm, 123457}, {999.9994f, mm, 999999}, {0.0f, mm, 0},           {0.0004f, mm, 0},
        {1.23456f, in, 123460},  {0.1f, mm, 100},         {-0.12345f, in, -12350},
    };
    for (const auto& c : cases) {
        const auto display = displayFromEntry(c.entry, c.unit);
        ASSERT_TRUE(display.has_value()) << c.entry;
        EXPECT_EQ(*display, c.display) << c.entry << (c.unit == in ? " in" : " mm");
    }
}

TEST(ToleranceEntry, RefusesWhatDoesNotFit) {
    for (float entry : {1000.0f, 999.9996f, -1000.0f, 1e30f, 1e38f, -1e38f, -999999999.0f, NAN, INFINITY, -INFINITY}) {
        EXPECT_FALSE(displayFromEntry(entry, mm).has_value()) << entry;
    }
    for (float entry : {10.0f, 9.99999f, -10.0f}) {
        EXPECT_FALSE(displayFromEntry(entry, in).has_value()) << entry;
    }
}

TEST(ToleranceApply, StoresOneProbeInDisplayUnits) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, in);
    const LimitChange change = applyProbeLimits(table, {12, 0.05f, 0.12345f}, in, Language::English, store);
    EXPECT_TRUE(change.stored);
    EXPECT_EQ(change.message, nullptr);
    EXPECT_EQ(table.limits(12).lslDisplay, 5000);
    EXPECT_EQ(table.limits(12).uslDisplay, 12350);
    EXPECT_EQ(table.limits(12).lslCounts, 1270);
    EXPECT_EQ(table.limits(12).uslCounts, 3137);
    EXPECT_EQ(stored(store, lowerLimitKey(12)), 5000);
    EXPECT_EQ(stored(store, upperLimitKey(12)), 12350);
    EXPECT_EQ(store.writeCount(), 2);
}

TEST(ToleranceApply, EqualLimitsAreAcceptedReversedOnesRefused) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    const LimitChange reversed = applyProbeLimits(table, {1, 5.0f, 4.0f}, mm, Language::English, store);
    EXPECT_FALSE(reversed.stored);
    EXPECT_STREQ(reversed.message, "Make sure LSL <=USL");
    EXPECT_STREQ(applyProbeLimits(table, {1, 5.0f, 4.0f}, mm, Language::Chinese, store).message,
                 "下公差必须小于上公差!");
    EXPECT_EQ(store.writeCount(), 0);
    EXPECT_EQ(table.limits(1).lslDisplay, 3000);

    EXPECT_TRUE(applyProbeLimits(table, {1, 4.0f, 4.0f}, mm, Language::English, store).stored);
    EXPECT_EQ(table.limits(1).lslCounts, 4000);
    EXPECT_EQ(table.limits(1).uslCounts, 4000);
}

TEST(ToleranceApply, ProbeNumbersWithoutASlotTouchNothing) {
    for (unsigned probe : {0u, 61u, 100u, 4000000000u}) {
        MemorySettingsStore store;
        ToleranceTable table;
        table.load(store, mm);
        const LimitChange change = applyProbeLimits(table, {probe, 1.0f, 2.0f}, mm, Language::English, store);
        EXPECT_FALSE(change.stored) << probe;
        EXPECT_STREQ(change.message, "Num must be 1~60!");
        EXPECT_EQ(store.writeCount(), 0);
        EXPECT_FALSE(table.setDisplayLimits(probe, 1, 2, mm, store));
    }
    MemorySettingsStore store;
    ToleranceTable table;
    EXPECT_STREQ(applyProbeLimits(table, {0, 1.0f, 2.0f}, mm, Language::Chinese, store).message, "序号必须为1~60!");
}

TEST(ToleranceApply, EntriesThatDoNotFitAreRefused) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    for (const LimitEntry entry :
         {LimitEntry{1, 1.0f, 5000.0f}, LimitEntry{1, -999999999.0f, 2.0f}, LimitEntry{1, -1e38f, 1e38f}}) {
        const LimitChange change = applyProbeLimits(table, entry, mm, Language::English, store);
        EXPECT_FALSE(change.stored) << entry.lower << " " << entry.upper;
        EXPECT_STREQ(change.message, "LSL/USL out of range!");
    }
    EXPECT_FALSE(applyProbeLimits(table, {1, NAN, 2.0f}, mm, Language::English, store).stored);
    EXPECT_EQ(store.writeCount(), 0);
}

TEST(ToleranceCopy, CopiesTheStoredLimitsOfProbeOne) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, mm);
    table.setDisplayLimits(1, 1500, 2500, mm, store);
    table.setDisplayLimits(30, 7000, 8000, mm, store);
    const int before = store.writeCount();
    const int syncsBefore = store.syncCount();
    // The fields may show other numbers for probe 1; only its stored pair counts.
    copyFirstProbeLimits(table, mm, store);
    EXPECT_EQ(store.writeCount() - before, 118);
    EXPECT_EQ(store.syncCount() - syncsBefore, 1);
    for (unsigned probe : {2u, 30u, 60u}) {
        EXPECT_EQ(table.limits(probe).lslCounts, 1500) << probe;
        EXPECT_EQ(table.limits(probe).uslDisplay, 2500) << probe;
        EXPECT_EQ(stored(store, upperLimitKey(static_cast<int>(probe))), 2500) << probe;
    }
}

TEST(ToleranceSelection, LoadsFieldsOnlyWhenTheSelectedProbeChanges) {
    MemorySettingsStore store;
    ToleranceTable table;
    table.load(store, in);
    table.setDisplayLimits(4, 11811, 23627, in, store);
    ToleranceSelection selection;

    const auto first = selection.follow(-1, table, in);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->probe, 1u);
    EXPECT_FLOAT_EQ(first->lower, 0.03f);
    EXPECT_FALSE(selection.follow(-1, table, in).has_value());
    EXPECT_FALSE(selection.follow(0, table, in).has_value());

    const auto fourth = selection.follow(3, table, in);
    ASSERT_TRUE(fourth.has_value());
    EXPECT_EQ(fourth->probe, 4u);
    EXPECT_FLOAT_EQ(fourth->lower, 0.1181f);  // the last stored inch digit is not shown
    EXPECT_FLOAT_EQ(fourth->upper, 0.2362f);

    ToleranceSelection millimetres;
    const auto mmFields = millimetres.follow(-1, table, mm);
    ASSERT_TRUE(mmFields.has_value());
    EXPECT_FLOAT_EQ(mmFields->upper, 6.0f);
}
