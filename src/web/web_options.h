#pragma once
#include <optional>
#include <string>
#include <vector>

#include "core/language.h"
#include "core/listen_address.h"
#include "web/web_limits.h"

class QSettings;

namespace gaugemon::web {

inline constexpr int kDefaultPushesPerSecond = 10;
inline constexpr int kMaxPushesPerSecond = 50;

// Where and how the live web page is served. No address: off.
struct WebOptions {
    std::optional<core::ListenAddress> listen;
    int pushesPerSecond = kDefaultPushesPerSecond;  // readings sent to each live client, at most
    std::string station;                            // the name the status carries
    std::vector<std::string> allowedHosts;          // names besides the listen address a request may give
    std::vector<std::string> allowedOrigins;        // pages of other origins that may open the WebSocket
    WebLimits limits;
};

// Group "Http" of the settings: Listen ("ADDR:PORT" or a port; empty or
// missing: off), PushesPerSecond (1..50), and AllowedHosts and
// AllowedOrigins (text, separated by commas or spaces). A value that cannot stand is
// told in `refusal` and leaves the page off.
WebOptions loadWebOptions(QSettings& settings, core::Language language, std::string& refusal);

// The options with the command line's --http in place of the stored address.
std::optional<WebOptions> webOptions(QSettings& settings, const std::string& httpAddress, const std::string& station,
                                     core::Language language);

}  // namespace gaugemon::web
