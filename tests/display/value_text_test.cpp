#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "display/display_mode.h"
#include "display/value_text.h"

using namespace gaugemon::display;
using gaugemon::core::Language;
using gaugemon::measure::LengthUnit;
using gaugemon::measure::lengthUnitFromSetting;

namespace {

struct TextCase {
    int32_t value;
    LengthUnit unit;
    bool fine;
    const char* text;
};

constexpr LengthUnit mm = LengthUnit::Millimetre;
constexpr LengthUnit in = LengthUnit::Inch;

void expectTexts(std::initializer_list<TextCase> cases) {
    for (const TextCase& c : cases) {
        const ValueText t = formatValueText(c.value, c.unit, c.fine);
        EXPECT_EQ(std::string(t.text()), c.text)
            << c.value << (c.unit == in ? " in" : " mm") << (c.fine ? " fine" : "");
        EXPECT_EQ(t.slot[8], '\0');
    }
}

}  // namespace

TEST(ValueText, StandardProbeInMillimetres) {
    expectTexts({
        {0, mm, false, "  0.000 "},
        {2345, mm, false, "  2.345 "},
        {12345, mm, false, " 12.345 "},
        {-2345, mm, false, "- 2.345 "},
        {-12345, mm, false, "-12.345 "},
        {123456, mm, false, "123.456 "},
        {-123456, mm, false, "-123.45 "},
        {-1, mm, false, "- 0.001 "},
        {100000, mm, false, "100.000 "},
    });
}

TEST(ValueText, FineProbeInMillimetresShowsFourDecimals) {
    expectTexts({
        {0, mm, true, " 0.0000 "},
        {15, mm, true, " 0.0015 "},
        {12345, mm, true, " 1.2345 "},
        {-12345, mm, true, "-1.2345 "},
        {123456, mm, true, "12.3456 "},
        {-123456, mm, true, "-12.345 "},
        {-1, mm, true, "-0.0001 "},
    });
}

TEST(ValueText, InchesAreCutDownToHalfSteps) {
    expectTexts({
        {0, in, false, " 0.00000"},
        {5, in, false, " 0.00015"},
        {12345, in, false, " 0.48600"},
        {-12345, in, false, "-0.48600"},
        {123456, in, false, " 4.86045"},
        {254000, in, false, "10.00000"},
        {-254000, in, false, "-10.0000"},
        {999999, in, false, "39.37000"},
        {-1, in, false, "-0.00000"},
        // n = 1901, 1905, 1909: the last digit only takes 0 or 5, downwards.
        {483, in, false, " 0.01900"},
        {484, in, false, " 0.01905"},
        {485, in, false, " 0.01905"},
    });
}

TEST(ValueText, FineProbeInInchesIsATenthOfTheCount) {
    // 1.2345 mm is 0.0486 in, not 0.486 in.
    expectTexts({
        {12345, in, true, " 0.04855"},
        {-12345, in, true, "-0.04855"},
        {1234, in, true, " 0.00480"},
        {2540000, in, true, "10.00000"},
    });
}

TEST(ValueText, MagnitudesBeyondTheTextAreShownAtItsLimit) {
    expectTexts({
        {1000000, mm, false, "999.999 "},
        {-1000000, mm, false, "-999.99 "},
        {INT_MAX, mm, false, "999.999 "},
        {INT_MIN, mm, false, "-999.99 "},
        {INT_MAX, mm, true, "99.9999 "},
        {INT_MIN, mm, true, "-99.999 "},
        {INT_MAX, in, false, "39.37000"},
        {INT_MIN, in, false, "-39.3700"},
        {INT_MIN, in, true, "-39.3700"},
    });
}

TEST(DisplayModeTexts, SelectorItemsOfBothLanguages) {
    const struct {
        DisplayMode mode;
        const char* english;
        const char* chinese;
    } cases[] = {
        {DisplayMode::RealTime, "  RV   ", "实时值"},
        {DisplayMode::Maximum, "  MAX  ", "最大值"},
        {DisplayMode::Minimum, "  MIN  ", "最小值"},
        {DisplayMode::Range, "MAX-MIN", "极差值"},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(modeSelectorText(c.mode, Language::English), c.english);
        EXPECT_STREQ(modeSelectorText(c.mode, Language::Chinese), c.chinese);
        EXPECT_EQ(std::string(c.english).size(), 7u);
    }
}

TEST(LengthUnitSetting, OnlyTheInchItemSelectsInches) {
    EXPECT_EQ(lengthUnitFromSetting(0), LengthUnit::Millimetre);
    EXPECT_EQ(lengthUnitFromSetting(1), LengthUnit::Inch);
    // A stored value outside the selector (or an index of -1 read back as 255)
    // must not leave the station in a unit it cannot show.
    EXPECT_EQ(lengthUnitFromSetting(255), LengthUnit::Millimetre);
    EXPECT_EQ(lengthUnitFromSetting(-1), LengthUnit::Millimetre);
}

TEST(ValueText, CharacteristicValuesWithTheirDecimalsInEitherUnit) {
    using gaugemon::measure::micrometres;
    using gaugemon::measure::tenthMicrometres;
    const struct {
        std::optional<gaugemon::measure::Length> value;
        LengthUnit unit;
        unsigned decimals;
        const char* text;
    } cases[] = {
        {micrometres(7456), mm, 3, "   7.456"},           {micrometres(7456), mm, 2, "    7.46"},
        {micrometres(-7455), mm, 2, "   -7.46"},          {tenthMicrometres(-5), mm, 3, "  -0.001"},
        {tenthMicrometres(4), mm, 3, "   0.000"},         {micrometres(25400), in, 3, " 1.00000"},
        {micrometres(25400), in, 0, "    1.00"},          {micrometres(12345), mm, 0, "      12"},
        {micrometres(123456), mm, 4, " 123.456"},         {micrometres(2'000'000'000), mm, 4, " 2000000"},
        {micrometres(-2'000'000'000), mm, 3, "-2000000"}, {std::nullopt, mm, 3, "   --   "},
    };
    for (const auto& c : cases) {
        const ValueText t = formatCharacteristicText(c.value, c.unit, c.decimals);
        EXPECT_EQ(std::string(t.text()), c.text) << c.text;
        EXPECT_EQ(t.slot[8], '\0');
    }
}
