// The gate's reading of request heads, and the names and origins it lets
// reach the station: each row one rule, at the level that holds it.
#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include "web/host_policy.h"
#include "web/request_head.h"
#include "web/web_options.h"

using namespace gaugemon;

namespace {

constexpr const char* kKey = "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n";

std::string handshake(const std::string& fields) {
    return "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" + fields + "\r\n";
}

struct HeadCase {
    const char* what;
    std::string bytes;
    int refusal;
    bool whole;
    bool closes = false;
    bool webSocket = false;
};

TEST(RequestHead, IsReadStrictlySoThatNoTwoReadersFrameItApart) {
    const HeadCase cases[] = {
        {"a plain GET", "GET /api/status HTTP/1.1\r\nHost: a\r\n\r\n", 0, true},
        {"a head still arriving", "GET /api/status HTTP/1.1\r\nHost: a\r\n", 0, false},
        {"a bare LF ends a line", "GET / HTTP/1.1\nHost: a\n", 400, false},
        {"a bare LF inside a whole head", "GET / HTTP/1.1\r\nHost: a\nX: b\r\n\r\n", 400, false},
        {"Content-Length beside Transfer-Encoding",
         "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\nTransfer-Encoding: chunked\r\n\r\n", 400, false},
        {"two Content-Lengths", "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 4\r\nContent-Length: 4\r\n\r\n", 400,
         false},
        {"a signed Content-Length", "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: +4\r\n\r\n", 400, false},
        {"an overflowing Content-Length", "POST / HTTP/1.1\r\nHost: a\r\nContent-Length: 99999999999999999999\r\n\r\n",
         400, false},
        {"chunks alone", "POST / HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n", 501, false},
        {"no Host in HTTP/1.1", "GET / HTTP/1.1\r\n\r\n", 400, false},
        {"two Hosts", "GET / HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400, false},
        {"a space before the colon", "GET / HTTP/1.1\r\nHost : a\r\n\r\n", 400, false},
        {"a folded line", "GET / HTTP/1.1\r\nHost: a\r\n b\r\n\r\n", 400, false},
        {"a line without a colon", "GET / HTTP/1.1\r\nHost: a\r\nnonsense\r\n\r\n", 400, false},
        {"a target that is not a path", "GET http://a/ HTTP/1.1\r\nHost: a\r\n\r\n", 400, false},
        {"a space in the target", "GET /a b HTTP/1.1\r\nHost: a\r\n\r\n", 400, false},
        {"an unknown version", "GET / HTTP/2.0\r\nHost: a\r\n\r\n", 400, false},
        {"Connection: close", "GET / HTTP/1.1\r\nHost: a\r\nConnection: keep-alive, Close\r\n\r\n", 0, true, true},
        {"HTTP/1.0 without keep-alive", "GET / HTTP/1.0\r\n\r\n", 0, true, true},
        {"HTTP/1.0 with keep-alive", "GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", 0, true, false},
        {"a handshake", handshake(kKey + std::string("Sec-WebSocket-Version: 13\r\n")), 0, true, false, true},
        {"a handshake without a key", handshake("Sec-WebSocket-Version: 13\r\n"), 400, false},
        {"a key that is not base64",
         handshake("Sec-WebSocket-Key: not*base64*at*all*here!!\r\nSec-WebSocket-Version: 13\r\n"), 400, false},
        {"a key of 15 bytes", handshake("Sec-WebSocket-Key: AAAAAAAAAAAAAAAAAAAA\r\nSec-WebSocket-Version: 13\r\n"),
         400, false},
        {"a key whose last letter carries stray bits",
         handshake("Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZB==\r\nSec-WebSocket-Version: 13\r\n"), 400, false},
        {"another version", handshake(kKey + std::string("Sec-WebSocket-Version: 8\r\n")), 426, false},
        {"Upgrade: websocket without Connection: upgrade",
         "GET /ws HTTP/1.1\r\nHost: a\r\nUpgrade: websocket\r\n" + std::string(kKey) +
             "Sec-WebSocket-Version: 13\r\n\r\n",
         400, false},
        {"an upgrade to another protocol", "GET / HTTP/1.1\r\nHost: a\r\nUpgrade: h2c\r\nConnection: Upgrade\r\n\r\n",
         400, false},
    };
    for (const HeadCase& c : cases) {
        const web::RequestHead head = web::readRequestHead(c.bytes);
        EXPECT_EQ(head.refusal, c.refusal) << c.what;
        EXPECT_EQ(head.whole, c.whole) << c.what;
        EXPECT_EQ(head.closes, c.closes) << c.what;
        EXPECT_EQ(head.webSocket, c.webSocket) << c.what;
    }
    // The body is framed by its length alone: what follows is the next request.
    const std::string two = "POST /a HTTP/1.1\r\nHost: a\r\nContent-Length: 3\r\n\r\nxyzGET /b HTTP/1.1\r\n";
    const web::RequestHead head = web::readRequestHead(two);
    EXPECT_EQ(head.headBytes + head.bodyBytes, two.find("GET"));
}

struct HostCase {
    const char* listen;
    const char* host;
    const char* origin;
    bool hostAllowed;
    bool originAllowed;
};

TEST(HostPolicy, OnlyTheStationsOwnNamesAndPageReachIt) {
    const std::vector<std::string> names{"Gauges.Plant"};
    const std::vector<std::string> origins{"https://Proxy.Plant/"};
    const HostCase cases[] = {
        {"127.0.0.1", "127.0.0.1:8080", "http://127.0.0.1:8080", true, true},
        {"127.0.0.1", "localhost:8080", "http://localhost:8080", true, true},
        {"127.0.0.1", "LOCALHOST", "", true, true},
        {"127.0.0.1", "rebound.example:8080", "http://rebound.example:8080", false, true},
        {"127.0.0.1", "127.0.0.2:8080", "", false, true},
        {"127.0.0.1", "127.0.0.1:8080", "http://other.example", true, false},
        {"127.0.0.1", "127.0.0.1:8080", "null", true, false},
        {"127.0.0.1", "127.0.0.1:8080", "https://proxy.plant", true, true},
        {"127.0.0.1", "gauges.plant", "http://gauges.plant", true, true},
        {"::1", "[::1]:8080", "http://[::1]:8080", true, true},
        {"::1", "[::2]:8080", "", false, true},
        {"192.0.2.7", "192.0.2.7:8080", "", true, true},
        {"192.0.2.7", "localhost", "", false, true},
        {"0.0.0.0", "127.0.0.1", "", true, true},
        {"0.0.0.0", "rebound.example", "", false, true},
    };
    for (const HostCase& c : cases) {
        const web::HostPolicy policy = web::hostPolicy(core::ListenAddress{c.listen, 8080}, names, origins);
        EXPECT_EQ(policy.hostAllowed(c.host), c.hostAllowed) << c.listen << " " << c.host;
        EXPECT_EQ(policy.originAllowed(c.origin, c.host), c.originAllowed) << c.host << " " << c.origin;
    }
}

// An INI file reads a value with commas as a list: every name still counts.
TEST(HostPolicy, NamesAndOriginsAreReadFromTheSettingsAsText) {
    QTemporaryDir directory;
    QFile file(directory.filePath("gaugemon.conf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "[Http]\nListen=127.0.0.1:8080\nAllowedHosts=gauges.plant, line7  wall.screen\n"
        "AllowedOrigins=https://proxy.plant\n");
    file.close();
    QSettings reread(file.fileName(), QSettings::IniFormat);
    std::string refusal;
    const web::WebOptions options = web::loadWebOptions(reread, core::Language::English, refusal);
    EXPECT_EQ(refusal, "");
    EXPECT_EQ(options.allowedHosts, (std::vector<std::string>{"gauges.plant", "line7", "wall.screen"}));
    EXPECT_EQ(options.allowedOrigins, (std::vector<std::string>{"https://proxy.plant"}));
}

}  // namespace
