#include "records/worksheet_export.h"

#include "records/record_file.h"
#include "records/record_texts.h"
#include "records/recorder.h"
#include "records/table_file.h"

namespace gaugemon::records {

WorksheetExport::WorksheetExport(RecordTable& table, const RecordSources& sources, app::TimerSchedule& timers,
                                 app::Prompts& prompts)
    : table_(table), sources_(sources), timers_(timers), prompts_(prompts) {}

ExportOutcome WorksheetExport::run() {
    const auto choice = prompts_.askSaveFile(sources_.language(), kExportDefaultName);
    if (!choice || choice->path.empty()) return ExportOutcome::Cancelled;

    // A long write is not silence of the instrument.
    if (sources_.connected()) timers_.stop(app::timer::kWatchdog);
    lastResult_ = writeTableFile(table_, sources_, formatForFilter(choice->filterIndex), choice->path);
    if (sources_.connected()) timers_.start(app::timer::kWatchdog, kWatchdogMs);

    const app::Language language = sources_.language();
    if (!lastResult_.ok) {
        prompts_.showMessage(fileErrorMessage(lastResult_, language));
        return ExportOutcome::Failed;
    }
    prompts_.showMessage(app::pick(language, text::kExportDoneEn, text::kExportDoneZh));
    return ExportOutcome::Written;
}

}  // namespace gaugemon::records
