// The edit-field rules the operator meets in every number field.
#include <gtest/gtest.h>

#include "app/field_parsing.h"

using namespace gaugemon::app;

TEST(ProbeNumberField, AcceptsUnsignedNumbersWithBlanksAndPlus) {
    EXPECT_EQ(parseProbeNumber("+3"), 3u);
    EXPECT_EQ(parseProbeNumber(" \t12 "), 12u);
    EXPECT_EQ(parseProbeNumber("0"), 0u);
    EXPECT_EQ(parseProbeNumber("007"), 7u);
}

TEST(ProbeNumberField, RefusesSignsEmptinessAndOtherCharacters) {
    for (const char* text : {"-3", "", "   ", "+", "3a", "1 2", "+0", "4294967296", "3.0"}) {
        EXPECT_FALSE(parseProbeNumber(text)) << text;
    }
}

TEST(NumberField, AcceptsDecimalAndExponentNotation) {
    EXPECT_EQ(parseNumberField("0.0"), 0.0f);
    EXPECT_EQ(parseNumberField(".5"), 0.5f);
    EXPECT_EQ(parseNumberField(" -10 "), -10.0f);
    EXPECT_EQ(parseNumberField("1e-1"), 0.1f);
    EXPECT_EQ(parseNumberField("+2.5"), 2.5f);
}

TEST(NumberField, RefusesZeroNotWrittenWithALeadingDigitAndTrailingText) {
    for (const char* text : {"-0", ".0", "", "  ", "1.5mm", "nan", "inf", "0x10", "1e999", "--1", "1,5"}) {
        EXPECT_FALSE(parseNumberField(text)) << text;
    }
}

TEST(NumberField, WritesUpToSixSignificantDigits) {
    EXPECT_EQ(formatNumberField(-10000 * 0.001f), "-10");
    EXPECT_EQ(formatNumberField(200 * 0.001f), "0.2");
    EXPECT_EQ(formatNumberField(1.2345678f), "1.23457");
    EXPECT_EQ(formatNumberField(0.0f), "0");
}
