#include "web/host_policy.h"

#include <QNetworkInterface>
#include <algorithm>

namespace gaugemon::web {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return out;
}

// The name or address of a Host field, without its port and brackets.
std::string_view hostName(std::string_view host) {
    if (host.starts_with('[')) {
        const size_t close = host.find(']');
        return close == std::string_view::npos ? std::string_view{} : host.substr(1, close - 1);
    }
    return host.substr(0, host.find(':'));
}

bool contains(const std::vector<std::string>& list, const std::string& text) {
    return std::find(list.begin(), list.end(), text) != list.end();
}

}  // namespace

bool HostPolicy::hostAllowed(std::string_view host) const {
    if (host.empty()) return true;
    const std::string name = lowered(hostName(host));
    const QHostAddress address(QString::fromStdString(name));
    if (!address.isNull())
        return std::any_of(addresses.begin(), addresses.end(), [&](const QHostAddress& own) {
            return own.isEqual(address, QHostAddress::TolerantConversion);
        });
    return contains(names, name);
}

bool HostPolicy::originAllowed(std::string_view origin, std::string_view host) const {
    if (origin.empty()) return true;
    const std::string asked = lowered(origin);
    return asked == "http://" + lowered(host) || contains(origins, asked);
}

HostPolicy hostPolicy(const std::optional<core::ListenAddress>& listen, const std::vector<std::string>& names,
                      const std::vector<std::string>& origins) {
    HostPolicy policy;
    for (const std::string& name : names) policy.names.push_back(lowered(name));
    for (const std::string& origin : origins) {
        std::string text = lowered(origin);
        while (text.ends_with('/')) text.pop_back();
        policy.origins.push_back(std::move(text));
    }
    if (!listen) return policy;
    const QHostAddress address(QString::fromStdString(listen->host));
    // A wildcard listens on every address the machine has now.
    const bool wildcard = address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6;
    if (wildcard)
        for (const QHostAddress& own : QNetworkInterface::allAddresses()) policy.addresses.push_back(own);
    else
        policy.addresses.push_back(address);
    // A browser resolves "localhost" itself: no other site can lend it.
    if (wildcard || address.isLoopback()) policy.names.emplace_back("localhost");
    return policy;
}

}  // namespace gaugemon::web
