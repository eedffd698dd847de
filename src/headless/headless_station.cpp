#include "headless/headless_station.h"

#include <QMetaObject>
#include <filesystem>
#include <system_error>

#include "core/logging.h"
#include "headless/export_names.h"
#include "link/link_state.h"
#include "records/atomic_file.h"

namespace gaugemon::headless {

HeadlessStation::HeadlessStation(station::Station& station, const station::StationSeams& seams,
                                 core::TimerSchedule& ownTimers, UnattendedWork work)
    : stationTimers_(seams.timers),
      timers_(ownTimers),
      clock_(seams.clock),
      port_(seams.port),
      work_(std::move(work)),
      station_(station) {
    station_.addObserver(*this);
    timers_.setTickHandler([this](int id) { onOwnTimer(id); });
}

HeadlessStation::~HeadlessStation() {
    timers_.setTickHandler({});
    station_.removeObserver(*this);
}

void HeadlessStation::start() {
    period_ = periodName(clock_.localNow(), work_.rotation);
    if (!work_.exportDirectory.empty()) {
        std::error_code error;
        std::filesystem::create_directories(work_.exportDirectory, error);
        if (error)
            qCWarning(core::stationLog, "the export directory %s cannot be made: %s", work_.exportDirectory.c_str(),
                      error.message().c_str());
    }
    // The backup does not count for the journal: rows go back to the table
    // at the next start until their period's file holds them.
    if (!work_.exportDirectory.empty()) station_.keepRowsUntilExported();
    // The search begins once the rows of an ended run are back (restoreFinished).
    station_.startJournal();
}

void HeadlessStation::restoreProgress(unsigned percent) {
    qCInfo(core::stationLog, "restoring the rows of the last run: %u %%", percent);
}

void HeadlessStation::restoreFinished() {
    if (searching_) return;
    searching_ = true;
    rowsSeen_ = station_.recordTable().rowCount();
    timers_.start(core::timer::kReconnect, kReconnectMs);
    timers_.start(core::timer::kReport, kReportMs);
    if (!work_.exportDirectory.empty()) timers_.start(core::timer::kRotation, kRotationMs);
    qCInfo(core::stationLog, "station %s looking for its instrument", work_.stationName.c_str());
    lookForInstrument();
}

void HeadlessStation::stop() {
    // A restore still under way ends in the shutdown; the search does not begin.
    searching_ = true;
    for (const int id : {core::timer::kReconnect, core::timer::kRotation, core::timer::kReport}) timers_.stop(id);
    countNewRows();
    // The day's backup holds the rows first, then their period's file does.
    station_.stop(station::Station::LastBackup::Write);
    if (!work_.exportDirectory.empty() && station_.recordTable().rowCount() > 0) {
        exportAndClear(period_);
        // The process ends next: the file is finished and told now.
        station_.finishFileWrites();
    }
    station_.flushJournal();
    qCInfo(core::stationLog, "station %s stopped", work_.stationName.c_str());
}

void HeadlessStation::onOwnTimer(int id) {
    switch (id) {
        case core::timer::kReconnect: lookForInstrument(); break;
        case core::timer::kRotation: endPeriodWhenDue(); break;
        case core::timer::kReport: reportMinute(); break;
        default: break;
    }
}

// ---- The link -------------------------------------------------------------------

void HeadlessStation::lookForInstrument() {
    // A search under way goes on by itself.
    if (stationTimers_.isRunning(core::timer::kDiscovery)) return;
    if (station_.linkState().connected) {
        // A silent instrument on an open port is polled until it answers
        // again; a pulled adapter closes the port, and the link would poll
        // nothing for ever: the connection ends and the search begins.
        if (port_.isOpen()) return;
        station_.endLostConnection();
    }
    station_.connect();
}

void HeadlessStation::linkViewChanged() {
    const bool connected = station_.linkState().connected;
    if (connected == connected_) return;
    connected_ = connected;
    // The link logs the connection and its loss itself.
    if (connected) {
        // After the connection step has laid out the record columns.
        QMetaObject::invokeMethod(
            &afterStep_, [this] { startRecording(); }, Qt::QueuedConnection);
    } else {
        qCInfo(core::stationLog, "looking for the instrument every %d s", kReconnectMs / 1000);
    }
}

void HeadlessStation::readingsShown(const display::ChartPlan*) {
    const int64_t now = clock_.nowMs();
    if (lastReadingMs_ >= 0 && now - lastReadingMs_ > link::kWatchdogMs)
        qCInfo(core::stationLog, "readings again after %.1f s of silence", (now - lastReadingMs_) / 1000.0);
    lastReadingMs_ = now;
}

// ---- The records ----------------------------------------------------------------

void HeadlessStation::startRecording() {
    if (!station_.linkState().connected) return;
    if (!station_.backup().boxTicked()) station_.setBackup(true);
    letGoOfOtherLayout();
    if (!work_.recordEverySeconds || station_.recorder().automaticTicked()) return;
    const auto outcome = station_.setAutomatic(true, static_cast<float>(*work_.recordEverySeconds));
    if (outcome == records::AutoOutcome::Started)
        qCInfo(core::stationLog, "recording a row every %g s", *work_.recordEverySeconds);
}

void HeadlessStation::endPeriodWhenDue() {
    const std::string period = periodName(clock_.localNow(), work_.rotation);
    if (period != period_) {
        if (station_.recordTable().rowCount() > 0) exportAndClear(period_);
        period_ = period;
    } else if (station_.recordTable().full()) {
        // A full table records nothing more: its rows go to a file of their own now.
        exportAndClear(period_);
    } else {
        letGoOfOtherLayout();
    }
}

void HeadlessStation::letGoOfOtherLayout() {
    // Rows of another instrument's layout stop recording until somebody
    // clears the table, and nobody will: they go to a file of their own now.
    if (!station_.recordTable().waitingForClear()) return;
    if (!work_.exportDirectory.empty()) return exportAndClear(period_);
    if (station_.clearIntoBackup())
        qCInfo(core::stationLog, "the rows of the instrument before are kept in the day's backup; recording goes on");
}

void HeadlessStation::exportAndClear(const std::string& period) {
    // A full table asks again at every tick while its file is written.
    if (exporting_) return;
    countNewRows();
    const std::string path =
        exportFilePath(work_.exportDirectory, work_.stationName, period, [](const std::string& name) {
            std::error_code error;
            return std::filesystem::exists(name, error);
        });
    exporting_ = true;
    // Written on the writer's thread while recording goes on; the table lets
    // go of the rows only once the file holding them is whole.
    station_.startExportTo(path, [this, path](const records::FileWriteResult& result, uint32_t rows) {
        exporting_ = false;
        if (!result.ok) {
            // The rows stay in the table and the journal, for the next period's file.
            qCWarning(core::stationLog).noquote()
                << QString::fromStdString(records::fileErrorMessage(result, core::Language::English)).simplified();
            return;
        }
        qCInfo(core::stationLog, "%u rows exported to %s", rows, path.c_str());
        countNewRows();
        station_.dropExportedRows(rows);
        rowsSeen_ = station_.recordTable().rowCount();
        startRecording();
    });
}

void HeadlessStation::countNewRows() {
    const uint32_t rows = station_.recordTable().rowCount();
    if (rows > rowsSeen_) rowsThisMinute_ += rows - rowsSeen_;
    rowsSeen_ = rows;
}

void HeadlessStation::reportMinute() {
    // Without an export directory the backup takes them; a failed one is tried again each minute.
    if (work_.exportDirectory.empty()) letGoOfOtherLayout();
    countNewRows();
    if (rowsThisMinute_ > 0 || connected_)
        qCInfo(core::stationLog, "%llu rows recorded in the last minute, %u held",
               static_cast<unsigned long long>(rowsThisMinute_), rowsSeen_);
    rowsThisMinute_ = 0;
}

}  // namespace gaugemon::headless
