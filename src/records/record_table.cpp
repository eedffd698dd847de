#include "records/record_table.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "measure/characteristic.h"
#include "records/digit_pairs.h"
#include "records/record_texts.h"

namespace gaugemon::records {

namespace {
constexpr uint32_t kMaxChunks = (kMaxRows + RecordTable::kRowsPerChunk - 1) / RecordTable::kRowsPerChunk;
}

RowShape RowShape::of(const TableLayout& layout) {
    RowShape shape;
    shape.probeCount = layout.probeCount;
    shape.characteristicCount = std::min(layout.characteristicCount(), measure::kMaxCharacteristics);
    for (unsigned k = 0; k < shape.characteristicCount; ++k) shape.decimals[k] = layout.characteristics[k].decimals;
    shape.codeColumn = layout.codeColumn;
    shape.timeOffset = shape.valueCount() * kProbeNumberBytes;
    shape.flagsOffset = shape.timeOffset + sizeof(uint64_t);
    shape.limitSetOffset = shape.flagsOffset + 1;
    shape.stride = shape.limitSetOffset + sizeof(uint16_t);
    if (layout.codeColumn) {
        shape.codeOffset = shape.stride;
        shape.stride += kCodeSlotBytes;
    }
    return shape;
}

namespace {
void storeLittleEndian(uint32_t bits, char* four) {
    for (int i = 0; i < 4; ++i) four[i] = static_cast<char>(bits >> (8 * i) & 0xFFu);
}

// Field widths and largest values of a packed time, as the time stamp shows them.
struct TimeField {
    int core::LocalDateTime::*field;
    unsigned shift;
    unsigned width;
    int largest;
};
constexpr TimeField kTimeFields[] = {
    {&core::LocalDateTime::year, 0, 14, 9999}, {&core::LocalDateTime::month, 14, 7, 99},
    {&core::LocalDateTime::day, 21, 7, 99},    {&core::LocalDateTime::hour, 28, 7, 99},
    {&core::LocalDateTime::minute, 35, 7, 99}, {&core::LocalDateTime::second, 42, 7, 99},
};
}  // namespace

uint64_t packTime(const core::LocalDateTime& time) {
    uint64_t packed = 0;
    for (const TimeField& f : kTimeFields)
        packed |= static_cast<uint64_t>(std::clamp(time.*f.field, 0, f.largest)) << f.shift;
    return packed;
}

core::LocalDateTime unpackTime(uint64_t packed) {
    core::LocalDateTime time;
    for (const TimeField& f : kTimeFields)
        time.*f.field = std::min(static_cast<int>(packed >> f.shift & ((uint64_t{1} << f.width) - 1)), f.largest);
    return time;
}

core::LocalDateTime RowView::time() const {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes_ + shape_->timeOffset);
    uint64_t packed = 0;
    for (int i = 7; i >= 0; --i) packed = packed << 8 | b[i];
    return unpackTime(packed);
}

std::string_view RowView::codeSlot() const {
    if (!shape_->codeColumn) return {};
    return {bytes_ + shape_->codeOffset, kCodeSlotBytes};
}

std::string_view RowView::code() const {
    if (!shape_->codeColumn) return {};
    const char* slot = bytes_ + shape_->codeOffset;
    const size_t skip = (flags() & row_flags::kCodePrefix) != 0 ? 1 : 0;
    return {slot + skip, ::strnlen(slot + skip, kCodeSlotBytes - skip)};
}

// A characteristic is refused, or has no value, where its value would not fit here.
static_assert(ProbeNumber::kLargestCounts == measure::kMaxValueCounts);

void ProbeNumber::store(char* four) const {
    const uint32_t bits = present ? static_cast<uint32_t>(std::clamp(counts, -kLargestCounts, kLargestCounts)) << 4 |
                                        (unit == measure::LengthUnit::Inch ? kInchBit : 0u) | (fine ? kFineBit : 0u) |
                                        static_cast<uint32_t>(zone)
                                  : static_cast<uint32_t>(kNoCounts) << 4 | static_cast<uint32_t>(zone);
    storeLittleEndian(bits, four);
}

