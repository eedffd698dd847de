// Fast polling: the answer is taken the moment it is complete, as the port
// reports arriving bytes, and the next request follows after the line's
// minimum gap. Timer 2 stays armed as the timeout and timer 8 ends an answer
// the line has gone quiet on. An answer taken early is judged exactly as the
// normal cycle judges it, so misses, errors and the watchdog count the same.
#include "link/crc.h"
#include "link/line_timing.h"
#include "link/link_controller.h"

namespace gaugemon::link {

namespace timer = core::timer;

void LinkController::setFastMode(bool on) {
    if (fastMode_ == on) return;
    fastMode_ = on;
    followFastMode();
    if (state_.connected) rebuildDeviceInfo(shownCycleMs_);
}

// The port reports arrivals only while fast polling is connected, so neither
// discovery nor the normal cycle ever sees the notifications.
void LinkController::followFastMode() {
    const bool wanted = fastActive();
    if (wanted == watchingArrivals_) return;
    watchingArrivals_ = wanted;
    if (wanted) {
        port_.setArrivalHandler([this] { bytesArrived(); });
    } else {
        port_.setArrivalHandler({});
        timers_.stop(timer::kAnswerSilence);
    }
}

void LinkController::bytesArrived() {
    if (!awaitingAnswer_) {
        dropStrayInput();
        return;
    }
    const unsigned before = state_.receivedLength;
    readMore();
    if (answerComplete() || state_.receivedLength >= kReceiveBufferBytes) {
        finishFastAnswer(false);
    } else if (state_.receivedLength != before) {
        timers_.start(timer::kAnswerSilence, answerSilenceMs(openBaud_, openLine_));
    }
}

// Bytes between an answer and the next request answer nothing; the next
// request would drop them anyway, and unread they would be reported again
// and again. One read a call: the port calls again while more wait. Rubbish
// right behind a complete answer made it a longer frame than asked for, which
// the normal cycle, reading both at once, counts as an error: so does this.
void LinkController::dropStrayInput() {
    const size_t dropped = port_.readAvailable(state_.received.data(), kMaxReadBytes);
    state_.receivedLength = 0;
    if (dropped > 0 && state_.lastExchange == Exchange::Valid) state_.lastExchange = Exchange::Invalid;
}

// Complete at the expected length or beyond when the CRC over everything
// received is right; a reply with a 0xFF byte count runs longer than expected
// and completes at its own length.
bool LinkController::answerComplete() const {
    const unsigned count = state_.receivedLength;
    return count >= state_.expectedLength && count >= 5 && crcMatches(state_.received.data(), count);
}

void LinkController::silenceTick() {
    timers_.stop(timer::kAnswerSilence);
    if (!fastActive() || !awaitingAnswer_) return;
    const unsigned before = state_.receivedLength;
    readMore();
    // Bytes that came meanwhile mean the line was not quiet after all.
    if (state_.receivedLength != before && !answerComplete() && state_.receivedLength < kReceiveBufferBytes) {
        timers_.start(timer::kAnswerSilence, answerSilenceMs(openBaud_, openLine_));
        return;
    }
    finishFastAnswer(false);
}

void LinkController::finishFastAnswer(bool timedOut) {
    timers_.stop(timer::kAnswer);
    timers_.stop(timer::kAnswerSilence);
    if (timedOut) {
        takeAnswer();
        // A late answer may still be on its way: the next request waits as
        // long as in the normal cycle, so that answer is dropped before it
        // goes out rather than taken for the next one's.
        scheduleNextRequest(kRequestGapMs, kRequestGapMs);
        return;
    }
    // The line's gap is counted from the answer's end, to the microsecond,
    // not from the end of the work it brings (the display, a record).
    const int64_t gapUs = frameGapMicros(openBaud_, openLine_);
    if (state_.connected) timers_.startInMicros(timer::kRequest, gapUs);
    takeAnswer();
    // An echo that moved the line to another rate: the gap is the new rate's.
    const int64_t newGapUs = frameGapMicros(openBaud_, openLine_);
    if (newGapUs != gapUs && state_.connected && !awaitingAnswer_) timers_.startInMicros(timer::kRequest, newGapUs);
}

}  // namespace gaugemon::link
