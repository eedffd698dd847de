#pragma once
#include <QObject>
#include <cstdint>
#include <optional>
#include <string>

#include "headless/command_line.h"
#include "station/station.h"

namespace gaugemon::headless {

// What an unattended run does beyond what the station does by itself.
struct UnattendedWork {
    // Automatic recording at this period; nothing: only on the instrument's request.
    std::optional<double> recordEverySeconds;
    // Where the rows of each period are exported; empty: no export.
    std::string exportDirectory;
    Rotation rotation = Rotation::Daily;
    std::string stationName;
};

// Periods of the unattended run's own timers.
inline constexpr int kReconnectMs = 10'000;
inline constexpr int kRotationMs = 1'000;
inline constexpr int kReportMs = 60'000;

// A station nobody watches: it finds its instrument and keeps looking for it
// when it is lost, records at a fixed period or on the instrument's request,
// keeps the 60-s backup, exports the rows of each day or hour to a file of
// their own, and logs one line per event.
class HeadlessStation : private station::StationObserver {
public:
    // `station` was built from `seams` by the start-up code and outlives this
    // view; `ownTimers` run the search, the rotation and the minute's report.
    HeadlessStation(station::Station& station, const station::StationSeams& seams, core::TimerSchedule& ownTimers,
                    UnattendedWork work);
    ~HeadlessStation() override;
    HeadlessStation(const HeadlessStation&) = delete;
    HeadlessStation& operator=(const HeadlessStation&) = delete;

    // The journal's rows of an ended run come back, and the search begins.
    void start();
    // The end of the run: the rows held are exported, the last backup
    // written, the journal flushed and the port closed.
    void stop();

    station::Station& station() { return station_; }

private:
    // Nobody looks at an unattended station's chart.
    display::Shown shown() const override { return display::Shown::Nothing; }
    void linkViewChanged() override;
    void readingsShown(const display::ChartPlan* redraw) override;
    void onOwnTimer(int id);
    void restoreProgress(unsigned percent) override;
    void restoreFinished() override;

    void lookForInstrument();
    void startRecording();
    void endPeriodWhenDue();
    // Exports the rows held as the file of `period` on the writer's thread,
    // then lets them go; rows recorded meanwhile stay, and all stay when the
    // file could not be written.
    void exportAndClear(const std::string& period);
    // Rows of another layout than the instrument's go to a file of their own
    // (the period's, else the day's backup kept as it is), so that recording
    // goes on; nothing when the table takes the instrument's rows.
    void letGoOfOtherLayout();
    void reportMinute();
    void countNewRows();

    core::TimerSchedule& stationTimers_;
    core::TimerSchedule& timers_;
    core::Clock& clock_;
    link::SerialPort& port_;
    UnattendedWork work_;
    station::Station& station_;
    // Steps that must not run inside the link's tick (recording starts after
    // the connection step has prepared the columns).
    QObject afterStep_;
    bool connected_ = false;
    bool searching_ = false;
    bool exporting_ = false;  // a period's file is being written
    int64_t lastReadingMs_ = -1;
    std::string period_;
    uint32_t rowsSeen_ = 0;
    uint64_t rowsThisMinute_ = 0;
};

}  // namespace gaugemon::headless
