#include "station/field_parsing.h"

#include <charconv>
#include <cmath>

namespace gaugemon::station {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<uint32_t> parseProbeNumber(std::string_view text) {
    std::string_view digits = trimBlanks(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    return static_cast<uint32_t>(value);
}

std::optional<float> parseNumberField(std::string_view text) {
    std::string_view number = trimBlanks(text);
    if (number.empty() || number.size() > 64) return std::nullopt;
    // Only characters of a decimal or exponent number: no "inf", "nan" or hex.
    for (char c : number) {
        if (!isDigit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return std::nullopt;
    }
    // The conversion takes a minus but no plus; a plus before a second sign is
    // no number either.
    if (number.front() == '+') {
        number.remove_prefix(1);
        if (number.empty() || number.front() == '-' || number.front() == '+') return std::nullopt;
    }
    // from_chars reads the decimal point whatever the user's locale says:
    // under a decimal-comma locale the C library would refuse "0.2".
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return std::nullopt;
    if (std::fabs(value) > 3.4e38) return std::nullopt;
    // "-0" is zero, shown without its sign.
    if (value == 0.0) return 0.0f;
    return static_cast<float>(value);
}

std::string formatNumberField(float value) {
    // Shortest of fixed and exponent notation with 6 significant digits, as
    // printf's "%.6g" in the C locale, whatever the user's locale.
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}

}  // namespace gaugemon::station
