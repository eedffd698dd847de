#include "exchange/shown_value.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>

#include "tolerance/tolerance_table.h"

namespace gaugemon::exchange {

namespace {

constexpr size_t kValueTextBytes = 8;
constexpr int64_t kMicrometreUnits = 100;  // 0.001 mm in 0.00001 mm
constexpr int kMillimetreDecimals = 3;
// 1 in = 25.4 mm: a length in 0.00001 mm times kInchDenominator over
// kInchNumerator is the same length in 0.00001 in.
constexpr int64_t kInchNumerator = 254;
constexpr int64_t kInchDenominator = 10;

constexpr std::array<int64_t, kMaxDecimals + 1> kPowersOfTen{1, 10, 100, 1'000, 10'000, 100'000};

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isPadding(char c) { return c == ' ' || c == '\0'; }

// Division of a magnitude rounded half away from zero.
int64_t roundedDivision(int64_t numerator, int64_t denominator) {
    const int64_t half = denominator / 2;
    return numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
}

// "-12.345" into units of 0.00001; nothing unless it is an optional minus,
// one or more digits, a point and one to five digits. The display keeps the
// minus in the first place of its text, so blanks may stand between the
// minus and the digits ("- 0.050 ").
std::optional<ScaledNumber> parseDecimal(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    if (negative) {
        text.remove_prefix(1);
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    }
    const size_t point = text.find('.');
    if (point == 0 || point == std::string_view::npos) return std::nullopt;
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = text.substr(point + 1);
    if (fraction.empty() || fraction.size() > kMaxDecimals) return std::nullopt;
    int64_t units = 0;
    for (char c : whole) {
        if (!isDigit(c)) return std::nullopt;
        units = units * 10 + (c - '0');
    }
    for (char c : fraction) {
        if (!isDigit(c)) return std::nullopt;
        units = units * 10 + (c - '0');
    }
    const int decimals = static_cast<int>(fraction.size());
    units *= kPowersOfTen[kMaxDecimals - decimals];
    return ScaledNumber{negative ? -units : units, decimals};
}

}  // namespace

std::optional<ShownValue> parseValueText(std::string_view eightBytes) {
    if (eightBytes.size() != kValueTextBytes) return std::nullopt;
    const char last = eightBytes.back();
    LengthUnit unit;
    if (last == ' ') {
        unit = LengthUnit::Millimetre;
    } else if (isDigit(last)) {
        unit = LengthUnit::Inch;
    } else {
        return std::nullopt;
    }
    size_t begin = 0;
    size_t end = eightBytes.size();
    while (begin < end && isPadding(eightBytes[begin])) ++begin;
    while (end > begin && isPadding(eightBytes[end - 1])) --end;
    const auto number = parseDecimal(eightBytes.substr(begin, end - begin));
    if (!number) return std::nullopt;
    return ShownValue{*number, unit};
}

std::optional<ScaledNumber> parseCharacteristicText(std::string_view eightBytes) {
    if (eightBytes.size() != kValueTextBytes) return std::nullopt;
    size_t begin = 0;
    size_t end = eightBytes.size();
    while (begin < end && isPadding(eightBytes[begin])) ++begin;
    while (end > begin && isPadding(eightBytes[end - 1])) --end;
    return parseDecimal(eightBytes.substr(begin, end - begin));
}

ScaledNumber inUnit(const ShownValue& value, LengthUnit target) {
    if (value.unit == target) return value.number;
    if (target == LengthUnit::Inch) {
        return {roundedDivision(value.number.units * kInchDenominator, kInchNumerator), kMaxDecimals};
    }
    const int64_t micrometres =
        roundedDivision(value.number.units * kInchNumerator, kInchDenominator * kMicrometreUnits);
    return {micrometres * kMicrometreUnits, kMillimetreDecimals};
}

ScaledNumber limitInUnit(int32_t counts, LengthUnit target) {
    if (target == LengthUnit::Inch) return {tolerance::displayFromCounts(counts, LengthUnit::Inch), kMaxDecimals};
    return {static_cast<int64_t>(counts) * kMicrometreUnits, kMillimetreDecimals};
}

ScaledNumber characteristicLimitInUnit(int32_t counts, unsigned decimals, LengthUnit target) {
    ScaledNumber limit = limitInUnit(counts, target);
    const int shown = std::min(kMaxDecimals, static_cast<int>(decimals) + (target == LengthUnit::Inch ? 2 : 0));
    while (limit.decimals > shown && limit.units % kPowersOfTen[kMaxDecimals - limit.decimals + 1] == 0)
        --limit.decimals;
    limit.decimals = std::max(limit.decimals, shown);
    return limit;
}

size_t formatScaled(const ScaledNumber& number, char* out) {
    const int decimals = number.decimals < 0 ? 0 : (number.decimals > kMaxDecimals ? kMaxDecimals : number.decimals);
    const int64_t shown = roundedDivision(number.units, kPowersOfTen[kMaxDecimals - decimals]);
    const int64_t magnitude = std::llabs(shown);
    char* p = out;
    if (shown < 0) *p++ = '-';
    p = std::to_chars(p, p + 20, magnitude / kPowersOfTen[decimals]).ptr;
    if (decimals > 0) {
        *p++ = '.';
        int64_t fraction = magnitude % kPowersOfTen[decimals];
        for (int i = decimals - 1; i >= 0; --i) {
            p[i] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        p += decimals;
    }
    return static_cast<size_t>(p - out);
}

}  // namespace gaugemon::exchange
