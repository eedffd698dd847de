#include "web/request_head.h"

#include <algorithm>
#include <charconv>

namespace gaugemon::web {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr int kBadRequest = 400;
constexpr int kUpgradeRequired = 426;
constexpr int kNotImplemented = 501;
// A WebSocket key is 16 random bytes in base64: 22 letters and "==".
constexpr size_t kKeyLength = 24;
constexpr size_t kKeyLetters = 22;

bool isTokenChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

bool isToken(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar); }

bool isVisible(char c) { return c > ' ' && c < '\x7f'; }

// Tabs, spaces, visible ASCII and bytes above it; never CR, LF or NUL.
bool isFieldValue(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte == '\t' || (byte >= ' ' && byte != 0x7f);
    });
}

std::string_view trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

bool sameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return (x >= 'A' && x <= 'Z' ? x + 32 : x) == (y >= 'A' && y <= 'Z' ? y + 32 : y);
           });
}

// Whether the comma-separated `list` holds `token`.
bool listHas(std::string_view list, std::string_view token) {
    while (!list.empty()) {
        const size_t comma = std::min(list.find(','), list.size());
        if (sameText(trimmed(list.substr(0, comma)), token)) return true;
        list.remove_prefix(std::min(comma + 1, list.size()));
    }
    return false;
}

bool isBase64Letter(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '+' || c == '/';
}

// Exactly 16 bytes in canonical base64: the last letter carries two bits
// of data and four zero bits, so it is one of A, Q, g and w.
bool isWebSocketKey(std::string_view key) {
    if (key.size() != kKeyLength || key.substr(kKeyLetters) != "==") return false;
    if (!std::all_of(key.begin(), key.begin() + kKeyLetters, isBase64Letter)) return false;
    return std::string_view("AQgw").find(key[kKeyLetters - 1]) != std::string_view::npos;
}

// A line ends in CR LF and nowhere else: a bare LF is where two readers part.
bool hasBareLineFeed(std::string_view bytes) {
    for (size_t k = 0; k < bytes.size(); ++k)
        if (bytes[k] == '\n' && (k == 0 || bytes[k - 1] != '\r')) return true;
    return false;
}

RequestHead refused(int status) {
    RequestHead head;
    head.refusal = status;
    return head;
}

struct Fields {
    bool host = false;
    bool length = false;
    bool chunked = false;
    bool closeAsked = false;
    bool keepAlive = false;
    bool upgradeAsked = false;
    bool duplicate = false;
    std::string_view upgrade;
    std::string_view version;
};

// One field line into `head` and `fields`; false when it is malformed.
bool readField(std::string_view line, RequestHead& head, Fields& fields) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    // No space before the colon, no folded line: RFC 9112 makes both errors.
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = trimmed(line.substr(colon + 1));
    if (!isToken(name) || !isFieldValue(value)) return false;
    const auto once = [&](bool& seen) {
        fields.duplicate = fields.duplicate || seen;
        seen = true;
    };
    if (sameText(name, "content-length")) {
        once(fields.length);
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), head.bodyBytes);
        return !value.empty() && error == std::errc() && end == value.data() + value.size();
    }
    if (sameText(name, "transfer-encoding")) fields.chunked = true;
    if (sameText(name, "host")) {
        once(fields.host);
        head.host = value;
        return !value.empty();
    }
    if (sameText(name, "origin")) head.origin = value;
    if (sameText(name, "connection")) {
        fields.closeAsked = fields.closeAsked || listHas(value, "close");
        fields.keepAlive = fields.keepAlive || listHas(value, "keep-alive");
        fields.upgradeAsked = fields.upgradeAsked || listHas(value, "upgrade");
    }
    if (sameText(name, "upgrade")) fields.upgrade = value;
    if (sameText(name, "sec-websocket-key")) {
        fields.duplicate = fields.duplicate || !head.key.empty();
        head.key = value;
    }
    if (sameText(name, "sec-websocket-version")) fields.version = value;
    return true;
}

// The handshake of RFC 6455 4.1, or the status that refuses it.
int handshakeRefusal(const RequestHead& head, const Fields& fields, bool http11) {
    if (!sameText(fields.upgrade, "websocket") || !fields.upgradeAsked) return kBadRequest;
    if (head.method != "GET" || !http11 || head.bodyBytes != 0 || !isWebSocketKey(head.key)) return kBadRequest;
    return fields.version == "13" ? 0 : kUpgradeRequired;
}

}  // namespace

RequestHead readRequestHead(std::string_view bytes) {
    const size_t end = bytes.find(kHeadEnd);
    if (end == std::string_view::npos) return hasBareLineFeed(bytes) ? refused(kBadRequest) : RequestHead{};
    std::string_view lines = bytes.substr(0, end + kLineEnd.size());
    const auto nextLine = [&lines] {
        const size_t eol = lines.find(kLineEnd);
        const std::string_view line = lines.substr(0, eol);
        lines.remove_prefix(eol + kLineEnd.size());
        return line;
    };

    RequestHead head;
    const std::string_view requestLine = nextLine();
    const size_t first = requestLine.find(' ');
    const size_t second = requestLine.find(' ', first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return refused(kBadRequest);
    head.method = requestLine.substr(0, first);
    head.target = requestLine.substr(first + 1, second - first - 1);
    const std::string_view version = requestLine.substr(second + 1);
    const bool http11 = version == "HTTP/1.1";
    if (!isToken(head.method) || !head.target.starts_with('/') ||
        !std::all_of(head.target.begin(), head.target.end(), isVisible) || (!http11 && version != "HTTP/1.0"))
        return refused(kBadRequest);

    Fields fields;
    while (!lines.empty())
        if (!readField(nextLine(), head, fields)) return refused(kBadRequest);
    // A body framed twice, or by chunks this server does not take, would
    // leave its end to the reader: refused before anyone reads it.
    if (fields.chunked) return refused(fields.length ? kBadRequest : kNotImplemented);
    if (fields.duplicate || (http11 && !fields.host)) return refused(kBadRequest);
    head.closes = http11 ? fields.closeAsked : !fields.keepAlive;
    if (!fields.upgrade.empty() && (fields.upgradeAsked || listHas(fields.upgrade, "websocket"))) {
        if (const int refusal = handshakeRefusal(head, fields, http11)) return refused(refusal);
        head.webSocket = true;
    }
    head.whole = true;
    head.headBytes = end + kHeadEnd.size();
    return head;
}

}  // namespace gaugemon::web
