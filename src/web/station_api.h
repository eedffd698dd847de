#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "plant/station_status.h"

namespace gaugemon::station {
class Station;
}

namespace gaugemon::web {

// The answers of the web API, built from the station's const queries into
// a string whose storage the caller keeps. Lengths are in mm, at the
// probe's resolution; "text" is the value as the station shows it.

// {"time","connected","unit","verdict","probes":[{probe,text,value,lower,upper,nominal,zone,verdict}]};
// not connected while the instrument is lost, with no verdict and no values.
void readingsJson(const station::Station& station, int64_t timeMs, std::string& out);

// The sequence number of a row of the table; the numbers rise along it.
using RowSequence = std::function<uint64_t(uint32_t row)>;

// The rows among the first `numbered` of the table from sequence number
// `since` on (exclusive), at most `limit` of them:
// {"rows":[...],"next":N,"more":bool}.
void rowsJson(const station::Station& station, const RowSequence& sequenceOf, uint32_t numbered, uint64_t since,
              unsigned limit, std::string& out);

// One row of the table as the rows answer and the WebSocket carry it.
void rowJson(const station::Station& station, uint32_t row, uint64_t sequence, std::string& out);

// The process statistics of the rows held, probe by probe.
void statisticsJson(const station::Station& station, std::string& out);

// The limits of the probes connected (all 60 while none is).
void tolerancesJson(const station::Station& station, std::string& out);

// What only the web view counts.
struct WebCounts {
    uint64_t polls = 0;         // answers with readings since start
    uint64_t rowsRecorded = 0;  // since start
    uint64_t ngRows = 0;
    unsigned clients = 0;  // WebSocket clients now
};

// The Prometheus text exposition of the station's counters.
void metricsText(const plant::StationStatus& status, const WebCounts& counts, std::string& out);

}  // namespace gaugemon::web
