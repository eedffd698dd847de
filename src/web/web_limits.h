#pragma once
#include <algorithm>
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
    int idleMs = 10'000;                  // to send a whole request, from the connection or the last answer
    int64_t maxSendBacklog = 256 * 1024;  // unsent bytes of one live client
    int kernelSendBuffer = 64 * 1024;     // per connection
};

// One address may take a quarter of each budget of connections, requests
// and live clients, so that a client alone cannot shut the others out.
inline constexpr int kAddressShares = 4;
inline int addressShare(int whole) { return std::max(1, whole / kAddressShares); }

}  // namespace gaugemon::web