namespace {

RecordedZone recordedZone(tolerance::Zone zone) {
    switch (zone) {
        case tolerance::Zone::Ok: return RecordedZone::Ok;
        case tolerance::Zone::Warning: return RecordedZone::Warning;
        case tolerance::Zone::Ng: return RecordedZone::Ng;
    }
    return RecordedZone::Unjudged;
}

RecordedZone recordedZone(const tolerance::Verdict* verdict, unsigned index) {
    return verdict ? recordedZone(verdict->zone(index)) : RecordedZone::Unjudged;
}

// A value that could not be computed is kept as absent, never as 0.
void encodeCharacteristics(const RowShape& shape, const RowInput& input, char* numbers) {
    for (unsigned k = 0; k < shape.characteristicCount; ++k) {
        ProbeNumber number;
        number.zone = input.verdict && k < input.verdict->characteristicCount()
                          ? recordedZone(input.verdict->characteristic(k))
                          : RecordedZone::Unjudged;
        if (k < input.characteristicValues.size() && input.characteristicValues[k]) {
            const measure::Length& value = *input.characteristicValues[k];
            number.present = true;
            number.fine = value.fine();
            number.counts = value.counts;
            number.unit = input.unit;
        }
        number.store(numbers + k * kProbeNumberBytes);
    }
}

}  // namespace

void encodeRow(const RowShape& shape, const RowInput& input, uint16_t limitSet, char* bytes) {
    char* numbers = bytes;
    const unsigned probes = shape.probeCount;
    if (!input.numbers.empty()) {
        for (unsigned k = 0; k < probes; ++k)
            (k < input.numbers.size() ? input.numbers[k] : ProbeNumber{}).store(numbers + k * kProbeNumberBytes);
    } else {
        // The station's path, once per recorded row: no call per probe.
        const size_t given = std::min<size_t>(input.readings.size(), probes);
        const uint32_t inch = input.unit == measure::LengthUnit::Inch ? ProbeNumber::kInchBit : 0u;
        for (unsigned k = 0; k < given; ++k) {
            const measure::Length& reading = input.readings[k];
            const int32_t counts =
                std::clamp(reading.counts, -ProbeNumber::kLargestCounts, ProbeNumber::kLargestCounts);
            const uint32_t bits = static_cast<uint32_t>(counts) << 4 | inch |
                                  (reading.fine() ? ProbeNumber::kFineBit : 0u) |
                                  static_cast<uint32_t>(recordedZone(input.verdict, k));
            storeLittleEndian(bits, numbers + k * kProbeNumberBytes);
        }
        for (unsigned k = static_cast<unsigned>(given); k < probes; ++k)
            ProbeNumber{}.store(numbers + k * kProbeNumberBytes);
    }
    encodeCharacteristics(shape, input, numbers + probes * kProbeNumberBytes);
    const uint64_t time = packTime(input.time);
    for (int i = 0; i < 8; ++i) bytes[shape.timeOffset + i] = static_cast<char>(time >> (8 * i) & 0xFFu);
    // An all-digit code (the empty one included) gets a '/' in front, so a
    // spreadsheet takes it as text and keeps its leading zeros.
    const bool prefix = shape.codeColumn && input.code.allDigits();
    bytes[shape.flagsOffset] = static_cast<char>((input.anyNg ? row_flags::kNg : 0) |
                                                 (input.language == core::Language::English ? row_flags::kEnglish : 0) |
                                                 (prefix ? row_flags::kCodePrefix : 0));
    bytes[shape.limitSetOffset] = static_cast<char>(limitSet & 0xFFu);
    bytes[shape.limitSetOffset + 1] = static_cast<char>(limitSet >> 8);
    if (shape.codeColumn) {
        char* slot = bytes + shape.codeOffset;
        std::memset(slot, 0, kCodeSlotBytes);
        if (prefix) *slot = kDigitCodePrefix;
        const std::string_view code = input.code.gbk();
        std::memcpy(slot + (prefix ? 1 : 0), code.data(), code.size());
    }
}

