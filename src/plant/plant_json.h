#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "measure/counts.h"
#include "records/gbk.h"

namespace gaugemon::plant {

enum class ProbeVerdict : uint8_t { None, Ok, Ng };

// Where a live reading lies in its band; a warning only while the station's
// pre-warning is on.
enum class ProbeZone : uint8_t { Ok, Warning, Ng };

// One probe's live reading in device counts, as the link decoded it.
struct LiveProbe {
    int32_t counts = 0;
    bool fine = false;  // counts of 0.0001 mm rather than 0.001 mm
    ProbeVerdict verdict = ProbeVerdict::None;
    // With its limits (0.001 mm) the message carries the unit, the limits,
    // the nominal (the middle of the band) and the zone too.
    bool withLimits = false;
    int32_t lowerCounts = 0;
    int32_t upperCounts = 0;
    ProbeZone zone = ProbeZone::Ok;
};

// One characteristic computed from the same poll, judged like a probe; its
// name in a fixed slot, so that handing it over allocates nothing.
struct LiveCharacteristic {
    bool present = false;  // false: a probe it needs had no value
    int32_t counts = 0;
    bool fine = false;
    int32_t lowerCounts = 0;
    int32_t upperCounts = 0;
    ProbeZone zone = ProbeZone::Ng;
    std::array<char, 33> name{};  // UTF-8, zero-terminated
};

// The readings of one poll, filled in place by the station: fixed arrays,
// so handing it over copies a few kilobytes and allocates nothing.
struct LiveReadings {
    unsigned probeCount = 0;  // probes 1..probeCount are filled; more than 60 reads as 60
    std::array<LiveProbe, measure::kMaxProbes> probes{};
    unsigned characteristicCount = 0;  // more than 32 reads as 32
    std::array<LiveCharacteristic, measure::kMaxCharacteristics> characteristics{};
    bool anyNg = false;
    int64_t timeMs = 0;  // wall clock, ms since 1970; 0: the time it is offered
};

// A row of the journal as the outbox reads it back; nothing in it is trusted.
struct JournalRow {
    int64_t sequence = 0;  // the journal's row id: unique and rising per station
    int64_t position = 0;  // the row's index in the table; the list shows it plus one
    int64_t probeCount = 0;
    int64_t codeColumn = 0;
    int64_t recordedMs = 0;
    std::string_view bytes;
    std::string_view limits{};           // the limit set the row was recorded with; empty for none
    std::string_view characteristics{};  // recorded after the probes, as the journal keeps them
};

enum class RowJsonError : uint8_t {
    None,
    BadLayout,  // a probe count or code column no table of ours has
    BadSize,    // the bytes are not one row of that layout
};

// The message of gaugemon/<station>/records for one recorded row, into `out`
// (replaced; its storage is reused). Values are in mm at the probe's
// resolution, times in local time with the zone offset; a judged value of a
// row recorded with its limits carries them as a live reading does.
RowJsonError recordJson(const JournalRow& row, std::string_view station, const records::GbkDecoder& decoder,
                        std::string& out);

// The message of gaugemon/<station>/readings, into `out` (replaced).
void readingsJson(const LiveReadings& readings, std::string_view station, std::string& out);

// "2026-12-08T09:14:03.120+01:00": local time with milliseconds and offset.
void appendIsoTime(int64_t msSince1970, std::string& out);

// The instant a local time of this machine names (a recorded row's time), in
// ms since 1970 (in the hour a clock change passes twice, the C library
// picks one of the two).
int64_t msSince1970Of(const core::LocalDateTime& local);

}  // namespace gaugemon::plant
