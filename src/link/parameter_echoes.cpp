// Echoes of the instrument's configuration writes: each applies the new
// setting to the station, reopening the port when the line changed.
#include "link/link_controller.h"
#include "link/link_texts.h"

namespace gaugemon::link {

using core::pick;

void LinkController::serialEchoFF(uint16_t data) {
    const uint8_t low = static_cast<uint8_t>(data & 0xFF);
    state_.pending.serialChange = false;
    state_.twoStopBits = static_cast<uint8_t>(data >> 8);
    state_.baudCode = low & 0x07;
    state_.parityCode = low >> 4;
    if (state_.baudCodeVariant) state_.baudCode = baudCodeFromVariant(state_.baudCode);
    storeLine();
    const int baud = baudRateOfCode(DataFormat::FormatFF, state_.baudCode);
    reopenPort(baud, line());
    buildCommStatus(view_.commStatus, state_.portIndex, "  ", baud, parityLetter((low >> 4) & 0x03));
    state_.pollPeriodMs = pollPeriodOfLine(baud);
    rebuildDeviceInfo(state_.pollPeriodMs + 23);
}

void LinkController::storeLine() {
    core::SettingsBatch batch(settings_);
    settings_.writeInt(core::keys::kBaudBit, state_.baudCode);
    settings_.writeInt(core::keys::kParityBit, state_.parityCode);
}

void LinkController::addressEchoFF() {
    PendingRequests& p = state_.pending;
    if (p.addressChange) {
        p.addressChange = false;
        // The serial settings write needs an unlock of its own.
        if (p.serialChange) p.writeUnlock = true;
    }
    state_.deviceAddress = p.newAddress;
    rebuildDeviceInfo(state_.pollPeriodMs + 20);
}

void LinkController::addressEcho01() {
    state_.pending.addressChange = false;
    state_.deviceAddress = state_.pending.newAddress;
    rebuildDeviceInfo(state_.pollPeriodMs + 23);
}

void LinkController::baudEcho01(uint16_t data) {
    state_.pending.serialChange = false;
    state_.baudCode = static_cast<uint8_t>(data & 0xFF);
    settings_.writeInt(core::keys::kBaudBit, state_.baudCode);
    // Only 9600, 19200 and 38400 can be written to a format "01" instrument.
    // It keeps its parity until the parity write that follows.
    const int baud = state_.baudCode <= 2 ? baudRateOfCode(DataFormat::Format01, state_.baudCode) : 0;
    reopenPort(baud, openLine_);
}

void LinkController::parityEcho01(uint16_t data) {
    const uint8_t low = static_cast<uint8_t>(data & 0xFF);
    state_.pending.parityChange = false;
    state_.parityCode = low;
    settings_.writeInt(core::keys::kParityBit, state_.parityCode);
    state_.twoStopBits = low;
    // 4800 and 115200 too: a parity changed alone leaves an instrument there.
    const int baud = baudRateOfCode(DataFormat::Format01, state_.baudCode);
    state_.pollPeriodMs = pollPeriodOfLine(baud);
    buildCommStatus(view_.commStatus, state_.portIndex, " ", baud, parityLetter(low));
    // The instrument answered in its old parity and now uses the new one: a
    // port left at the old parity would never hear it again.
    if (state_.portOpen) reopenPort(openBaud_, line());
    rebuildDeviceInfo(state_.pollPeriodMs + 20);
}

void LinkController::reopenPort(int baudRate, LineSettings line) {
    port_.close();
    state_.portOpen = false;
    if (baudRate == 0) return;
    openBaud_ = baudRate;
    openLine_ = line;
    state_.portOpen = port_.openPort(portName(state_.portIndex), baudRate, line) == 0;
}

// A baud code the station does not know (0 here) gives the period of the rate
// the port is open at, rather than the last period plus 20 ms, which would
// slow the polling at every such connection.
int32_t LinkController::pollPeriodOfLine(int baudRate) const {
    return pollPeriodFor(baudRate != 0 ? baudRate : openBaud_, state_.probeCount, state_.pollPeriodMs);
}

void LinkController::rebuildDeviceInfo(int32_t cycleMs) {
    fillDeviceInfo(cycleMs);
    refresh();
}

void LinkController::fillDeviceInfo(int32_t cycleMs) {
    shownCycleMs_ = cycleMs;
    buildDeviceInfo(view_.deviceInfo, language_, state_.deviceAddress, state_.probeCount, cycleMs);
    if (fastActive()) view_.deviceInfo += pick(language_, " · fast", " · 快速");
}

}  // namespace gaugemon::link
