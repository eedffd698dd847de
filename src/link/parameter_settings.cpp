#include "link/parameter_settings.h"

namespace gaugemon::link {

ParameterChoice fillParameterChoice(LinkState& link, ParameterChoice& remembered) {
    if (!link.connected) return ParameterChoice{};
    ParameterChoice choice;
    // The baud list runs from the fastest rate down; format "01" numbers
    // 9600, 19200, 38400 as 0, 1, 2.
    if (link.dataFormat == DataFormat::Format01) {
        choice.baudIndex = 3 - link.baudCode;
        link.pending.flagsReadsLeft = 2;
        link.deviceFlags = 0xFF;
    } else {
        choice.baudIndex = 4 - link.baudCode;
    }
    if (choice.baudIndex < 0 || choice.baudIndex > 4) choice.baudIndex = -1;
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
    if (choice.baudIndex == remembered.baudIndex && choice.parityIndex == remembered.parityIndex) {
        pending.serialChange = false;
    } else if (choice.baudIndex >= 0 && choice.baudIndex <= 4 && choice.parityIndex >= 0 && choice.parityIndex <= 2) {
        pending.serialChange = true;
        pending.writeUnlock = true;
        link.baudCode = static_cast<uint8_t>(4 - choice.baudIndex);
        link.parityCode = static_cast<uint8_t>(choice.parityIndex);
    }
    if (link.connected && link.dataFormat == DataFormat::Format01) {
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

}  // namespace gaugemon::link
