#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/clock.h"
#include "display/value_text.h"
#include "measure/length.h"
#include "measure/length_unit.h"
#include "records/limit_set.h"
#include "records/record_columns.h"
#include "records/record_texts.h"
#include "records/recorded_value_text.h"
#include "records/row_chunk.h"
#include "records/time_stamp.h"
#include "records/workpiece_code.h"
#include "tolerance/verdict.h"

namespace gaugemon::records {

inline constexpr uint32_t kMaxRows = 999'999;
inline constexpr size_t kRowNumberDigits = 6;
inline constexpr size_t kValueTextBytes = 8;
inline constexpr size_t kResultBytes = 4;
inline constexpr size_t kProbeNumberBytes = 4;
// The shape of a stored row (RowView::bytes): 1 held the texts of the moment
// beside the numbers, 2 holds numbers only. Kept rows say which they are.
inline constexpr int kRowShapeVersion = 2;

// Where a probe's reading stood against its limits when its row was recorded.
enum class RecordedZone : uint8_t { Unjudged = 0, Ok = 1, Warning = 2, Ng = 3 };

// One probe's reading as recorded: a number with what its text depends on.
// Four bytes, least significant first: bits 0-1 the zone, bit 2 fine
// resolution, bit 3 shown in inches, bits 4-31 the signed count, -2^27 for
// a value without a number (whose zone stays: a characteristic that could
// not be computed was judged NG; a probe without one is unjudged). The decoder never yields more than 2^24 * 5
// counts; anything beyond the 28 bits is kept at the nearest storable count.
struct ProbeNumber {
    bool present = false;
    bool fine = false;  // counts of 0.0001 mm rather than 0.001 mm
    int32_t counts = 0;
    RecordedZone zone = RecordedZone::Unjudged;
    measure::LengthUnit unit = measure::LengthUnit::Millimetre;  // of the value text

    static constexpr int32_t kLargestCounts = (1 << 27) - 1;
    static constexpr int32_t kNoCounts = -(1 << 27);
    static constexpr uint32_t kFineBit = 4;
    static constexpr uint32_t kInchBit = 8;

    // The length in 0.0001 mm, whatever the probe's resolution.
    int64_t tenthMicrometres() const { return fine ? counts : int64_t{counts} * 10; }
    // The text the value was shown with when recorded; eight zero bytes for
    // a probe without a number, as the display holds before its first reading.
    display::ValueText text() const { return present ? recordedValueText(counts, unit, fine) : display::ValueText{}; }
    std::optional<measure::Length> length() const {
        if (!present) return std::nullopt;
        return fine ? measure::tenthMicrometres(counts) : measure::micrometres(counts);
    }
    // The text of a characteristic's value as the chart showed it with
    // `decimals`, "   --   " for a value that could not be computed.
    display::ValueText characteristicText(unsigned decimals) const {
        return display::formatCharacteristicText(length(), unit, decimals);
    }

