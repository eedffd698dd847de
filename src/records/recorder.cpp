#include "records/recorder.h"

#include <algorithm>
#include <cmath>

#include "records/record_texts.h"

namespace gaugemon::records {

int64_t autoPeriodFromSeconds(float seconds) {
    if (std::isnan(seconds)) return 0;
    const double ms = (static_cast<double>(seconds) + 0.0005) * 1000.0;
    // Anything beyond a day is refused anyway; keep the cast in range.
    constexpr double kCap = 1e12;
    return static_cast<int64_t>(std::clamp(ms, -kCap, kCap));
}

Recorder::Recorder(RecordTable& table, WorkpieceCodes& codes, const RecordSources& sources, core::TimerSchedule& timers,
                   core::SettingsStore& store, core::Prompts& prompts, const core::Clock& clock, ReadingWatch& watch,
                   link::Watchdog& watchdog)
    : table_(table),
      codes_(codes),
      sources_(sources),
      timers_(timers),
      store_(store),
      prompts_(prompts),
      clock_(clock),
      watch_(watch),
      watchdog_(watchdog),
      autoPeriodMs_(store.readInt(core::keys::kRecTime, core::defaults::kRecTime)) {}

const char* Recorder::manualButtonText(core::Language language) const {
    return state_ == RecordingState::Automatic ? core::pick(language, text::kStopAutoEn, text::kStopAutoZh)
                                               : core::pick(language, text::kManualEn, text::kManualZh);
}

void Recorder::pressManual() {
    if (!sources_.connected()) return;
    switch (state_) {
        case RecordingState::Idle:
            if (!watch_.current()) {
                reportNoReadings();
                break;
            }
            if (codes_.enabled()) {
                codeInputRequest_ = true;
            } else {
                state_ = RecordingState::SinglePending;
                timers_.start(core::timer::kRecord, kSingleRecordDelayMs);
            }
            break;
        case RecordingState::Automatic:
            state_ = RecordingState::Idle;
            stopRecordTimer();
            break;
        case RecordingState::SinglePending: break;  // the pending row comes with the next tick
    }
}

AutoOutcome Recorder::setAutomatic(bool ticked, float periodSeconds) {
    if (!ticked) {
        state_ = RecordingState::Idle;
        stopRecordTimer();
        return AutoOutcome::Stopped;
    }
    const int64_t period = autoPeriodFromSeconds(periodSeconds);
    const core::Language language = sources_.language();
    if (period < kMinAutoPeriodMs) {
        prompts_.showMessage(core::pick(language, text::kPeriodTooShortEn, text::kPeriodTooShortZh));
        return AutoOutcome::PeriodTooShort;
    }
    if (period > kMaxAutoPeriodMs) {
        prompts_.showMessage(core::pick(language, text::kPeriodTooLongEn, text::kPeriodTooLongZh));
        return AutoOutcome::PeriodTooLong;
    }
    autoPeriodMs_ = static_cast<int32_t>(period);
    store_.writeInt(core::keys::kRecTime, autoPeriodMs_);
    timers_.start(core::timer::kRecord, autoPeriodMs_);
    state_ = RecordingState::Automatic;
    return AutoOutcome::Started;
}

void Recorder::onRecordTimer() {
    if (codes_.editRequested()) {
        applyPendingEdit();
        restoreRecordTimer();
        return;
    }
    // A stray tick never adds a row nobody asked for.
    if (state_ == RecordingState::Idle) {
        timers_.stop(core::timer::kRecord);
        return;
    }
    // Not connected, no reading of this connection shown yet (a row would
    // carry blank or stale values under the verdict "OK"), a full table or
    // rows of another layout: nothing now; a pending single row waits for
    // the next tick that can record it.
    if (!sources_.connected() || !sources_.readingsShown()) return;
    if (!watch_.current()) {
        reportNoReadings();
        return;
    }
    RowInput input{sources_.probeCount(), codes_.enabled(),         sources_.lengthUnit(),
                   sources_.anyNg(),      sources_.language(),      codes_.currentCode(),
                   clock_.localNow(),     sources_.shownReadings(), sources_.shownVerdict()};
    // The limits in force go with the row, for what is sent of it later.
    const unsigned probes = std::min(input.probeCount, measure::kMaxProbes);
    for (unsigned p = 1; p <= probes; ++p) limits_[p - 1] = sources_.limitCounts(p);
    input.characteristics = sources_.characteristicColumns();
    input.characteristicValues = sources_.shownCharacteristicValues();
    const auto characteristics =
        std::min<unsigned>(static_cast<unsigned>(input.characteristics.size()), measure::kMaxCharacteristics);
    for (unsigned k = 0; k < characteristics; ++k) limits_[probes + k] = sources_.characteristicLimitCounts(k);
    input.limits = std::span<const LimitCounts>(limits_).first(probes + characteristics);
    const AppendResult result = table_.appendRow(input);
    if (result != AppendResult::Added) {
        reportBlocked(result, input);
        return;
    }
    blockedReported_ = false;
    if (state_ == RecordingState::SinglePending) {
        timers_.stop(core::timer::kRecord);
        state_ = RecordingState::Idle;
    }
}

// A row asked for and not added is never dropped unseen: the operator hears
// why, once, until a row can be added again.
void Recorder::reportBlocked(AppendResult result, const RowInput& input) {
    if (blockedReported_) return;
    blockedReported_ = true;
    const core::Language language = input.language;
    switch (result) {
        case AppendResult::NoMemory:
            prompts_.showMessage(core::pick(language, text::kNoMemoryEn, text::kNoMemoryZh));
            break;
        case AppendResult::Full:
            prompts_.showMessage(core::pick(language, text::kTableFullEn, text::kTableFullZh));
            break;
        case AppendResult::LayoutMismatch: {
            const TableLayout wanted{input.probeCount,
                                     input.codeInput,
                                     language,
                                     {input.characteristics.begin(), input.characteristics.end()}};
            prompts_.showMessage(layoutChangeMessage(
                {PrepareOutcome::KeptRowsOfOtherLayout, table_.layout(), wanted, table_.rowCount()}, language));
            break;
        }
        case AppendResult::Added: break;
    }
}

void Recorder::reportNoReadings() {
    if (noReadingsReported_) return;
    noReadingsReported_ = true;
    // The box may stay open long on an unattended station: timer 3 is
    // started anew so that its ticks go on behind the box and recording
    // resumes with the next reading, not with the operator's click.
    if (state_ != RecordingState::Idle) restoreRecordTimer();
    const core::Language language = sources_.language();
    prompts_.showMessage(core::pick(language, text::kNoReadingsEn, text::kNoReadingsZh));
}

void Recorder::onReadingArrived() {
    watch_.noteReading();
    noReadingsReported_ = false;
}

RecordRequestOutcome Recorder::onInstrumentRecordRequest() {
    // The request comes in a valid reading answer.
    onReadingArrived();
    if (state_ != RecordingState::Idle) return RecordRequestOutcome::Ignored;
    state_ = RecordingState::SinglePending;
    if (codes_.enabled()) {
        codeInputRequest_ = true;
        return RecordRequestOutcome::CodeRequested;
    }
    timers_.start(core::timer::kRecord, kSingleRecordDelayMs);
    return RecordRequestOutcome::TimerStarted;
}

void Recorder::runCodeStep() {
    if (!codeInputRequest_) return;
    // The dialog may stay open for long; the instrument is not silent meanwhile.
    link::WatchdogPause pause(watchdog_);
    codeInputRequest_ = false;
    codes_.setCurrentCode(askWorkpieceCode(prompts_, sources_.language()));
    // Automatic recording started while the dialog was open goes on at its
    // period and carries the new code; otherwise one row follows.
    if (state_ != RecordingState::Automatic) {
        state_ = RecordingState::SinglePending;
        timers_.start(core::timer::kRecord, kSingleRecordDelayMs);
    }
}

void Recorder::modifyCode(std::optional<uint32_t> selectedRow) {
    if (!selectedRow) {
        const core::Language language = sources_.language();
        prompts_.showMessage(core::pick(language, text::kSelectCodeFirstEn, text::kSelectCodeFirstZh));
        codes_.clearEditRequest();
        return;
    }
    // Rows recorded without a code column have no room for one: the code
    // typed would be dropped unseen.
    if (!table_.layout().codeColumn) {
        const core::Language language = sources_.language();
        prompts_.showMessage(core::pick(language, text::kRowsWithoutCodesEn, text::kRowsWithoutCodesZh));
        codes_.clearEditRequest();
        return;
    }
    // The change is requested only once the dialog has closed, so a record
    // tick inside the dialog neither writes a half-entered code into the row
    // nor loses its own period to the change.
    const WorkpieceCode code = askWorkpieceCode(prompts_, sources_.language());
    codes_.setCurrentCode(code);
    codes_.requestEdit(*selectedRow, code);
    timers_.start(core::timer::kRecord, kSingleRecordDelayMs);
}

void Recorder::onConnected() {
    watch_.start();
    noReadingsReported_ = false;
}

void Recorder::onDisconnect() {
    stopRecordTimer();
    state_ = RecordingState::Idle;
    codeInputRequest_ = false;
    watch_.stop();
}

void Recorder::applyPendingEdit() {
    codes_.clearEditRequest();
    // The row may be gone (table cleared meanwhile); then there is nothing to change.
    table_.updateCode(codes_.editedRow(), codes_.editedCode());
}

void Recorder::restoreRecordTimer() {
    switch (state_) {
        case RecordingState::Automatic: timers_.start(core::timer::kRecord, autoPeriodMs_); break;
        case RecordingState::SinglePending: timers_.start(core::timer::kRecord, kSingleRecordDelayMs); break;
        case RecordingState::Idle: timers_.stop(core::timer::kRecord); break;
    }
}

void Recorder::stopRecordTimer() {
    // A code change waiting for this timer is applied rather than dropped.
    if (codes_.editRequested()) applyPendingEdit();
    timers_.stop(core::timer::kRecord);
}

}  // namespace gaugemon::records
