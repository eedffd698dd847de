#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace gaugemon::core {

// Where a server of the station listens.
struct ListenAddress {
    std::string host;  // an IPv4 or IPv6 address, without brackets
    uint16_t port = 0;
};

inline constexpr const char* kLoopbackHost = "127.0.0.1";

// "ADDR:PORT", "[IPv6]:PORT", or "PORT" alone for the loopback address;
// nothing for anything else (a name, a port outside 1..65535, stray text).
std::optional<ListenAddress> parseListenAddress(std::string_view text);

}  // namespace gaugemon::core
