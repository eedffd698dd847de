// Hostile clients against the page's server on 127.0.0.1, from a thread of
// their own with plain sockets, while the station polls in step with real
// time on the main thread: nothing crashes, nothing grows without bound,
// and the loop the poll cycle runs on never stalls.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "sim/simulated_ports.h"
#include "station/station.h"
#include "station/working_day.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"
#include "web/web_view.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

// The poll cycle must not stall: nearly every turn of its loop is shorter
// than kTurnMs, and none is as long as kStallMs (a blocking wait would be).
// A loaded machine alone shows turns of 10 to 15 ms now and then.
constexpr int64_t kTurnMs = 20;
constexpr int64_t kStallMs = 100;

// A blocking client socket to 127.0.0.1:port with a receive timeout; -1 when
// the connection is refused. From another loopback address (`from`), it
// stands for a client on another machine.
int openClient(quint16 port, int receiveBuffer = 0, const char* from = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    timeval timeout{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (from) {
        sockaddr_in own{};
        own.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &own.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&own), sizeof own);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void sendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<size_t>(n);
    }
}

// One answer: the head, and the body of its Content-Length. Empty when the
// server closed the connection (or said nothing within the timeout).
std::string readAnswer(int fd) {
    std::string bytes;
    char buffer[4096];
    while (true) {
        const size_t head = bytes.find("\r\n\r\n");
        if (head != std::string::npos) {
            const size_t field = bytes.find("Content-Length: ");
            const size_t length = field < head ? std::stoul(bytes.substr(field + 16)) : 0;
            if (bytes.size() >= head + 4 + length) return bytes;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

std::string get(const std::string& path) { return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

std::string handshake(const std::string& fields = "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n") {
    return "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n" + fields +
           "Sec-WebSocket-Version: 13\r\n\r\n";
}

// The status of an answer, such as "200"; empty when there was none.
std::string statusOf(const std::string& answer) { return answer.size() > 12 ? answer.substr(9, 3) : ""; }

// Whether the server closed the connection (rather than held it open).
bool closedByServer(int fd) {
    char byte;
    return ::recv(fd, &byte, 1, 0) == 0;
}

// What the station logs while a test runs; the loop runs on this thread only.
class LogCapture {
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::keep)) { lines().clear(); }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    int count(const char* text) const {
        return static_cast<int>(std::count_if(lines().begin(), lines().end(), [text](const std::string& line) {
            return line.find(text) != std::string::npos;
        }));
    }

private:
    static std::vector<std::string>& lines() {
        static std::vector<std::string> kept;
        return kept;
    }
    static void keep(QtMsgType, const QMessageLogContext&, const QString& message) {
        lines().push_back(message.toStdString());
    }
    QtMessageHandler previous_;
};

class HostileClients : public ::testing::Test {
protected:
    HostileClients() {
        directory_ = std::filesystem::temp_directory_path() / ("gaugemon-hostile-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
        station = std::make_unique<station::Station>(
            station::StationSeams{settings, timers, clock, line, prompts, directory_.string() + "/", {}});
        station->connect();
        EXPECT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
    }
    ~HostileClients() override {
        view.reset();
        station.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    void serve(const web::WebLimits& limits, int pushesPerSecond = 10) {
        web::WebOptions options;
        options.listen = core::ListenAddress{"127.0.0.1", 0};
        options.limits = limits;
        options.pushesPerSecond = pushesPerSecond;
        view = std::make_unique<web::WebView>(*station, options);
        ASSERT_TRUE(view->listen());
    }
    // Runs the event loop until `done` (or `limitMs`), the station polling in
    // step with real time; keeps the longest turn of the loop.
    bool runUntil(const std::function<bool()>& done, int limitMs) {
        QEventLoop loop;
        QTimer tick;
        QElapsedTimer real;
        real.start();
        int64_t last = 0;
        QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
            const int64_t now = real.elapsed();
            turnsMs.push_back(now - last);
            clock.advanceBy(now - last);
            last = real.elapsed();
            if (done() || now > limitMs) loop.quit();
        });
        tick.start(5);
        loop.exec();
        return done();
    }

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    sim::SimulatedLine line{ports};
    std::filesystem::path directory_;
    std::unique_ptr<station::Station> station;
    std::unique_ptr<web::WebView> view;
    // Whether the loop kept turning: no stall, and 99 % of the turns short.
    void expectNoStall() {
        ASSERT_FALSE(turnsMs.empty());
        std::sort(turnsMs.begin(), turnsMs.end());
        const int64_t p99 = turnsMs[turnsMs.size() * 99 / 100];
        EXPECT_LT(turnsMs.back(), kStallMs);
        EXPECT_LT(p99, kTurnMs);
        std::printf("turns of the loop: 99 %% at most %lld ms, longest %lld ms\n", static_cast<long long>(p99),
                    static_cast<long long>(turnsMs.back()));
    }

    std::vector<int64_t> turnsMs;
};

TEST_F(HostileClients, BadRequestsAreRefusedAndNothingButThePageIsServed) {
    serve({});
    const quint16 port = view->port();
    std::atomic<bool> finished = false;
    std::vector<std::string> answers;
    std::thread client([&] {
        for (const std::string& request :
             {get("/../../etc/passwd"), get("/%2e%2e/%2e%2e/etc/passwd"), get("/nothing"),
              std::string("POST /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\n{}"),
              "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Padding: " + std::string(64 * 1024, 'x') + "\r\n\r\n",
              "POST /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 10000000\r\n\r\n" +
                  std::string(256 * 1024, 'b'),
              get("/api/status")}) {
            const int fd = openClient(port);
            sendAll(fd, request);
            answers.push_back(readAnswer(fd));
            ::close(fd);
        }
        finished = true;
    });
    EXPECT_TRUE(runUntil([&] { return finished.load(); }, 30'000));
    client.join();
    ASSERT_EQ(answers.size(), 7u);
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_TRUE(answers[k].starts_with("HTTP/1.1 404")) << answers[k];
        EXPECT_EQ(answers[k].find("root:"), std::string::npos);
    }
    EXPECT_TRUE(answers[3].starts_with("HTTP/1.1 405")) << answers[3];
    EXPECT_EQ(answers[4], "") << "an oversized header is refused";
    EXPECT_EQ(answers[5], "") << "an oversized body is refused";
    EXPECT_TRUE(answers[6].starts_with("HTTP/1.1 200")) << answers[6];
    expectNoStall();
}

// 500 connections opened and left idle: the page still answers a client
// that asks, at most the limit stay open, and the idle ones are closed.
TEST_F(HostileClients, FiveHundredIdleConnectionsNeitherLockThePageAwayNorStay) {
    web::WebLimits limits;
    limits.maxConnections = 16;
    limits.newConnectionsPerSecond = 10'000;
    limits.idleMs = 1'000;
    serve(limits);
    const quint16 port = view->port();
    std::vector<int> idle;
    std::atomic<int> stage = 0;
    std::string answer;
    std::thread client([&] {
        for (int k = 0; k < 500; ++k) idle.push_back(openClient(port));
        stage = 1;
        while (stage != 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const int fd = openClient(port);
        sendAll(fd, get("/api/status"));
        answer = readAnswer(fd);
        ::close(fd);
        stage = 3;
    });
    ASSERT_TRUE(runUntil([&] { return stage == 1; }, 20'000));
    runUntil([] { return false; }, 200);  // the server takes them all in
    stage = 2;
    ASSERT_TRUE(runUntil([&] { return stage == 3; }, 20'000));
    client.join();
    EXPECT_TRUE(answer.starts_with("HTTP/1.1 200")) << answer;
    runUntil([] { return false; }, 2'500);  // longer than the idle limit and a sweep
    int open = 0;
    for (const int fd : idle) {
        char byte;
        if (fd >= 0 && ::recv(fd, &byte, 1, MSG_DONTWAIT) < 0 && errno == EAGAIN) ++open;
        if (fd >= 0) ::close(fd);
    }
    EXPECT_EQ(open, 0);
    expectNoStall();
}

// A live client that never reads: its backlog is capped and it is dropped,
// while the readings go on being pushed and the station polls on.
TEST_F(HostileClients, ALiveClientThatNeverReadsIsDropped) {
    web::WebLimits limits;
    limits.maxSendBacklog = 32 * 1024;
    limits.kernelSendBuffer = 8 * 1024;
    serve(limits, web::kMaxPushesPerSecond);
    const int fd = openClient(view->port(), 4096);
    ASSERT_GE(fd, 0);
    sendAll(fd,
            "GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(runUntil([&] { return view->clients() == 1; }, 5'000));
    const uint64_t pollsBefore = view->counts().polls;
    EXPECT_TRUE(runUntil([&] { return view->clients() == 0; }, 30'000));
    EXPECT_GT(view->counts().polls, pollsBefore);
    ::close(fd);
    expectNoStall();
}

// Requests as fast as four connections can send them: beyond the rate they
// are answered 429 at once, and the flood ends in its own time.
TEST_F(HostileClients, ARequestFloodIsAnsweredWithinItsRate) {
    web::WebLimits limits;
    limits.requestsPerSecond = 100;
    serve(limits);
    const quint16 port = view->port();
    std::atomic<int> ok = 0;
    std::atomic<int> refused = 0;
    std::atomic<int> running = 4;
    QElapsedTimer flood;
    flood.start();
    std::vector<std::thread> clients;
    for (int c = 0; c < 4; ++c) {
        clients.emplace_back([&] {
            const int fd = openClient(port);
            QElapsedTimer own;
            own.start();
            while (own.elapsed() < 1'500) {
                sendAll(fd, get("/api/readings"));
                const std::string answer = readAnswer(fd);
                if (answer.starts_with("HTTP/1.1 200"))
                    ++ok;
                else if (answer.starts_with("HTTP/1.1 429"))
                    ++refused;
                else
                    break;
            }
            ::close(fd);
            --running;
        });
    }
    EXPECT_TRUE(runUntil([&] { return running == 0; }, 20'000));
    for (std::thread& client : clients) client.join();
    const double seconds = static_cast<double>(flood.elapsed()) / 1000.0;
    EXPECT_LT(seconds, 5.0);
    EXPECT_LE(ok, static_cast<int>((seconds + 1) * limits.requestsPerSecond));
    EXPECT_GT(refused, 0);
    expectNoStall();
    std::printf("flood: %d answered, %d refused in %.2f s\n", ok.load(), refused.load(), seconds);
}

}  // namespace

namespace {

// Every request the page will not serve is answered with its status, and
// the connection closed where the client or the standard asks for it.
TEST_F(HostileClients, EveryRefusedRequestIsAnsweredWithItsStatus) {
    serve({});
    const quint16 port = view->port();
    struct Case {
        const char* what;
        std::string request;
        const char* status;
    };
    const std::vector<Case> cases = {
        {"a name the station does not have", "GET /api/status HTTP/1.1\r\nHost: rebound.example:80\r\n\r\n", "403"},
        {"a page of another site",
         handshake("Origin: http://elsewhere.example\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"), "403"},
        {"the page's own origin",
         handshake("Origin: http://127.0.0.1\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"), "101"},
        {"a handshake without a key", handshake(""), "400"},
        {"a key that is not base64", handshake("Sec-WebSocket-Key: !!!!!!!!!!!!!!!!!!!!!!==\r\n"), "400"},
        {"a handshake to another path",
         "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
         "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n",
         "404"},
        {"a body framed twice, a request hidden in it",
         "POST /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 48\r\nTransfer-Encoding: chunked\r\n\r\n"
         "0\r\n\r\nGET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
         "400"},
        {"no request at all", "HELLO\r\n\r\n", "400"},
        {"Connection: close", "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n", "200"},
        {"HTTP/1.0", "GET /api/status HTTP/1.0\r\n\r\n", "200"},
    };
    std::atomic<bool> finished = false;
    std::vector<std::pair<std::string, bool>> answers;
    std::thread client([&] {
        for (const Case& c : cases) {
            const int fd = openClient(port);
            sendAll(fd, c.request);
            const std::string answer = readAnswer(fd);
            answers.emplace_back(answer, statusOf(answer) == "101" || closedByServer(fd));
            ::close(fd);
        }
        finished = true;
    });
    EXPECT_TRUE(runUntil([&] { return finished.load(); }, 60'000));
    client.join();
    ASSERT_EQ(answers.size(), cases.size());
    for (size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(statusOf(answers[k].first), cases[k].status) << cases[k].what << "\n" << answers[k].first;
        EXPECT_TRUE(answers[k].second) << cases[k].what << ": the connection stays open";
    }
}

// A client frame the standard forbids (here unmasked) closes the client
// with 1002, the close frame sent before the connection ends.
TEST_F(HostileClients, AnUnmaskedFrameClosesItsClient) {
    serve({});
    const quint16 port = view->port();
    std::atomic<bool> finished = false;
    std::string received;
    bool closed = false;
    std::thread client([&] {
        const int fd = openClient(port);
        sendAll(fd, handshake());
        received = readAnswer(fd);
        sendAll(fd, std::string("\x81\x02hi", 4));
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0) received.append(buffer, static_cast<size_t>(n));
        closed = n == 0;
        ::close(fd);
        finished = true;
    });
    EXPECT_TRUE(runUntil([&] { return finished.load(); }, 20'000));
    client.join();
    EXPECT_EQ(statusOf(received), "101");
    EXPECT_NE(received.find(std::string("\x88\x02\x03\xEA", 4)), std::string::npos);
    EXPECT_TRUE(closed);
    EXPECT_EQ(view->clients(), 0u);
}

// A connection trickling its head a byte at a time is told so and closed
// once its time for a whole request has passed.
TEST_F(HostileClients, AConnectionTricklingItsRequestIsClosed) {
    web::WebLimits limits;
    limits.idleMs = 1'000;
    serve(limits);
    const quint16 port = view->port();
    std::atomic<bool> finished = false;
    std::string answer;
    std::thread client([&] {
        const int fd = openClient(port);
        sendAll(fd, "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
        char buffer[512];
        for (int k = 0; k < 60 && answer.empty(); ++k) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::send(fd, "a", 1, MSG_NOSIGNAL);
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) answer.assign(buffer, static_cast<size_t>(n));
        }
        ::close(fd);
        finished = true;
    });
    EXPECT_TRUE(runUntil([&] { return finished.load(); }, 20'000));
    client.join();
    EXPECT_EQ(statusOf(answer), "408") << answer;
}

// One address flooding requests and opening live clients takes only its
// share: another address is served all the while, until the whole limit
// of live clients is reached, which is answered 503 and logged once.
TEST_F(HostileClients, OneAddressTakesOnlyItsShare) {
    LogCapture log;
    web::WebLimits limits;
    limits.requestsPerSecond = 100;
    limits.maxWebSockets = 8;
    serve(limits);
    const quint16 port = view->port();
    std::atomic<bool> flooding = true;
    std::atomic<int> stage = 0;
    std::vector<std::string> statuses;
    std::vector<int> held;
    const auto live = [&](const char* from) {
        const int fd = openClient(port, 0, from);
        sendAll(fd, handshake());
        statuses.push_back(statusOf(readAnswer(fd)));
        held.push_back(fd);
    };
    std::atomic<bool> floodRefused = false;
    std::thread flood([&] {
        const int fd = openClient(port, 0, "127.0.0.2");
        while (flooding) {
            sendAll(fd, get("/api/readings"));
            const std::string answer = readAnswer(fd);
            if (answer.empty()) break;
            if (statusOf(answer) == "429") floodRefused = true;
        }
        ::close(fd);
    });
    std::thread client([&] {
        for (int wait = 0; wait < 5'000 && !floodRefused; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (int k = 0; k < 20; ++k) {
            const int fd = openClient(port, 0, "127.0.0.3");
            sendAll(fd, get("/metrics"));
            statuses.push_back(statusOf(readAnswer(fd)));
            ::close(fd);
        }
        flooding = false;
        for (int k = 0; k < 3; ++k) live("127.0.0.2");  // its share is 2
        stage = 1;
    });
    ASSERT_TRUE(runUntil([&] { return stage == 1; }, 30'000));
    flood.join();
    client.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "200"), 20);
    EXPECT_EQ(statuses[20], "101");
    EXPECT_EQ(statuses[21], "101");
    EXPECT_EQ(statuses[22], "429");
    statuses.clear();
    std::thread more([&] {
        for (const char* from : {"127.0.0.3", "127.0.0.3", "127.0.0.4", "127.0.0.4", "127.0.0.5", "127.0.0.5"})
            live(from);
        stage = 2;
    });
    ASSERT_TRUE(runUntil([&] { return stage == 2 && view->clients() == 8; }, 30'000));
    more.join();
    std::thread beyond([&] {
        live("127.0.0.6");
        live("127.0.0.7");
        stage = 3;
    });
    ASSERT_TRUE(runUntil([&] { return stage == 3; }, 30'000));
    beyond.join();
    EXPECT_EQ(std::count(statuses.begin(), statuses.begin() + 6, "101"), 6);
    EXPECT_EQ(statuses[6], "503");
    EXPECT_EQ(statuses[7], "503");
    EXPECT_EQ(log.count("as many as it takes"), 1);
    for (const int fd : held) ::close(fd);
    runUntil([&] { return view->clients() == 0; }, 5'000);
    std::thread aborted([&] {  // a handshake whose client resets at once
        const int fd = openClient(port, 0, "127.0.0.8");
        sendAll(fd, handshake());
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
        stage = 4;
    });
    ASSERT_TRUE(runUntil([&] { return stage == 4; }, 5'000));
    aborted.join();
    runUntil([] { return false; }, 300);
    EXPECT_EQ(view->clients(), 0u);
    EXPECT_EQ(log.count("not open"), 0);
}

}  // namespace
