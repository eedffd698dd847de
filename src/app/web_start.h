#pragma once
#include <QSettings>
#include <memory>
#include <string>

#include "station/station.h"

namespace gaugemon::app {

// The live web page over `station` when the settings or --http
// (`httpAddress`) ask for it; null when they do not, when its address cannot
// be had, or in a build without the web server (said in the log).
std::shared_ptr<void> startWeb(station::Station& station, QSettings& settings, const std::string& httpAddress,
                               const std::string& stationName);

}  // namespace gaugemon::app
