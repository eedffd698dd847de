#pragma once
#include <cstdint>
#include <optional>

#include "core/clock.h"
#include "core/prompts.h"
#include "core/settings_store.h"
#include "core/timer_schedule.h"
#include "link/watchdog.h"
#include "records/reading_watch.h"
#include "records/record_sources.h"
#include "records/record_table.h"
#include "records/workpiece_codes.h"

namespace gaugemon::records {

enum class RecordingState : uint8_t { Idle = 0, SinglePending = 1, Automatic = 2 };

enum class RecordRequestOutcome : uint8_t {
    Ignored,       // a record is pending or automatic recording runs
    TimerStarted,  // the row follows in 10 ms
    CodeRequested  // the code step at the end of this answer tick asks for a code first
};

enum class AutoOutcome : uint8_t { Started, Stopped, PeriodTooShort, PeriodTooLong };

inline constexpr int kSingleRecordDelayMs = 10;
inline constexpr int32_t kMinAutoPeriodMs = 100;
inline constexpr int32_t kMaxAutoPeriodMs = 86'400'000;

// The period field in seconds to milliseconds, rounded to the nearest
// millisecond from half a millisecond up; 0.0995 s gives 100 ms.
int64_t autoPeriodFromSeconds(float seconds);

// Rows enter the table only through the record timer (3). A single row is
// asked for by the Manual button or by the instrument, automatic rows come
// every `autoPeriodMs`; a workpiece code is asked for first when code input
// is on. A row is only taken from readings of the current poll cycle or the
// one before: while none arrives, automatic rows pause, Manual is refused, a
// pending row waits, and the operator is told once. The main window routes the buttons,
// timer 3, every reading and the end of every answer tick here and refreshes
// its controls afterwards.
class Recorder {
public:
    Recorder(RecordTable& table, WorkpieceCodes& codes, const RecordSources& sources, core::TimerSchedule& timers,
             core::SettingsStore& store, core::Prompts& prompts, const core::Clock& clock, ReadingWatch& watch,
             link::Watchdog& watchdog);

    // The Manual / Stop Auto button.
    void pressManual();
    // A valid reading answer was decoded.
    void onReadingArrived();
    // The automatic box changed; `periodSeconds` is the period field as read.
    // Unless Started or Stopped, the box must be shown unticked again.
    AutoOutcome setAutomatic(bool ticked, float periodSeconds);
    // Tick of timer 3.
    void onRecordTimer();
    // A reading answer asked for a record (function 0x83); called by the
    // answer step, which then ends with runCodeStep as always.
    RecordRequestOutcome onInstrumentRecordRequest();
    // The end of every answer tick, before the next request is scheduled:
    // asks for the code when a record is waiting for one.
    void runCodeStep();
    // The Set Code button, with the row marked in the list (if any).
    void modifyCode(std::optional<uint32_t> selectedRow);
    // A connection was made: its readings are awaited from now.
    void onConnected();
    // Disconnect ends any recording.
    void onDisconnect();
    // The operator has just been told why rows cannot be added (at Connect).
    void noteBlockedReported() { blockedReported_ = true; }

    RecordingState state() const { return state_; }
    bool automaticTicked() const { return state_ == RecordingState::Automatic; }
    bool codeInputRequest() const { return codeInputRequest_; }
    int32_t autoPeriodMs() const { return autoPeriodMs_; }
    // The period field as the window shows it, in seconds.
    float periodFieldSeconds() const { return static_cast<float>(autoPeriodMs_) * 0.001f; }
    const char* manualButtonText(core::Language language) const;

private:
    void applyPendingEdit();
    // Timer 3 goes on with what recording needs after a code change borrowed it.
    void restoreRecordTimer();
    void stopRecordTimer();
    void reportBlocked(AppendResult result, const RowInput& input);
    // Tells the operator, once per silence, that no row is taken meanwhile.
    void reportNoReadings();

    RecordTable& table_;
    WorkpieceCodes& codes_;
    const RecordSources& sources_;
    core::TimerSchedule& timers_;
    core::SettingsStore& store_;
    core::Prompts& prompts_;
    const core::Clock& clock_;
    ReadingWatch& watch_;
    link::Watchdog& watchdog_;

    RecordingState state_ = RecordingState::Idle;
    int32_t autoPeriodMs_;
    bool codeInputRequest_ = false;
    ValueLimitsTable limits_{};        // of the row being recorded
    bool blockedReported_ = false;     // told once until a row can be added again
    bool noReadingsReported_ = false;  // told once until the next reading
};

}  // namespace gaugemon::records
