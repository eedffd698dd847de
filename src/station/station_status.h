#pragma once
#include <string>

#include "plant/station_status.h"

namespace gaugemon::station {

class Station;

// The station's status as the plant and the web page see it, taken now
// (the time is the caller's to set). Rows not published count only while
// the station publishes.
plant::StationStatus stationStatus(const Station& station, const std::string& name);

// The version of the program the station belongs to.
const char* stationVersion();

}  // namespace gaugemon::station
