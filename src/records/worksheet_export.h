#pragma once
#include <functional>
#include <optional>

#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "link/watchdog.h"
#include "records/atomic_file.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/table_snapshot.h"
#include "records/workpiece_codes.h"

namespace gaugemon::records {

// Started: a writer has the file; its message comes when it is done.
enum class ExportOutcome : uint8_t { Cancelled, Written, Failed, Started };

// The Save button: writes the whole table to a file the operator names, in
// the format of the filter picked (kExportFilters), with or without a
// connection. The dialog's filter list and default name are in record_file.h.
class WorksheetExport {
public:
    WorksheetExport(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                    core::Prompts& prompts, link::Watchdog& watchdog);

    // With a writer the rows are written on its thread while polling goes on.
    void useWriter(SnapshotWriter* writer) { writer_ = writer; }

    // Formats the Save dialog lists after the record files' own (a workbook,
    // a transfer file): given the choice, it writes the file (or starts it on
    // the writer) and tells the operator, or returns nothing when the choice
    // is not one of its own.
    using FurtherFormats = std::function<std::optional<ExportOutcome>(const core::SaveChoice&)>;
    void useFurtherFormats(FurtherFormats write) { furtherFormats_ = std::move(write); }

    ExportOutcome run();
    const FileWriteResult& lastResult() const { return lastResult_; }

private:
    void report(const FileWriteResult& result);

    RecordTable& table_;
    const WorkpieceCodes& codes_;
    const RecordSources& sources_;
    core::Prompts& prompts_;
    link::Watchdog& watchdog_;
    SnapshotWriter* writer_ = nullptr;
    FurtherFormats furtherFormats_;
    FileWriteResult lastResult_;
};

}  // namespace gaugemon::records
