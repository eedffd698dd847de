#include "station/station_status.h"

#include <algorithm>

#include "station/station.h"

namespace gaugemon::station {

namespace {

// "COM03 19200,8,N,1": the port before the blank, the line settings after it.
void splitCommStatus(const std::string& text, plant::StationStatus& status) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return;
    const size_t blank = text.find(' ', begin);
    status.port = text.substr(begin, blank - begin);
    if (blank == std::string::npos) return;
    const size_t settings = text.find_first_not_of(' ', blank);
    if (settings != std::string::npos) status.lineSettings = text.substr(settings);
}

}  // namespace

const char* stationVersion() { return GAUGEMON_VERSION; }

plant::StationStatus stationStatus(const Station& station, const std::string& name) {
    plant::StationStatus status;
    status.version = stationVersion();
    status.station = name;
    status.language = station.language() == core::Language::English ? "en" : "zh";
    const link::LinkState& link = station.linkState();
    if (link.connected) splitCommStatus(station.linkView().commStatus, status);
    status.connected = link.connected;
    status.probeCount = link.connected ? link.probeCount : 0;
    status.cycleMs = station.pollCycleMs();
    status.misses = link.missCount;
    status.errors = link.errorCount;
    const records::RecordTable& table = station.recordTable();
    status.rowsHeld = table.rowCount();
    status.rowsNotInFile =
        table.hasUnsavedRows() ? std::min<uint64_t>(table.changeStamp() - table.savedStamp(), table.rowCount()) : 0;
    status.journalOn = station.journal().isOn();
    const PlantFeed& feed = station.plantFeed();
    const uint64_t written = status.journalOn && feed.publishing() ? station.journal().writtenRows() : 0;
    status.rowsNotPublished = written > feed.publishedRows() ? written - feed.publishedRows() : 0;
    return status;
}

}  // namespace gaugemon::station