    void store(char* four) const;
    static ProbeNumber load(const char* four) {
        const uint32_t bits = loadBits(four);
        ProbeNumber n;
        const int32_t counts = countsOf(bits);
        n.zone = static_cast<RecordedZone>(bits & 3u);
        if (counts == kNoCounts) return n;
        n.present = true;
        n.counts = counts;
        n.fine = (bits & kFineBit) != 0;
        n.unit = unitOf(bits);
        return n;
    }
    // text() of the number stored at `four`, written at `out` without making
    // the number first: a file writes one for every value of every row.
    static void putStoredText(const char* four, char* out) {
        const uint32_t bits = loadBits(four);
        const int32_t counts = countsOf(bits);
        // Standard resolution in millimetres, both told by one test; no
        // common text is of kNoCounts, which is looked for only after.
        if ((bits & (kFineBit | kInchBit)) == 0 && putCommonMillimetreText(counts, out)) return;
        if (counts == kNoCounts)
            std::memset(out, 0, kValueTextBytes);
        else
            putRecordedValueText(counts, unitOf(bits), (bits & kFineBit) != 0, out);
    }

private:
    static uint32_t loadBits(const char* four) {
        const auto* b = reinterpret_cast<const unsigned char*>(four);
        return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }
    // Arithmetic shift of the signed top 28 bits.
    static int32_t countsOf(uint32_t bits) { return static_cast<int32_t>(bits) >> 4; }
    static measure::LengthUnit unitOf(uint32_t bits) {
        return (bits & kInchBit) != 0 ? measure::LengthUnit::Inch : measure::LengthUnit::Millimetre;
    }
};

// Everything a new row is made of, taken when the record timer fires.
struct RowInput {
    unsigned probeCount = 0;
    bool codeInput = false;
    measure::LengthUnit unit = measure::LengthUnit::Millimetre;  // the values are shown in
    bool anyNg = false;
    core::Language language = core::Language::Chinese;
    WorkpieceCode code;  // recorded when codeInput is on
    core::LocalDateTime time;
    // The readings shown and their verdict; probes beyond the readings given
    // keep no number, a row without a verdict no per-probe judgement.
    std::span<const measure::Length> readings{};
    const tolerance::Verdict* verdict = nullptr;
    // Numbers made elsewhere (a row rebuilt from what a file or an earlier
    // version kept), taken instead of the readings when given.
    std::span<const ProbeNumber> numbers{};
    // The characteristics recorded after the probes, their values (absent
    // where one could not be computed; judged by the verdict) and, after the
    // probes', their limits in `limits`.
    std::span<const CharacteristicColumn> characteristics{};
    std::span<const std::optional<measure::Length>> characteristicValues{};
    // The limits in force, probes 0..N-1 then the characteristics; none
    // given, the row has no limit set.
    std::span<const LimitCounts> limits{};
};

enum class AppendResult : uint8_t {
    Added,
    Full,            // kMaxRows rows held
    LayoutMismatch,  // the rows held have another probe count, code column or characteristics
    NoMemory,        // the memory for the next block of rows is not to be had
};

enum class PrepareOutcome : uint8_t {
    Built,                 // the table was empty: columns built for the new layout
    Kept,                  // rows of the same shape present: columns and rows stay
    KeptRowsOfOtherLayout  // rows of another shape present: kept, no new rows until cleared
};

struct ColumnPreparation {
    PrepareOutcome outcome = PrepareOutcome::Built;
    TableLayout held;       // the layout of the rows in the table
    TableLayout requested;  // the layout the connection asked for
    uint32_t rowsHeld = 0;
};

// Tells the operator why rows cannot be recorded until the table is saved and
// cleared; empty unless the outcome is KeptRowsOfOtherLayout.
std::string layoutChangeMessage(const ColumnPreparation& preparation, core::Language language);

// The list on screen follows the table through these calls.
class RecordTableObserver {
public:
    virtual ~RecordTableObserver() = default;
    virtual void beforeAppend(uint32_t row) = 0;
    virtual void afterAppend(uint32_t row) = 0;
    virtual void beforeReset() = 0;  // rows cleared or columns rebuilt
    virtual void afterReset() = 0;
    virtual void codeChanged(uint32_t row) = 0;
};

// A row's index into the limit sets of its table; none for rows recorded
// without limits.
inline constexpr uint16_t kNoLimitSet = 0xFFFF;

// Byte positions of the fields inside one stored row: the numbers (the
// probes', then the characteristics'), the time (8 bytes), the flags (verdict, language of the result cell, '/' in
// front of the code), the limit set (2 bytes) and the 36-byte code slot with a code column.
struct RowShape {
    unsigned probeCount = 0;
    unsigned characteristicCount = 0;
    bool codeColumn = false;
    size_t timeOffset = 0;
    size_t flagsOffset = 0;
    size_t limitSetOffset = 0;
    size_t codeOffset = 0;  // with a code column only
    size_t stride = 0;
    // The decimals each characteristic's value texts have.
    std::array<uint8_t, measure::kMaxCharacteristics> decimals{};

