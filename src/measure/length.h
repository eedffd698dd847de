#pragma once
#include <cstdint>

namespace gaugemon::measure {

// How fine a length's counts are: a standard probe counts thousandths of a
// millimetre, a fine-resolution probe ten-thousandths.
enum class Resolution : uint8_t { Micrometre = 0, TenthMicrometre = 1 };

// Counts of one resolution in a standard count.
inline constexpr int64_t kFinePerStandardCount = 10;

// A length in true length: signed counts of its resolution. A value is kept
// at the resolution it was measured in, so that it is shown with the digits
// the probe has.
struct Length {
    int32_t counts = 0;
    Resolution resolution = Resolution::Micrometre;

    bool fine() const { return resolution == Resolution::TenthMicrometre; }
    // The same length in ten-thousandths of a millimetre, exact for both resolutions.
    int64_t tenthMicrometres() const { return fine() ? counts : int64_t{counts} * kFinePerStandardCount; }
    friend bool operator==(const Length&, const Length&) = default;
};

constexpr Length micrometres(int32_t counts) { return {counts, Resolution::Micrometre}; }
constexpr Length tenthMicrometres(int32_t counts) { return {counts, Resolution::TenthMicrometre}; }

}  // namespace gaugemon::measure
