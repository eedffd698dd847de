#include "records/first_row_shape.h"

#include <cstdint>

#include "records/record_table.h"

namespace gaugemon::records {

namespace {

constexpr size_t kFirstResultOffsetPerProbe = kValueTextBytes;
constexpr size_t kFirstFixedBytes = kResultBytes + kTimeStampBytes;
constexpr size_t kFirstCodeBytes = kCodeSlotBytes + 1;  // the slot and whether '/' was put in front

size_t firstStride(const TableLayout& layout) {
    return layout.probeCount * (kFirstResultOffsetPerProbe + kProbeNumberBytes) + kFirstFixedBytes +
           (layout.codeColumn ? kFirstCodeBytes : 0);
}

// The first shape's number: bits 0-1 zone, bit 2 fine, bit 3 present,
// bits 4-31 the count.
ProbeNumber firstNumber(const char* four, std::string_view text) {
    const auto* b = reinterpret_cast<const unsigned char*>(four);
    const uint32_t bits = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    ProbeNumber n;
    n.present = (bits & 8u) != 0;
    if (!n.present) return n;
    n.zone = static_cast<RecordedZone>(bits & 3u);
    n.fine = (bits & 4u) != 0;
    n.counts = static_cast<int32_t>(bits) >> 4;
    // Millimetre texts end in a blank, inch texts in a digit.
    n.unit = text.back() == ' ' ? measure::LengthUnit::Millimetre : measure::LengthUnit::Inch;
    return n;
}

int digitsAt(std::string_view stamp, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        const char c = stamp[i];
        value = value * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    }
    return value;
}

// "2019-11-29; 13:52:30" back into its fields.
core::LocalDateTime timeOfStamp(std::string_view stamp) {
    return {digitsAt(stamp, 0, 4),  digitsAt(stamp, 5, 2),  digitsAt(stamp, 8, 2),
            digitsAt(stamp, 12, 2), digitsAt(stamp, 15, 2), digitsAt(stamp, 18, 2)};
}

}  // namespace

bool rowFromFirstShape(std::string_view old, const TableLayout& layout, std::string& out) {
    if (!layout.hasColumns() || layout.probeCount > measure::kMaxProbes || old.size() != firstStride(layout))
        return false;
    const unsigned probes = layout.probeCount;
    const size_t resultOffset = probes * kValueTextBytes;
    const size_t timeOffset = resultOffset + kResultBytes;
    const size_t codeOffset = timeOffset + kTimeStampBytes;
    const size_t numbersOffset = codeOffset + (layout.codeColumn ? kFirstCodeBytes : 0);

    std::array<ProbeNumber, measure::kMaxProbes> numbers{};
    for (unsigned k = 0; k < probes; ++k)
        numbers[k] = firstNumber(old.data() + numbersOffset + k * kProbeNumberBytes,
                                 old.substr(k * kValueTextBytes, kValueTextBytes));
    const std::string_view result = old.substr(resultOffset, kResultBytes);
    const bool english =
        result == resultCell(false, core::Language::English) || result == resultCell(true, core::Language::English);
    const bool ng = result == resultCell(true, english ? core::Language::English : core::Language::Chinese);

    const RowInput input{probes,
                         layout.codeColumn,
                         measure::LengthUnit::Millimetre,
                         ng,
                         english ? core::Language::English : core::Language::Chinese,
                         {},
                         timeOfStamp(old.substr(timeOffset, kTimeStampBytes)),
                         {},
                         nullptr,
                         std::span<const ProbeNumber>(numbers.data(), probes)};
    const RowShape shape = RowShape::of(layout);
    out.assign(shape.stride, '\0');
    encodeRow(shape, input, kNoLimitSet, out.data());
    if (layout.codeColumn) {
        // The slot is kept as it was, '/' and all.
        out.replace(shape.codeOffset, kCodeSlotBytes, old.substr(codeOffset, kCodeSlotBytes));
        const bool prefix = old[codeOffset + kCodeSlotBytes] != 0;
        const auto flags = static_cast<uint8_t>(out[shape.flagsOffset]);
        out[shape.flagsOffset] =
            static_cast<char>(prefix ? flags | row_flags::kCodePrefix : flags & ~row_flags::kCodePrefix);
    }
    return true;
}

}  // namespace gaugemon::records