std::array<char, kRowNumberDigits> rowNumberText(uint32_t row) {
    std::array<char, kRowNumberDigits> text{};
    const uint32_t number = (row + 1) % 1'000'000;
    putTwoDigits(text.data(), number / 10'000);
    putTwoDigits(text.data() + 2, number / 100 % 100);
    putTwoDigits(text.data() + 4, number % 100);
    return text;
}

std::string layoutChangeMessage(const ColumnPreparation& preparation, core::Language language) {
    if (preparation.outcome != PrepareOutcome::KeptRowsOfOtherLayout) return {};
    const TableLayout& held = preparation.held;
    const TableLayout& wanted = preparation.requested;
    const bool english = language == core::Language::English;
    std::string text;
    if (held.probeCount != wanted.probeCount) {
        const std::string heldCount = std::to_string(held.probeCount);
        const std::string wantedCount = std::to_string(wanted.probeCount);
        text = english ? "The record table holds rows of " + heldCount + " probes; the instrument has " + wantedCount +
                             " probes."
                       : "记录表中的数据为" + heldCount + "个测头，当前设备有" + wantedCount + "个测头。";
    } else if (held.codeColumn == wanted.codeColumn) {
        text = english ? "The record table holds rows of other characteristics than those now defined."
                       : "记录表中的数据与当前定义的特性不同。";
    } else if (wanted.codeColumn) {
        text = english ? "The record table holds rows without workpiece codes; code input is now on."
                       : "记录表中的数据不带编码，当前已启用编码输入。";
    } else {
        text = english ? "The record table holds rows with workpiece codes; code input is now off."
                       : "记录表中的数据带编码，当前已关闭编码输入。";
    }
    text += english ? " Save the data and clear the table before new rows can be recorded."
                    : "请先保存数据并清除记录表，然后才能记录新数据!";
    return text;
}

RecordTable::RecordTable() { chunks_.reserve(kMaxChunks); }

RecordTable::~RecordTable() = default;

ColumnPreparation RecordTable::prepareColumns(const TableLayout& requested) {
    ColumnPreparation result{PrepareOutcome::Built, layout_, requested, rowCount_};
    if (rowCount_ == 0) {
        pending_ = {};
        resetTo(requested);
        result.held = layout_;
        return result;
    }
    if (layout_.sameRowShape(requested)) {
        pending_ = {};
        result.outcome = PrepareOutcome::Kept;
        return result;
    }
    pending_ = requested;
    result.outcome = PrepareOutcome::KeptRowsOfOtherLayout;
    return result;
}

void RecordTable::resetTo(const TableLayout& layout) {
    if (waitForReaders_) waitForReaders_();
    if (observer_) observer_->beforeReset();
    chunks_.clear();
    limitSets_.clear();
    limitSetCount_ = 0;
    rowCount_ = 0;
    ++resetCount_;
    layout_ = layout;
    shape_ = RowShape::of(layout);
    if (observer_) observer_->afterReset();
}

void RecordTable::clearTable() {
    const TableLayout next = pending_.hasColumns() ? pending_ : layout_;
    pending_ = {};
    resetTo(next);
}

bool RecordTable::dropFirstRows(uint32_t rows) {
    if (rows >= rowCount_) {
        clearTable();
        return true;
    }
    const uint32_t kept = rowCount_ - rows;
    std::vector<RowChunk> chunks;
    chunks.reserve(kMaxChunks);
    for (uint32_t r = 0; r < kept; r += kRowsPerChunk) {
        chunks.push_back(RowChunk::allocate(chunkBytes()));
        if (!chunks.back().data()) return false;
    }
    if (waitForReaders_) waitForReaders_();
    if (observer_) observer_->beforeReset();
    for (uint32_t r = 0; r < kept; ++r)
        std::memcpy(chunks[r / kRowsPerChunk].data() + static_cast<size_t>(r % kRowsPerChunk) * shape_.stride,
                    rowBytes(rows + r), shape_.stride);
    chunks_.swap(chunks);
    rowCount_ = kept;
    ++resetCount_;
    // The rows kept are in no file yet.
    changeStamp_ += kept;
    rowsSinceBackup_ = true;
    if (observer_) observer_->afterReset();
    return true;
}

bool RecordTable::adoptRows(RecordTable& other) {
    if (rowCount_ > 0 || &other == this) return false;
    if (waitForReaders_) waitForReaders_();
    if (observer_) observer_->beforeReset();
    chunks_.swap(other.chunks_);
    limitSets_.swap(other.limitSets_);
    limitSetCount_ = std::exchange(other.limitSetCount_, 0);
    rowCount_ = std::exchange(other.rowCount_, 0);
    layout_ = other.layout_;
    shape_ = other.shape_;
    pending_ = {};
    ++resetCount_;
    // Every row counts as new, as it would had it been appended here.
    changeStamp_ += rowCount_;
    if (rowCount_ > 0) rowsSinceBackup_ = true;
    other.chunks_.clear();
    other.limitSets_.clear();
    ++other.resetCount_;
    if (observer_) observer_->afterReset();
    return true;
}

uint16_t RecordTable::limitSetFor(std::span<const LimitCounts> limits) {
    if (limits.size() != shape_.valueCount() || shape_.probeCount == 0) return kNoLimitSet;
    if (limitSetCount_ > 0) {
        const auto last = limitSet(static_cast<uint16_t>(limitSetCount_ - 1));
        if (std::equal(last.begin(), last.end(), limits.begin())) return static_cast<uint16_t>(limitSetCount_ - 1);
    }
    if (limitSetCount_ >= kNoLimitSet) return kNoLimitSet;
    limitSets_.insert(limitSets_.end(), limits.begin(), limits.end());
    return static_cast<uint16_t>(limitSetCount_++);
}

char* RecordTable::beginAppend(AppendResult& refusal) {
    if (full()) {
        refusal = AppendResult::Full;
        return nullptr;
    }
    const uint32_t r = rowCount_;
    if (r / kRowsPerChunk >= chunks_.size()) {
        RowChunk chunk = RowChunk::allocate(chunkBytes());
        if (!chunk.data()) {
            refusal = AppendResult::NoMemory;
            return nullptr;
        }
        chunks_.push_back(std::move(chunk));
    }
    if (observer_) observer_->beforeAppend(r);
    return rowBytes(r);
}

void RecordTable::endAppend() {
    const uint32_t r = rowCount_;
    rowCount_ = r + 1;
    ++changeStamp_;
    rowsSinceBackup_ = true;
    if (observer_) observer_->afterAppend(r);
}

AppendResult RecordTable::appendRow(const RowInput& input) {
    if (!full() &&
        (!layout_.hasColumns() || input.probeCount != layout_.probeCount || input.codeInput != layout_.codeColumn ||
         !std::ranges::equal(input.characteristics, layout_.characteristics)))
        return AppendResult::LayoutMismatch;
    AppendResult refusal = AppendResult::Added;
    char* bytes = beginAppend(refusal);
    if (!bytes) return refusal;

    encodeRow(shape_, input, limitSetFor(input.limits), bytes);
    endAppend();
    return AppendResult::Added;
}

AppendResult RecordTable::appendRowBytes(std::string_view rowBytes, std::span<const LimitCounts> limits) {
    if (!full() && (!layout_.hasColumns() || rowBytes.size() != shape_.stride)) return AppendResult::LayoutMismatch;
    AppendResult refusal = AppendResult::Added;
    char* bytes = beginAppend(refusal);
    if (!bytes) return refusal;
    std::memcpy(bytes, rowBytes.data(), shape_.stride);
    // The set index kept with the bytes was that of another table.
    const uint16_t set = limitSetFor(limits);
    bytes[shape_.limitSetOffset] = static_cast<char>(set & 0xFFu);
    bytes[shape_.limitSetOffset + 1] = static_cast<char>(set >> 8);
    endAppend();
    return AppendResult::Added;
}

bool RecordTable::updateCode(uint32_t row, const WorkpieceCode& code) {
    if (row >= rowCount_ || !shape_.codeColumn) return false;
    char* bytes = rowBytes(row);
    char* slot = bytes + shape_.codeOffset;
    std::memset(slot, 0, kCodeSlotBytes);
    std::memcpy(slot, code.gbk().data(), code.gbk().size());
    bytes[shape_.flagsOffset] = static_cast<char>(bytes[shape_.flagsOffset] & ~row_flags::kCodePrefix);
    ++changeStamp_;
    if (observer_) observer_->codeChanged(row);
    return true;
}

}  // namespace gaugemon::records
