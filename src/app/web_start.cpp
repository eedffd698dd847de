#include "app/web_start.h"

#include "web/web_view.h"

namespace gaugemon::app {

std::shared_ptr<void> startWeb(station::Station& station, QSettings& settings, const std::string& httpAddress,
                               const std::string& stationName) {
    return web::startWebView(station, settings, httpAddress, stationName);
}

}  // namespace gaugemon::app
