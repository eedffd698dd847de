// The edit-field rules the operator meets in every number field.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

#include "station/field_parsing.h"

using namespace gaugemon::station;

TEST(ProbeNumberField, AcceptsUnsignedNumbersWithBlanksAndPlus) {
    EXPECT_EQ(parseProbeNumber("+3"), 3u);
    EXPECT_EQ(parseProbeNumber(" \t12 "), 12u);
    EXPECT_EQ(parseProbeNumber("0"), 0u);
    EXPECT_EQ(parseProbeNumber("+0"), 0u);
    EXPECT_EQ(parseProbeNumber("007"), 7u);
}

TEST(ProbeNumberField, RefusesSignsEmptinessAndOtherCharacters) {
    for (const char* text : {"-3", "", "   ", "+", "3a", "1 2", "++1", "4294967296", "3.0"}) {
        EXPECT_FALSE(parseProbeNumber(text)) << text;
    }
}

TEST(NumberField, AcceptsDecimalAndExponentNotation) {
    EXPECT_EQ(parseNumberField("0.0"), 0.0f);
    EXPECT_EQ(parseNumberField(".5"), 0.5f);
    EXPECT_EQ(parseNumberField("-.5"), -0.5f);
    EXPECT_EQ(parseNumberField(" -10 "), -10.0f);
    EXPECT_EQ(parseNumberField("1e-1"), 0.1f);
    EXPECT_EQ(parseNumberField("+2.5"), 2.5f);
    EXPECT_EQ(parseNumberField("5."), 5.0f);
}

// These were refused as "not a number", so an operator could not type zero
// the way he writes it.
TEST(NumberField, EverySpellingOfZeroIsZero) {
    for (const char* text : {"-0", "+0", ".0", "-.0", "0.", "-0.0", "+0e3", " -0 "}) {
        const auto value = parseNumberField(text);
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(*value, 0.0f) << text;
        EXPECT_FALSE(std::signbit(*value)) << text << " would show as -0";
    }
}

TEST(NumberField, RefusesWhatIsNoNumber) {
    for (const char* text : {"", "  ", ".", "-", "+", "e5", "1.5mm", "nan", "inf", "-inf", "0x10", "1e999", "--1",
                             "+-1", "-+1", "++1", "1,5", "1.2.3", "1e"}) {
        EXPECT_FALSE(parseNumberField(text)) << text;
    }
}

TEST(NumberField, WritesUpToSixSignificantDigits) {
    EXPECT_EQ(formatNumberField(-10000 * 0.001f), "-10");
    EXPECT_EQ(formatNumberField(200 * 0.001f), "0.2");
    EXPECT_EQ(formatNumberField(1.2345678f), "1.23457");
    EXPECT_EQ(formatNumberField(0.0f), "0");
    EXPECT_EQ(formatNumberField(1234567.0f), "1.23457e+06");
    EXPECT_EQ(formatNumberField(0.00001f), "1e-05");
}

// The window runs under the user's locale (QApplication sets it from the
// environment). Under a decimal-comma locale the C library wrote the period
// field as "0,2" and refused both "0.2" and "0,2", so no number field could
// be used and the window could not read back its own values.
TEST(NumberField, ReadsAndWritesADecimalPointUnderADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
        if ((found = std::setlocale(LC_ALL, name)) != nullptr) break;
    }
    if (found == nullptr) GTEST_SKIP() << "no decimal-comma locale installed (scripts/setup generates de_DE.UTF-8)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");

    EXPECT_EQ(formatNumberField(0.2f), "0.2");
    EXPECT_EQ(formatNumberField(-10.5f), "-10.5");
    EXPECT_EQ(parseNumberField("0.2"), 0.2f);
    EXPECT_EQ(parseNumberField("-0.0005"), -0.0005f);
    EXPECT_EQ(parseNumberField(formatNumberField(1.23457f)), 1.23457f) << "the field reads back what it shows";
    EXPECT_FALSE(parseNumberField("0,2")) << "one format, whatever the locale";
    std::setlocale(LC_ALL, previous.c_str());
}
