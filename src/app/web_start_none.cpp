// A build without the web server: the page is asked for and not there.
#include "app/web_start.h"
#include "core/logging.h"

namespace gaugemon::app {

std::shared_ptr<void> startWeb(station::Station& /*station*/, QSettings& /*settings*/, const std::string& httpAddress,
                               const std::string& /*stationName*/) {
    if (!httpAddress.empty())
        qCWarning(core::stationLog, "this build of the station has no web server: --http %s is not served",
                  httpAddress.c_str());
    return nullptr;
}

}  // namespace gaugemon::app
