#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/language.h"
#include "measure/counts.h"
#include "records/byte_sink.h"
#include "records/record_sources.h"
#include "records/record_table.h"

namespace gaugemon::records {

// The record file: one header line and one line per row, fields separated by
// one byte, no quoting. Every data line of a file has the same length, since
// each field is written with its whole fixed-size slot, zero bytes included.
struct RecordFileFormat {
    char separator = '\t';
    std::string_view lineEnd = "\n";
};
inline constexpr RecordFileFormat kTabFormat{'\t', "\n"};
inline constexpr RecordFileFormat kCommaFormat{',', "\r\n"};

// The save dialog's filters, in order. The third one's pattern is *.txt
// although its label says all files; it writes the comma format.
struct ExportFilter {
    const char* label;
    const char* pattern;
};
inline constexpr std::array<ExportFilter, 3> kExportFilters{{
    {"Worksheet Files (*.xls)", "*.xls"},
    {"Worksheet Files (*.csv)", "*.csv"},
    {"All File(*.*)", "*.txt"},
}};
inline constexpr std::string_view kExportDefaultName = "VELMORA";

// The format written for the filter the operator picked (0-based index):
// the first filter is tab-separated, every other one comma-separated.
constexpr RecordFileFormat formatForFilter(int filterIndex) { return filterIndex == 0 ? kTabFormat : kCommaFormat; }

struct HeaderSpec {
    core::Language language = core::Language::Chinese;  // of the moment of writing
    unsigned probeCount = 0;                            // at most measure::kMaxProbes
    bool codeColumn = false;
    LimitCountsTable limits{};  // written into the Chinese probe titles
    // Recorded after the probes, titled with their names and, in Chinese,
    // their limits as a probe is.
    std::vector<CharacteristicColumn> characteristics{};
    std::array<LimitCounts, measure::kMaxCharacteristics> characteristicLimits{};
};

std::string buildHeader(const HeaderSpec& spec, RecordFileFormat format);

// Bytes of one data line, line end included.
size_t lineBytes(const RowShape& shape, RecordFileFormat format);

// Puts the line of row `r` (0-based) at `out`, which has room for
// lineBytes(shape, format); `codeSlot` stands in for the row's own code slot.
void putLine(char* out, uint32_t r, const RowView& row, std::string_view codeSlot, const RowShape& shape,
             RecordFileFormat format);

// Writes every row of the table; false when the sink failed.
bool writeRows(const RecordTable& table, RecordFileFormat format, ByteSink& sink);

}  // namespace gaugemon::records
