#include "core/listen_address.h"

#include <algorithm>
#include <charconv>

namespace gaugemon::core {

namespace {

constexpr size_t kMaxPortDigits = 5;
constexpr unsigned kMaxPort = 65535;
constexpr size_t kMaxHostBytes = 45;  // the longest IPv6 text

std::optional<uint16_t> parsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > kMaxPortDigits) return std::nullopt;
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return std::nullopt;
    unsigned port = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (port < 1 || port > kMaxPort) return std::nullopt;
    return static_cast<uint16_t>(port);
}

bool isIpv4(std::string_view host) {
    int parts = 0;
    while (true) {
        const size_t dot = std::min(host.find('.'), host.size());
        const std::string_view part = host.substr(0, dot);
        unsigned value = 0;
        if (part.empty() || part.size() > 3 ||
            std::from_chars(part.data(), part.data() + part.size(), value).ptr != part.data() + part.size() ||
            value > 255)
            return false;
        ++parts;
        if (dot == host.size()) break;
        host.remove_prefix(dot + 1);
    }
    return parts == 4;
}

bool isIpv6(std::string_view host) {
    return !host.empty() && host.size() <= kMaxHostBytes && host.find(':') != std::string_view::npos &&
           host.find_first_not_of("0123456789abcdefABCDEF:.") == std::string_view::npos;
}

}  // namespace

std::optional<ListenAddress> parseListenAddress(std::string_view text) {
    if (const auto alone = parsePort(text)) return ListenAddress{kLoopbackHost, *alone};
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const auto port = parsePort(text.substr(colon + 1));
    std::string_view host = text.substr(0, colon);
    if (!port) return std::nullopt;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (!isIpv6(host)) return std::nullopt;
    } else if (!isIpv4(host)) {
        return std::nullopt;
    }
    return ListenAddress{std::string(host), *port};
}

}  // namespace gaugemon::core
