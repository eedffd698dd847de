#include "plant/mqtt_options.h"

#include <QString>
#include <QSysInfo>

#include <unistd.h>
#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace gaugemon::plant {

namespace {

constexpr size_t kMaxStationBytes = 64;
constexpr size_t kMaxPrefixBytes = 128;
constexpr int kMaxPort = 65535;

std::string text(const core::TextSettings& settings, std::string_view key) {
    return settings.readText(kMqttGroup, key).value_or(std::string());
}

// A whole decimal number, or nothing.
bool parseInt(std::string_view digits, int& value) {
    while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
    while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
    if (digits.empty()) return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size();
}

bool isHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

// "tcp://host:port" or "ssl://host:port", host a name or an address; no user
// in the address, so no password can hide in it.
bool isBrokerUrl(std::string_view url) {
    std::string_view rest;
    if (url.starts_with("tcp://"))
        rest = url.substr(6);
    else if (url.starts_with("ssl://"))
        rest = url.substr(6);
    else
        return false;
    const size_t colon = rest.rfind(':');
    if (colon == 0 || colon == std::string_view::npos) return false;
    std::string_view host = rest.substr(0, colon);
    if (host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        if (host.empty() || host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) return false;
    } else if (!std::all_of(host.begin(), host.end(), isHostCharacter)) {
        return false;
    }
    const std::string_view port = rest.substr(colon + 1);
    if (port.empty() || port.find_first_not_of("0123456789") != std::string_view::npos || port.size() > 5) return false;
    int number = 0;
    return parseInt(port, number) && number >= 1 && number <= kMaxPort;
}

// The host's name made into a topic level.
std::string hostStationName() {
    std::string name = QSysInfo::machineHostName().toStdString();
    for (char& c : name)
        if (!isHostCharacter(c)) c = '-';
    if (name.size() > kMaxStationBytes) name.resize(kMaxStationBytes);
    return name.empty() ? std::string("station") : name;
}

std::string refusal(core::Language language, const char* english, const char* chinese) {
    return core::pick(language, english, chinese);
}

}  // namespace

MqttOptions loadMqttOptions(const core::TextSettings& settings) {
    MqttOptions options;
    options.brokerUrl = text(settings, "Url");
    options.station = text(settings, "Station");
    options.caFile = text(settings, "CaFile");
    options.user = text(settings, "User");
    options.password = text(settings, "Password");
    if (const auto rate = settings.readText(kMqttGroup, "ReadingsPerSecond");
        rate && !parseInt(*rate, options.readingsPerSecond))
        options.readingsPerSecond = -1;  // refused by the check, with its message
    if (const auto prefix = settings.readText(kMqttGroup, "TopicPrefix")) options.topicPrefix = *prefix;
    if (const auto qos = settings.readText(kMqttGroup, "RecordsQos"); qos && !parseInt(*qos, options.recordsQos))
        options.recordsQos = -1;
    options.certFile = text(settings, "CertFile");
    options.keyFile = text(settings, "KeyFile");
    if (const char* user = std::getenv("GAUGEMON_MQTT_USER")) options.user = user;
    if (const char* password = std::getenv("GAUGEMON_MQTT_PASSWORD")) options.password = password;
    return options;
}

bool storeBrokerUrl(core::TextSettings& settings, std::string_view url) {
    return settings.writeText(kMqttGroup, "Url", url);
}

std::string withoutCredentials(std::string_view url) {
    const size_t scheme = url.find("://");
    const size_t userStart = scheme == std::string_view::npos ? 0 : scheme + 3;
    // A password may hold '/' or ':' unencoded: all up to the last '@' goes.
    const size_t at = url.rfind('@');
    if (at == std::string_view::npos || at < userStart) return std::string(url);
    return std::string(url.substr(0, userStart)) + "***" + std::string(url.substr(at));
}

bool isTopicSafe(const std::string& name) {
    if (name.empty() || name.size() > kMaxStationBytes) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == '+' || c == '#' || c == '/' || u < 0x20 || u == 0x7F;
    });
}

bool isTopicPrefix(const std::string& prefix) {
    if (prefix.empty() || prefix.size() > kMaxPrefixBytes) return false;
    size_t begin = 0;
    while (begin <= prefix.size()) {
        const size_t slash = std::min(prefix.find('/', begin), prefix.size());
        if (!isTopicSafe(prefix.substr(begin, slash - begin))) return false;
        begin = slash + 1;
    }
    return true;
}

std::string checkMqttOptions(MqttOptions& options, core::Language language) {
    if (!options.publishing()) return {};
    if (!isBrokerUrl(options.brokerUrl)) {
        return refusal(language,
                       "The MQTT broker address must read tcp://host:port or ssl://host:port: publishing is off.",
                       "MQTT 代理地址应为 tcp://主机:端口 或 ssl://主机:端口：发布已关闭。");
    }
    if (options.station.empty()) options.station = hostStationName();
    if (!isTopicSafe(options.station)) {
        return refusal(language,
                       "The station name for MQTT must be 1 to 64 characters without '+', '#' or '/': publishing is "
                       "off.",
                       "MQTT 工位名称应为 1 至 64 个字符，且不含 '+'、'#'、'/'：发布已关闭。");
    }
    if (options.readingsPerSecond < 0 || options.readingsPerSecond > kMaxReadingsPerSecond) {
        return refusal(language, "Live readings per second for MQTT must be 0 to 50: publishing is off.",
                       "MQTT 每秒实时读数应为 0 至 50：发布已关闭。");
    }
    if (!options.caFile.empty() && ::access(options.caFile.c_str(), R_OK) != 0) {
        return refusal(language, "The CA file for MQTT cannot be read: publishing is off.",
                       "无法读取 MQTT 的 CA 证书文件：发布已关闭。");
    }
    if (!isTopicPrefix(options.topicPrefix)) {
        return refusal(language,
                       "The MQTT topic prefix must be levels of 1 to 64 characters without '+' or '#', at most 128 "
                       "in all: publishing is off.",
                       "MQTT 主题前缀应由 1 至 64 个字符的层级组成，不含 '+'、'#'，总长不超过 128：发布已关闭。");
    }
    if (options.recordsQos < 1 || options.recordsQos > 2) {
        return refusal(language, "The QoS of recorded rows for MQTT must be 1 or 2: publishing is off.",
                       "MQTT 记录行的 QoS 应为 1 或 2：发布已关闭。");
    }
    if (options.certFile.empty() != options.keyFile.empty()) {
        return refusal(language,
                       "The MQTT client certificate needs its key file, and the key its certificate: "
                       "publishing is off.",
                       "MQTT 客户端证书与其私钥文件须同时给出：发布已关闭。");
    }
    for (const std::string* file : {&options.certFile, &options.keyFile}) {
        if (!file->empty() && ::access(file->c_str(), R_OK) != 0) {
            return refusal(language, "The MQTT client certificate or its key cannot be read: publishing is off.",
                           "无法读取 MQTT 客户端证书或其私钥：发布已关闭。");
        }
    }
    return {};
}

}  // namespace gaugemon::plant
