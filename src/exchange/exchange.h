#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/prompts.h"
#include "exchange/export_plan.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/table_snapshot.h"

namespace gaugemon::exchange {

enum class ExchangeFormat : uint8_t { Workbook, Aqdef, Utf8Csv };

// The Save dialog's further choices, after the record-file filters, in this
// order. Labels are UTF-8; the pattern in brackets is what the dialog lists.
struct ExchangeFilter {
    const char* english;
    const char* chinese;
    ExchangeFormat format;
    const char* extension;
    // A name ending in the extension is written in this format whatever the
    // filter; not so for ".csv", which names a record file too.
    bool extensionChoosesFormat;
    const char* label(core::Language language) const { return core::pick(language, english, chinese); }
};
inline constexpr std::array<ExchangeFilter, 3> kExchangeFilters{{
    {"Excel Workbook (*.xlsx)", "Excel 工作簿 (*.xlsx)", ExchangeFormat::Workbook, ".xlsx", true},
    {"AQDEF Files (*.dfq)", "AQDEF 文件 (*.dfq)", ExchangeFormat::Aqdef, ".dfq", true},
    {"CSV, UTF-8 (*.csv)", "CSV, UTF-8 (*.csv)", ExchangeFormat::Utf8Csv, ".csv", false},
}};

// The exchange format of a 0-based dialog filter index when the record-file
// filters take the first `recordFilterCount` places; nothing for those.
constexpr std::optional<ExchangeFormat> exchangeFormatForFilter(int filterIndex, int recordFilterCount) {
    const int index = filterIndex - recordFilterCount;
    if (index < 0 || index >= static_cast<int>(kExchangeFilters.size())) return std::nullopt;
    return kExchangeFilters[static_cast<size_t>(index)].format;
}

// What a Save choice writes, when it is one of these formats: the record
// files follow their filter alone, but a name ending in ".xlsx" or ".dfq"
// (in any case) is written in that format whatever the filter, and a name
// without an extension gets the one of the format chosen.
struct ExchangeSave {
    ExchangeFormat format;
    std::string path;
};
std::optional<ExchangeSave> exchangeSaveFor(const core::SaveChoice& choice, int recordFilterCount);

// Writes the whole table in `format` to `path` (the columns, limits and
// language as for the record files) at once, on this thread; on success the
// rows count as saved.
ExchangeResult writeExchangeFile(ExchangeFormat format, records::RecordTable& table,
                                 const records::RecordSources& sources, bool codeInputNow,
                                 const ExchangeOptions& options, const std::string& path);

// The same file written by `writer` from a snapshot of the table as it
// stands, while polling and recording go on; the operator may stop it.
// `done` comes on the thread that started it, after the rows of the snapshot
// count as saved; `progress` (may be empty) tells the tenths of a long write.
// False, and nothing started, while the writer is busy.
bool startExchangeFile(records::SnapshotWriter& writer, ExchangeFormat format, records::RecordTable& table,
                       const records::RecordSources& sources, bool codeInputNow, const ExchangeOptions& options,
                       const std::string& path, std::function<void(const ExchangeResult&)> done,
                       records::WriteControl::Progress progress = {});

// The message after the write, in the language of the moment: the export
// message of the record files on success, else why nothing was written.
std::string exchangeMessage(const ExchangeResult& result, core::Language language);

}  // namespace gaugemon::exchange
