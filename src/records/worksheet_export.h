#pragma once
#include "core/prompts.h"
#include "core/timer_schedule.h"
#include "link/watchdog.h"
#include "records/atomic_file.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/workpiece_codes.h"

namespace gaugemon::records {

enum class ExportOutcome : uint8_t { Cancelled, Written, Failed };

// The Save button: writes the whole table to a file the operator names, in
// the format of the filter picked (kExportFilters), with or without a
// connection. The dialog's filter list and default name are in record_file.h.
class WorksheetExport {
public:
    WorksheetExport(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                    core::TimerSchedule& timers, core::Prompts& prompts, link::Watchdog& watchdog);

    ExportOutcome run();
    const FileWriteResult& lastResult() const { return lastResult_; }

private:
    RecordTable& table_;
    const WorkpieceCodes& codes_;
    const RecordSources& sources_;
    core::TimerSchedule& timers_;
    core::Prompts& prompts_;
    link::Watchdog& watchdog_;
    FileWriteResult lastResult_;
};

}  // namespace gaugemon::records
