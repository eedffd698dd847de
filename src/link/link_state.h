#pragma once
#include <array>
#include <cstdint>

#include "link/protocol.h"

namespace gaugemon::link {

// One probe's decoded reading in device counts: 0.001 mm, or 0.0001 mm when
// the instrument marked it as a fine-resolution reading.
struct ChannelReading {
    int32_t value = 0;
    bool scaledBy5 = false;
};

// The commands the poll cycle sends instead of the readings request, in the
// order they go out when several wait: the unlock before the write it opens,
// line settings before the mode, the zero last.
enum class Command : uint8_t {
    WriteUnlock,
    AddressChange,
    SerialChange,
    ParityChange,
    ModeChange,
    FlagsWrite,
    FlagsRead,
    Zero,
};
inline constexpr std::array<Command, 8> kCommandPriority = {
    Command::WriteUnlock, Command::AddressChange, Command::SerialChange, Command::ParityChange,
    Command::ModeChange,  Command::FlagsWrite,    Command::FlagsRead,    Command::Zero,
};

// Commands waiting to be sent, with what they carry. Each stays raised until
// the instrument's echo clears it, so a lost echo repeats the same frame on
// the next poll tick.
struct PendingRequests {
    bool writeUnlock = false;
    bool addressChange = false;
    uint8_t newAddress = 0;
    bool serialChange = false;
    bool parityChange = false;
    bool modeChange = false;
    uint8_t modeIndex = 0;
    bool flagsWrite = false;
    uint8_t flagsReadsLeft = 0;
    bool zeroRequest = false;
    uint8_t zeroChannel = 0;

    bool raised(Command command) const {
        switch (command) {
            case Command::WriteUnlock: return writeUnlock;
            case Command::AddressChange: return addressChange;
            case Command::SerialChange: return serialChange;
            case Command::ParityChange: return parityChange;
            case Command::ModeChange: return modeChange;
            case Command::FlagsWrite: return flagsWrite;
            case Command::FlagsRead: return flagsReadsLeft > 0;
            case Command::Zero: return zeroRequest;
        }
        return false;
    }
};

// The watchdog period: this long without a valid answer and the line counts
// as lost.
inline constexpr int kWatchdogMs = 5000;

enum class Exchange : uint8_t { None = 0, Valid = 1, Invalid = 2 };

struct LinkState {
    bool connected = false;
    unsigned portIndex = 0;
    bool portOpen = false;
    DataFormat dataFormat = DataFormat::FormatFF;
    uint8_t deviceAddress = 1;
    unsigned probeCount = 1;
    uint8_t baudCode = 0;
    uint8_t parityCode = 0;
    uint8_t twoStopBits = 0;
    bool baudCodeVariant = false;
    bool singleProbeDevice = false;
    int32_t pollPeriodMs = 0;
    uint32_t errorCount = 0;
    uint32_t missCount = 0;
    Exchange lastExchange = Exchange::None;
    unsigned expectedLength = 0;
    unsigned receivedLength = 0;
    std::array<uint8_t, kRawReadingBytes> rawReadings{};
    std::array<ChannelReading, kReadingSlots> readings{};
    bool readingsReady = false;
    PendingRequests pending;
    uint8_t deviceFlags = 0xFF;  // 0xFF: not read yet

    // The receive buffer; the request frame in flight is the link controller's.
    std::array<uint8_t, kReceiveBufferBytes> received{};
};

// A probe count reported by the instrument, kept within what can be polled:
// at least one probe (no frame for zero probes, no division by zero) and at
// most 60.
constexpr unsigned clampProbeCount(unsigned reported) {
    return reported < 1 ? 1 : (reported > kMaxProbes ? kMaxProbes : reported);
}

}  // namespace gaugemon::link
