#pragma once
#include <array>
#include <cstdint>
#include <cstring>

#include "display/value_text.h"
#include "measure/length_unit.h"

namespace gaugemon::records {

namespace value_text_detail {
using Half = std::array<char, 4>;
// The two halves of a text in thousandths of a millimetre, indexed by 0-999:
// "ddd." for the whole millimetres with the leading zeros blank, first for
// values of zero or more, then with the minus in the first place; "ddd "
// for the thousandths. The sign picks a table rather than a branch: values
// around zero change sign from row to row.
struct MillimetreHalves {
    std::array<std::array<Half, 1000>, 2> whole;
    std::array<Half, 1000> thousandths;
};
extern const MillimetreHalves kMillimetreHalves;
}  // namespace value_text_detail

// The text of a count of thousandths of a millimetre, written at `out`, when
// it is of the common kind: not beyond the largest shown, and without a third
// whole digit when negative. False, and nothing written, otherwise. Two table
// halves, inline, since an export makes tens of millions of them.
inline bool putCommonMillimetreText(int32_t counts, char* out) {
    if (counts <= -100'000 || counts > display::kMaxShownCounts) return false;
    const auto magnitude = static_cast<uint32_t>(counts < 0 ? -counts : counts);
    const value_text_detail::MillimetreHalves& halves = value_text_detail::kMillimetreHalves;
    std::memcpy(out, halves.whole[counts < 0 ? 1 : 0][magnitude / 1000].data(), 4);
    std::memcpy(out + 4, halves.thousandths[magnitude % 1000].data(), 4);
    return true;
}

// The value text of a recorded number, as display::formatValueText makes it,
// made for every value of every row a list or a file shows. Writes the eight
// characters at `out`.
inline void putRecordedValueText(int32_t counts, measure::LengthUnit unit, bool fineResolution, char* out) {
    if (unit == measure::LengthUnit::Millimetre && !fineResolution && putCommonMillimetreText(counts, out)) return;
    const display::ValueText text = display::formatValueText(counts, unit, fineResolution);
    std::memcpy(out, text.slot.data(), 8);
}

inline display::ValueText recordedValueText(int32_t counts, measure::LengthUnit unit, bool fineResolution) {
    display::ValueText text;
    putRecordedValueText(counts, unit, fineResolution, text.slot.data());
    return text;
}

}  // namespace gaugemon::records
