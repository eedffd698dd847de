#pragma once
#include <QHostAddress>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/listen_address.h"

namespace gaugemon::web {

// The names a request may reach the station by. A page of another site
// that rebinds its own name to the station's address sends that name as
// Host; a page of another site that opens the WebSocket sends its own
// Origin. Both are refused unless the operator named them.
struct HostPolicy {
    std::vector<QHostAddress> addresses;  // the listen address, or each of the machine's for a wildcard
    std::vector<std::string> names;       // lower case
    std::vector<std::string> origins;     // lower case, no trailing '/'

    // `host` as a Host field carries it, with or without its port; empty
    // (HTTP/1.0 without one) passes.
    bool hostAllowed(std::string_view host) const;
    // The page's own origin (its scheme and `host`) or one named; none
    // (a client that is not a browser) passes.
    bool originAllowed(std::string_view origin, std::string_view host) const;
};

// `names` and `origins` as the settings give them, beside the listen address.
HostPolicy hostPolicy(const std::optional<core::ListenAddress>& listen, const std::vector<std::string>& names,
                      const std::vector<std::string>& origins);

}  // namespace gaugemon::web
