#pragma once
#include <cstdint>
#include <string>

namespace gaugemon::plant {

// What a consumer outside the station needs to know of it at a glance: the
// retained state message of MQTT and the web page's status both carry it.
// Never a credential.
struct StationStatus {
    int64_t timeMs = 0;  // wall clock, ms since 1970, when it was taken
    std::string version;
    std::string station;
    std::string language;      // "en" or "zh": the station's texts
    std::string port;          // "COM03" or a device path; empty while none is open
    std::string lineSettings;  // "19200,8,N,1"
    unsigned probeCount = 0;
    bool connected = false;
    int32_t cycleMs = 0;  // the poll cycle as it runs, request to request
    uint32_t misses = 0;
    uint32_t errors = 0;
    uint64_t rowsHeld = 0;
    uint64_t rowsNotInFile = 0;
    uint64_t rowsNotPublished = 0;
    bool journalOn = false;

    // Everything but the time.
    bool sameStateAs(const StationStatus& other) const;
    // Everything but the time, the cycle and the backlog, which move with
    // every poll or row.
    bool sameBesidesCounters(const StationStatus& other) const;
};

// The status as one JSON object, into `out` (replaced).
void statusJson(const StationStatus& status, std::string& out);

}  // namespace gaugemon::plant
