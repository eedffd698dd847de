#include "records/worksheet_export.h"

#include "records/record_file.h"
#include "records/record_texts.h"
#include "records/recorder.h"
#include "records/table_file.h"

namespace gaugemon::records {

WorksheetExport::WorksheetExport(RecordTable& table, const WorkpieceCodes& codes, const RecordSources& sources,
                                 core::Prompts& prompts, link::Watchdog& watchdog)
    : table_(table), codes_(codes), sources_(sources), prompts_(prompts), watchdog_(watchdog) {}

ExportOutcome WorksheetExport::run() {
    if (writer_ && writer_->stoppable()) {
        // Save while a long save runs: the operator may stop it, and nothing is lost.
        link::WatchdogPause pause(watchdog_);
        if (prompts_.askYesNo(core::pick(sources_.language(), text::kStopSavingEn, text::kStopSavingZh)))
            writer_->stop();
        return ExportOutcome::Cancelled;
    }
    const auto choice = prompts_.askSaveFile(sources_.language(), kExportDefaultName);
    if (!choice || choice->path.empty()) return ExportOutcome::Cancelled;

    if (furtherFormats_) {
        // A long write, and the message after it, are not silence of the instrument.
        link::WatchdogPause pause(watchdog_);
        if (const std::optional<ExportOutcome> outcome = furtherFormats_(*choice)) return *outcome;
    }
    const RecordFileFormat format = formatForFilter(choice->filterIndex);
    if (writer_) {
        // A backup still writing finishes first: one file at a time.
        writer_->finishWrite();
        if (startTableFile(*writer_, table_, sources_, codes_.enabled(), format, choice->path,
                           [this](const FileWriteResult& result) { report(result); }))
            return ExportOutcome::Started;
    }
    {
        // A long write is not silence of the instrument.
        link::WatchdogPause pause(watchdog_);
        lastResult_ = writeTableFile(table_, sources_, codes_.enabled(), format, choice->path);
    }
    report(lastResult_);
    return lastResult_.ok ? ExportOutcome::Written : ExportOutcome::Failed;
}

void WorksheetExport::report(const FileWriteResult& result) {
    lastResult_ = result;
    // The message box is not silence of the instrument either.
    link::WatchdogPause pause(watchdog_);
    const core::Language language = sources_.language();
    prompts_.showMessage(lastResult_.ok ? std::string(core::pick(language, text::kExportDoneEn, text::kExportDoneZh))
                                        : fileErrorMessage(lastResult_, language));
}

}  // namespace gaugemon::records
