#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gaugemon::station {

// The probe-number field: an unsigned decimal with an optional leading plus,
// blanks or tabs around it.
std::optional<uint32_t> parseProbeNumber(std::string_view text);

// A number field: decimal or exponent notation with a decimal point, an
// optional sign, blanks or tabs around it, nothing else; the same in every
// locale, as the stored settings and the files are. Every spelling of zero
// ("0", "-0", "+0", ".0") is zero.
std::optional<float> parseNumberField(std::string_view text);

// Shortest general notation with up to 6 significant digits and a decimal
// point in every locale: -10, 0.2.
std::string formatNumberField(float value);

inline constexpr const char* kProbeNumberRejected = "“请填入一个正整数。”";
inline constexpr const char* kNumberRejected = "请键入一个数。";

}  // namespace gaugemon::station
