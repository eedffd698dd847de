#include "app/field_parsing.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace gaugemon::app {

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
    const bool startsWithZero = !digits.empty() && digits.front() == '0';
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    if (digits.empty()) return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
        if (value > UINT32_MAX) return std::nullopt;
    }
    if (value == 0 && !startsWithZero) return std::nullopt;
    return static_cast<uint32_t>(value);
}

std::optional<float> parseNumberField(std::string_view text) {
    const std::string_view number = trimBlanks(text);
    if (number.empty() || number.size() > 64) return std::nullopt;
    // Only characters of a decimal or exponent number: no "inf", "nan" or hex.
    for (char c : number) {
        if (!isDigit(c) && c != '+' && c != '-' && c != '.' && c != 'e' && c != 'E') return std::nullopt;
    }
    const std::string copy(number);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    if (std::fabs(value) > 3.4e38) return std::nullopt;
    if (value == 0.0 && number.front() != '0') return std::nullopt;
    return static_cast<float>(value);
}

std::string formatNumberField(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", static_cast<double>(value));
    return text;
}

}  // namespace gaugemon::app
