#pragma once
#include <cstdint>

namespace gaugemon::web {

// What one client, or all of them, may cost the station. Whatever goes
// beyond is refused or dropped, never queued.
struct WebLimits {
    int maxConnections = 64;              // plain HTTP connections at once
    int maxWebSockets = 32;               // live clients at once
    int newConnectionsPerSecond = 100;    // beyond: closed as they come
    int requestsPerSecond = 200;          // beyond: 429
    int64_t maxRequestBytes = 16 * 1024;  // request line, headers and body
    int idleMs = 10'000;                  // an HTTP connection without a request
    int64_t maxSendBacklog = 256 * 1024;  // unsent bytes of one live client
    int kernelSendBuffer = 64 * 1024;     // per connection
};

}  // namespace gaugemon::web