    // Probes and characteristics: the limits of a row's limit set.
    unsigned valueCount() const { return probeCount + characteristicCount; }
    static RowShape of(const TableLayout& layout);
};

namespace row_flags {
inline constexpr uint8_t kNg = 1;
inline constexpr uint8_t kEnglish = 2;
inline constexpr uint8_t kCodePrefix = 4;  // '/' put in front of the code
inline constexpr uint8_t kAll = kNg | kEnglish | kCodePrefix;
}  // namespace row_flags

// A local time as 8 bytes, each field held as its time stamp shows it (a
// clock gone wrong cannot widen a field).
uint64_t packTime(const core::LocalDateTime& time);
core::LocalDateTime unpackTime(uint64_t packed);

// Read access to one stored row. Texts are made on demand from the numbers
// and flags recorded, so they stay those of the moment of recording.
class RowView {
public:
    RowView(const char* bytes, const RowShape& shape) : bytes_(bytes), shape_(&shape) {}
    // `probe` is 1-based.
    ProbeNumber number(unsigned probe) const { return ProbeNumber::load(bytes_ + (probe - 1) * kProbeNumberBytes); }
    // `probe` is 1-based.
    display::ValueText valueText(unsigned probe) const {
        display::ValueText text;
        putValueText(probe, text.slot.data());
        return text;
    }
    // The same eight characters written at `out`.
    void putValueText(unsigned probe, char* out) const {
        ProbeNumber::putStoredText(bytes_ + (probe - 1) * kProbeNumberBytes, out);
    }
    // `index` is 0-based, below the shape's characteristic count.
    ProbeNumber characteristic(unsigned index) const {
        return ProbeNumber::load(bytes_ + (shape_->probeCount + index) * kProbeNumberBytes);
    }
    display::ValueText characteristicText(unsigned index) const {
        return characteristic(index).characteristicText(shape_->decimals[index]);
    }
    bool ng() const { return (flags() & row_flags::kNg) != 0; }
    // False for bytes no table wrote (a damaged copy kept elsewhere).
    bool flagsKnown() const { return (flags() & ~row_flags::kAll) == 0; }
    core::Language language() const {
        return (flags() & row_flags::kEnglish) != 0 ? core::Language::English : core::Language::Chinese;
    }
    // 4 bytes in the language of recording.
    std::string_view resultCell() const { return records::resultCell(ng(), language()); }
    core::LocalDateTime time() const;
    TimeStamp timeStamp() const { return formatTimeStamp(time()); }
    uint16_t limitSet() const {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes_ + shape_->limitSetOffset);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    // The 36-byte slot as it goes into a file; empty without a code column.
    std::string_view codeSlot() const;
    // The code as the operator typed it (GBK), without the added '/'.
    std::string_view code() const;
    // The whole row as stored, for keeping it outside the table (a journal).
    std::string_view bytes() const { return {bytes_, shape_->stride}; }

private:
    uint8_t flags() const { return static_cast<uint8_t>(bytes_[shape_->flagsOffset]); }

    const char* bytes_;
    const RowShape* shape_;
};

// Writes the row `input` describes into `bytes`, shape.stride of them; the
// input's probe count, code column and characteristics are those of the shape.
void encodeRow(const RowShape& shape, const RowInput& input, uint16_t limitSet, char* bytes);

// "000001" for row index 0.
std::array<char, kRowNumberDigits> rowNumberText(uint32_t row);

// The recorded rows since the last clearing. Rows are kept in chunks of a
// fixed number of rows, allocated as rows arrive, so an empty table costs
// nothing and a full one never moves what it holds; appending copies a few
// fixed-size fields.
class RecordTable {
public:
    static constexpr uint32_t kRowsPerChunk = 1024;

    RecordTable();
    ~RecordTable();
    RecordTable(const RecordTable&) = delete;
    RecordTable& operator=(const RecordTable&) = delete;

    // The connection step, with the instrument's probe count, whether code
    // input is on and the language of the moment. An empty table gets new
    // columns; rows of the same shape stay; rows of another shape are never
    // mixed with new ones: they stay intact and exportable, and the requested
    // layout waits for clearTable.
    ColumnPreparation prepareColumns(const TableLayout& requested);

    AppendResult appendRow(const RowInput& input);
    // Appends a row kept elsewhere byte for byte (RowView::bytes of a table
    // of the same layout) with the limits it was recorded with, if any; a
    // row of another size is a layout mismatch.
    AppendResult appendRowBytes(std::string_view rowBytes, std::span<const LimitCounts> limits = {});
    // Empties the table; columns stay, or become the layout a connection has
    // been waiting for. Numbering starts again at 000001.
    void clearTable();
    // Lets the first `rows` rows go (a file holds them) and keeps the later
    // ones, numbered from 000001 again; the list hears of it as of a
    // clearing. False, and nothing changed, when the memory for the rows
    // kept is not to be had.
    bool dropFirstRows(uint32_t rows);
    // Takes over the rows and columns `other` holds, at the cost of a swap,
    // leaving `other` empty; for rows gathered on another thread. False, and
    // nothing changed, unless this table is empty.
    bool adoptRows(RecordTable& other);
    // Replaces the code of one row as typed, without a '/' in front. False
    // when the row does not exist or the table has no code column.
    bool updateCode(uint32_t row, const WorkpieceCode& code);

