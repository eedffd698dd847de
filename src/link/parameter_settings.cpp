#include "link/parameter_settings.h"

#include <algorithm>
#include <iterator>

#include "link/link_texts.h"

namespace gaugemon::link {

namespace {

// The baud list runs from the fastest rate down.
constexpr int kBaudList[] = {115200, 38400, 19200, 9600, 4800};

int baudIndexOf(int baudRate) {
    const auto* found = std::find(std::begin(kBaudList), std::end(kBaudList), baudRate);
    return found == std::end(kBaudList) ? -1 : static_cast<int>(found - std::begin(kBaudList));
}

}  // namespace

ParameterChoice fillParameterChoice(LinkState& link, ParameterChoice& remembered) {
    if (!link.connected) return ParameterChoice{};
    ParameterChoice choice;
    // By the rate, since the two formats number their baud codes differently
    // (a format "01" instrument at 4800 must not show 115200).
    choice.baudIndex = baudIndexOf(baudRateOfCode(link.dataFormat, link.baudCode));
    if (link.dataFormat == DataFormat::Format01) {
        link.pending.flagsReadsLeft = 2;
        link.deviceFlags = 0xFF;
    }
    choice.parityIndex = link.parityCode <= 2 ? link.parityCode : -1;
    choice.address = link.deviceAddress;
    choice.formatIndex = remembered.formatIndex;
    remembered = choice;
    return choice;
}

int formatIndexFromFlags(uint8_t deviceFlags) {
    if (deviceFlags == 0xFF) return -1;
    return (deviceFlags & 0x02) ? kFormatIndex01 : kFormatIndexFF;
}

ParameterOk applyParameterChoice(LinkState& link, const ParameterChoice& remembered, const ParameterChoice& choice) {
    PendingRequests& pending = link.pending;
    const bool sameBaud = choice.baudIndex == remembered.baudIndex;
    const bool format01 = link.connected && link.dataFormat == DataFormat::Format01;
    if (sameBaud && choice.parityIndex == remembered.parityIndex) {
        pending.serialChange = false;
    } else if (format01 && sameBaud && choice.parityIndex >= 0 && choice.parityIndex <= 2) {
        // A format "01" instrument takes its parity on a register of its own.
        // Writing the baud rate as well would move an instrument at 4800 or
        // 115200 to 38400, a rate nobody chose.
        pending.serialChange = false;
        pending.parityChange = true;
        link.parityCode = static_cast<uint8_t>(choice.parityIndex);
    } else if (choice.baudIndex >= 0 && choice.baudIndex <= 4 && choice.parityIndex >= 0 && choice.parityIndex <= 2) {
        pending.serialChange = true;
        pending.writeUnlock = true;
        link.baudCode = static_cast<uint8_t>(4 - choice.baudIndex);
        link.parityCode = static_cast<uint8_t>(choice.parityIndex);
    }
    if (format01) {
        if (choice.formatIndex >= 0 && choice.formatIndex != remembered.formatIndex) {
            pending.flagsWrite = true;
            pending.writeUnlock = true;
            if (choice.formatIndex == kFormatIndex01) {
                link.deviceFlags = static_cast<uint8_t>(link.deviceFlags | 0x02);
            } else {
                link.deviceFlags = static_cast<uint8_t>(link.deviceFlags & ~0x02);
            }
        } else {
            pending.flagsWrite = false;
        }
    }
    if (choice.address == remembered.address) {
        pending.addressChange = false;
    } else if (choice.address >= 1 && choice.address <= 254) {
        pending.addressChange = true;
        pending.writeUnlock = true;
        pending.newAddress = static_cast<uint8_t>(choice.address);
    } else {
        return ParameterOk::AddressOutOfRange;
    }
    return ParameterOk::Close;
}

ModeRequest raiseDisplayModeChange(LinkState& link, int selectedIndex) {
    if (!link.connected) return ModeRequest::NotConnected;
    if (selectedIndex < 0 || selectedIndex >= static_cast<int>(kDisplayModes)) return ModeRequest::Ignored;
    link.pending.modeIndex = static_cast<uint8_t>(selectedIndex);
    link.pending.modeChange = true;
    link.pending.writeUnlock = true;
    return ModeRequest::Raised;
}

}  // namespace gaugemon::link
