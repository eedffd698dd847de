#include "exchange/shown_value.h"

#include <gtest/gtest.h>

#include <string>

#include "display/value_text.h"
#include "tolerance/tolerance_table.h"

namespace gaugemon::exchange {
namespace {

using display::formatValueText;

std::string formatted(const ScaledNumber& n) {
    char text[24];
    return {text, formatScaled(n, text)};
}

// The number a text of the display stands for, as the file writes it.
std::string readBack(std::string_view text, LengthUnit target) {
    const auto shown = parseValueText(text);
    return shown ? formatted(inUnit(*shown, target)) : "none";
}

TEST(ValueTexts, EveryFormTheDisplayShowsReadsBackAsItsNumberWithItsDecimals) {
    struct Case {
        int32_t counts;
        LengthUnit unit;
        bool fine;
        const char* expected;
    };
    const Case cases[] = {
        {2345, LengthUnit::Millimetre, false, "2.345"},      {-50, LengthUnit::Millimetre, false, "-0.050"},
        {-123456, LengthUnit::Millimetre, false, "-123.45"}, {999999, LengthUnit::Millimetre, false, "999.999"},
        {12345, LengthUnit::Millimetre, true, "1.2345"},     {-123456, LengthUnit::Millimetre, true, "-12.345"},
        {12345, LengthUnit::Inch, false, "0.48600"},         {-254000, LengthUnit::Inch, false, "-10.0000"},
        {0, LengthUnit::Millimetre, false, "0.000"},         {-1, LengthUnit::Inch, false, "0.00000"},
    };
    for (const Case& c : cases) {
        const display::ValueText text = formatValueText(c.counts, c.unit, c.fine);
        const auto shown = parseValueText(text.text());
        ASSERT_TRUE(shown) << text.text();
        EXPECT_EQ(shown->unit, c.unit) << text.text();
        EXPECT_EQ(formatted(shown->number), c.expected) << text.text();
    }
}

TEST(ValueTexts, SlotsThatHoldNoNumberAreNotTakenForOne) {
    for (std::string_view text :
         {std::string_view("\0\0\0\0\0\0\0\0", 8), std::string_view("        "), std::string_view(" 2.3x5  "),
          std::string_view("  2345  "), std::string_view("  .345  "), std::string_view("  2.    "),
          std::string_view("--2.345 "), std::string_view(" 2.345\0\0", 8), std::string_view("0.123456"),
          std::string_view("2.345")}) {
        EXPECT_FALSE(parseValueText(text)) << text;
    }
}

TEST(ValueTexts, ConvertToTheFileUnitRoundedToItsStep) {
    // 2.345 mm = 0.0923228 in; 0.48600 in = 12.3444 mm.
    EXPECT_EQ(readBack("  2.345 ", LengthUnit::Inch), "0.09232");
    EXPECT_EQ(readBack(" -2.345 ", LengthUnit::Inch), "-0.09232");
    EXPECT_EQ(readBack(" 0.48600", LengthUnit::Millimetre), "12.344");
    EXPECT_EQ(readBack("-0.48605", LengthUnit::Millimetre), "-12.346");
    EXPECT_EQ(readBack(" 0.48600", LengthUnit::Inch), "0.48600");
}

TEST(Limits, ShowTheTolerancesOfTheUnitAsTheToleranceTableHoldsThem) {
    EXPECT_EQ(formatted(limitInUnit(6000, LengthUnit::Millimetre)), "6.000");
    EXPECT_EQ(formatted(limitInUnit(-50, LengthUnit::Millimetre)), "-0.050");
    for (int32_t counts : {3000, 6000, -50, 123456, -1}) {
        const ScaledNumber inch = limitInUnit(counts, LengthUnit::Inch);
        EXPECT_EQ(inch.units, tolerance::displayFromCounts(counts, LengthUnit::Inch)) << counts;
        EXPECT_EQ(inch.decimals, 5);
    }
    EXPECT_EQ(formatted(limitInUnit(3000, LengthUnit::Inch)), "0.11811");
}

// A characteristic's limits show the decimals of its values, never fewer
// than the limit needs.
TEST(Limits, OfACharacteristicShowItsDecimals) {
    const struct {
        int32_t counts;
        unsigned decimals;
        LengthUnit unit;
        const char* text;
    } cases[] = {
        {50, 4, LengthUnit::Millimetre, "0.0500"}, {-12490, 4, LengthUnit::Millimetre, "-12.4900"},
        {20, 2, LengthUnit::Millimetre, "0.02"},   {25, 2, LengthUnit::Millimetre, "0.025"},
        {6000, 0, LengthUnit::Millimetre, "6"},    {6000, 3, LengthUnit::Millimetre, "6.000"},
        {3000, 2, LengthUnit::Inch, "0.11811"},    {25400, 0, LengthUnit::Inch, "1.00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatted(characteristicLimitInUnit(c.counts, c.decimals, c.unit)), c.text) << c.counts;
}

}  // namespace
}  // namespace gaugemon::exchange