    uint32_t rowCount() const { return rowCount_; }
    bool full() const { return rowCount_ >= kMaxRows; }
    const TableLayout& layout() const { return layout_; }
    const RowShape& shape() const { return shape_; }
    bool waitingForClear() const { return pending_.hasColumns(); }
    // Counts the times the rows were emptied or the columns rebuilt, so that
    // a reader that keeps figures over the rows knows to start over.
    uint64_t resetCount() const { return resetCount_; }
    // `row` must be below rowCount().
    RowView row(uint32_t row) const { return {rowBytes(row), shape_}; }
    // The limits a row was recorded with (RowView::limitSet), probes 0..N-1
    // then the characteristics; empty for kNoLimitSet.
    std::span<const LimitCounts> limitSet(uint16_t index) const {
        if (index == kNoLimitSet || size_t{index} >= limitSetCount_) return {};
        const size_t values = shape_.valueCount();
        return std::span<const LimitCounts>(limitSets_).subspan(size_t{index} * values, values);
    }

    // Rows (or a code change) not in any file yet.
    bool hasUnsavedRows() const { return rowCount_ > 0 && changeStamp_ != savedStamp_; }
    uint64_t changeStamp() const { return changeStamp_; }
    // The newest change a file holds.
    uint64_t savedStamp() const { return savedStamp_; }
    // A file now holds the table as it stood at `stamp`. Files may be told
    // out of order (a write on another thread ends after a later one on the
    // spot): the newest state any file holds is what counts.
    void markSaved(uint64_t stamp) { savedStamp_ = std::max(savedStamp_, stamp); }

    // Set by every new row, cleared by the backup.
    bool rowsSinceBackup() const { return rowsSinceBackup_; }
    void setRowsSinceBackup(bool value) { rowsSinceBackup_ = value; }

    // Runs before the rows are freed or the columns rebuilt, so that a writer
    // still reading a snapshot of the rows finishes with them first.
    void setBeforeReset(std::function<void()> waitForReaders) { waitForReaders_ = std::move(waitForReaders); }

    void setObserver(RecordTableObserver* observer) { observer_ = observer; }
    RecordTableObserver* observer() const { return observer_; }
    // Bytes held by row chunks.
    size_t committedBytes() const { return chunks_.size() * chunkBytes(); }

private:
    size_t chunkBytes() const { return shape_.stride * kRowsPerChunk; }
    const char* rowBytes(uint32_t row) const {
        return chunks_[row / kRowsPerChunk].data() + static_cast<size_t>(row % kRowsPerChunk) * shape_.stride;
    }
    char* rowBytes(uint32_t row) {
        return chunks_[row / kRowsPerChunk].data() + static_cast<size_t>(row % kRowsPerChunk) * shape_.stride;
    }
    void resetTo(const TableLayout& layout);
    // The index of `limits` among the sets, added when they differ from the
    // last one; kNoLimitSet without limits or room for another set.
    uint16_t limitSetFor(std::span<const LimitCounts> limits);
    // The storage of the next row, or null with the reason it cannot be had.
    char* beginAppend(AppendResult& refusal);
    void endAppend();

    TableLayout layout_;
    TableLayout pending_;  // waiting for clearTable; no columns when none waits
    RowShape shape_;
    uint32_t rowCount_ = 0;
    uint64_t resetCount_ = 0;
    std::vector<RowChunk> chunks_;  // reserved for a full table: growing it never reallocates
    // The limit sets rows point at, one limit a value each; a new one only
    // when the limits change.
    std::vector<LimitCounts> limitSets_;
    size_t limitSetCount_ = 0;
    uint64_t changeStamp_ = 0;
    uint64_t savedStamp_ = 0;
    bool rowsSinceBackup_ = false;
    RecordTableObserver* observer_ = nullptr;
    std::function<void()> waitForReaders_;
};

}  // namespace gaugemon::records
