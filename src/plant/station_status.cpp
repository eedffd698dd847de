#include "plant/station_status.h"

#include "plant/json_writer.h"

namespace gaugemon::plant {

bool StationStatus::sameStateAs(const StationStatus& other) const {
    return sameBesidesCounters(other) && cycleMs == other.cycleMs && rowsHeld == other.rowsHeld &&
           rowsNotInFile == other.rowsNotInFile && rowsNotPublished == other.rowsNotPublished;
}

bool StationStatus::sameBesidesCounters(const StationStatus& other) const {
    return version == other.version && station == other.station && language == other.language && port == other.port &&
           lineSettings == other.lineSettings && probeCount == other.probeCount && connected == other.connected &&
           misses == other.misses && errors == other.errors && journalOn == other.journalOn;
}

void statusJson(const StationStatus& status, std::string& out) {
    out.clear();
    JsonWriter json(out);
    json.beginObject();
    json.field("station").string(status.station);
    json.field("time").isoTime(status.timeMs);
    json.field("version").string(status.version);
    json.field("language").string(status.language);
    json.field("port").string(status.port);
    json.field("line").string(status.lineSettings);
    json.field("probes").number(status.probeCount);
    json.field("link").string(status.connected ? "connected" : "disconnected");
    json.field("cycle_ms").number(status.cycleMs);
    json.field("misses").number(status.misses);
    json.field("errors").number(status.errors);
    json.field("backlog").beginObject();
    json.field("rows_held").number(status.rowsHeld);
    json.field("rows_not_in_file").number(status.rowsNotInFile);
    json.field("rows_not_published").number(status.rowsNotPublished);
    json.field("journal").string(status.journalOn ? "on" : "off");
    json.endObject();
    json.endObject();
}

}  // namespace gaugemon::plant
