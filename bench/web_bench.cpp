// The live web page under load.
//
// BM_ReadingToBrowser: a station in this process polls gaugesim (4 probes at
// 115200, probe 1 stepping between 4 and 5 mm every 700 ms) and serves the
// page; headless Chromium shows it. The time a changed reading reached the
// station is taken here, the time the browser painted it in the page (a
// MutationObserver, then the next animation frame), read over the DevTools
// protocol; both are the machine's wall clock. Goal: median below 250 ms.
//
// BM_TwentyClientsCpu: the real program with --headless --http against
// gaugesim (60 probes at 115200), its CPU time read from /proc for a while
// without live clients and as long with 20 WebSocket clients reading every
// push. Goal: the clients add below 1 % of a core, and the polls per second
// stay at or above 99.7 % of the rate without them.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QWebSocket>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "core/qt_timer_schedule.h"
#include "core/system_clock.h"
#include "link/tty_serial_port.h"
#include "station/station.h"
#include "support/gaugesim_process.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "web/web_view.h"

using namespace gaugemon;
using namespace gaugemon::testing;

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray fetch(const QString& url, int limitMs = 3000) {
    QNetworkAccessManager network;
    QNetworkReply* reply = network.get(QNetworkRequest(QUrl(url)));
    runEventsUntil([&] { return reply->isFinished(); }, limitMs);
    const QByteArray body = reply->isFinished() ? reply->readAll() : QByteArray();
    reply->deleteLater();
    return body;
}

double percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(share * static_cast<double>(values.size() - 1))];
}

// When probe 1's reading changed, by the wall clock.
struct ChangeWatch : station::StationObserver {
    explicit ChangeWatch(const station::Station& station) : station(station) {}
    void readingsShown(const display::ChartPlan*) override {
        const int32_t value = station.linkState().readings[0].value;
        if (value == last) return;
        last = value;
        changes.emplace_back(value, QDateTime::currentMSecsSinceEpoch());
    }
    const station::Station& station;
    int32_t last = INT32_MIN;
    std::vector<std::pair<int32_t, int64_t>> changes;
};

// One evaluation over the DevTools protocol; its value.
QJsonValue evaluate(QWebSocket& devTools, const QString& expression) {
    static int id = 0;
    const int mine = ++id;
    QJsonValue result;
    bool answered = false;
    const auto connection = QObject::connect(&devTools, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message["id"].toInt() != mine) return;
        result = message["result"].toObject()["result"].toObject()["value"];
        answered = true;
    });
    const QJsonObject call{{"id", mine},
                           {"method", "Runtime.evaluate"},
                           {"params", QJsonObject{{"expression", expression}, {"returnByValue", true}}}};
    devTools.sendTextMessage(QString::fromUtf8(QJsonDocument(call).toJson(QJsonDocument::Compact)));
    runEventsUntil([&] { return answered; }, 5000);
    QObject::disconnect(connection);
    return result;
}

void BM_ReadingToBrowser(benchmark::State& state) {
    if (::access(kChromium, X_OK) != 0) {
        state.SkipWithError("no Chromium");
        return;
    }
    QTemporaryDir home;
    const std::filesystem::path ports = std::filesystem::path(home.path().toStdString()) / "ports";
    GaugesimProcess sim(ports, {"--port", "COM1", "--probes", "4", "--baud", "115200", "--signal", "constant:4500",
                                "--signal", "1=step:4000:1000:700"});
    if (!sim.waitForLink("COM1")) {
        state.SkipWithError("gaugesim did not start");
        return;
    }
    core::MemorySettingsStore settings;
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", 1);
    core::QtTimerSchedule timers;
    core::SystemClock clock;
    link::TtySerialPort port{link::PortDirectory(ports)};
    RecordingPrompts prompts;
    station::Station station(
        station::StationSeams{settings, timers, clock, port, prompts, home.path().toStdString() + "/", {}});
    ChangeWatch watch(station);
    station.addObserver(watch);
    web::WebOptions options;
    options.listen = core::ListenAddress{"127.0.0.1", 0};
    options.station = "bench";
    web::WebView view(station, options);
    view.listen();
    station.connect();
    if (!runEventsUntil([&] { return station.linkState().connected; }, 15'000)) {
        state.SkipWithError("no connection");
        return;
    }

    const quint16 debugPort = freePort();
    QTemporaryDir profile;
    QProcess chromium;
    chromium.start(QString::fromLatin1(kChromium),
                   {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.path(),
                    QStringLiteral("--remote-debugging-port=%1").arg(debugPort),
                    QStringLiteral("http://127.0.0.1:%1/").arg(view.port())});
    QString socketUrl;
    runEventsUntil(
        [&] {
            for (const QJsonValue target :
                 QJsonDocument::fromJson(fetch(QStringLiteral("http://127.0.0.1:%1/json/list").arg(debugPort))).array())
                if (target["type"].toString() == "page") socketUrl = target["webSocketDebuggerUrl"].toString();
            return !socketUrl.isEmpty();
        },
        20'000);
    QWebSocket devTools;
    devTools.open(QUrl(socketUrl));
    runEventsUntil([&] { return devTools.state() == QAbstractSocket::ConnectedState; }, 5000);
    runEventsFor(1500);  // the page loads and its live connection opens
    evaluate(devTools, R"js(
        window.seen = [];
        new MutationObserver(() => {
          const value = document.querySelector('[data-probe="1"] .value');
          if (!value) return;
          const text = value.textContent;
          if (window.seen.length && window.seen[window.seen.length - 1][0] === text) return;
          requestAnimationFrame(() => window.seen.push([text, Date.now()]));
        }).observe(document.getElementById("bars"), {subtree: true, childList: true, characterData: true});
        true)js");

    for (auto _ : state) {
        const size_t firstChange = watch.changes.size();
        runEventsFor(static_cast<int>(state.range(0)) * 1000);
        const QJsonArray seen = evaluate(devTools, "window.seen").toArray();
        std::vector<double> latencies;
        for (const QJsonValue entry : seen) {
            const double mm = entry[0].toString().toDouble();
            const auto counts = static_cast<int32_t>(std::lround(mm * 1000));
            const auto shownAt = static_cast<int64_t>(entry[1].toDouble());
            // The newest change to that value before it was shown.
            for (size_t k = watch.changes.size(); k-- > firstChange;) {
                if (watch.changes[k].second > shownAt || watch.changes[k].first != counts) continue;
                latencies.push_back(static_cast<double>(shownAt - watch.changes[k].second));
                break;
            }
        }
        state.SetIterationTime(static_cast<double>(state.range(0)));
        state.counters["median_ms"] = percentile(latencies, 0.5);
        state.counters["p95_ms"] = percentile(latencies, 0.95);
        state.counters["changes"] = static_cast<double>(latencies.size());
    }
    devTools.close();
    chromium.terminate();
    chromium.waitForFinished(5000);
    station.removeObserver(watch);
}
BENCHMARK(BM_ReadingToBrowser)->Arg(20)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

// User and system time of process `pid` in seconds.
double processCpuSeconds(qint64 pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), {});
    const size_t end = text.rfind(')');
    if (end == std::string::npos) return 0;
    std::istringstream fields(text.substr(end + 2));
    std::string field;
    unsigned long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoul(field);
        if (i == 15) stime = std::stoul(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double metric(const QByteArray& metrics, const char* name) {
    for (const QByteArray& line : metrics.split('\n'))
        if (line.startsWith(QByteArray(name) + ' '))
            return line.mid(static_cast<qsizetype>(strlen(name)) + 1).toDouble();
    return 0;
}

struct Phase {
    double cpuSeconds = 0;
    double polls = 0;
};

Phase measure(const QProcess& station, quint16 port, int seconds) {
    const QString metricsUrl = QStringLiteral("http://127.0.0.1:%1/metrics").arg(port);
    const double pollsBefore = metric(fetch(metricsUrl), "gaugemon_polls_total");
    const double cpuBefore = processCpuSeconds(station.processId());
    runEventsFor(seconds * 1000);
    const double cpu = processCpuSeconds(station.processId()) - cpuBefore;
    return {cpu, metric(fetch(metricsUrl), "gaugemon_polls_total") - pollsBefore};
}

void BM_TwentyClientsCpu(benchmark::State& state) {
    const int seconds = static_cast<int>(state.range(0));
    QTemporaryDir home;
    const std::filesystem::path ports = std::filesystem::path(home.path().toStdString()) / "ports";
    GaugesimProcess sim(ports, {"--port", "COM1", "--probes", "60", "--baud", "115200", "--signal", "sine"});
    if (!sim.waitForLink("COM1")) {
        state.SkipWithError("gaugesim did not start");
        return;
    }
    const quint16 port = freePort();
    for (auto _ : state) {
        QProcess station;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_CONFIG_HOME", home.path() + "/.config");
        environment.insert("XDG_DATA_HOME", home.path() + "/.local/share");
        station.setProcessEnvironment(environment);
        station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station.start(QStringLiteral(GAUGEMON_PATH),
                      {"--headless", "--port", QString::fromStdString((ports / "COM1").string()), "--station", "bench",
                       "--http", QStringLiteral("127.0.0.1:%1").arg(port)});
        station.waitForStarted();
        runEventsFor(5'000);  // discovery is not the steady state
        const Phase alone = measure(station, port, seconds);
        std::vector<std::unique_ptr<QWebSocket>> clients;
        uint64_t messages = 0;
        for (int k = 0; k < 20; ++k) {
            clients.push_back(std::make_unique<QWebSocket>());
            QObject::connect(clients.back().get(), &QWebSocket::textMessageReceived,
                             [&](const QString&) { ++messages; });
            clients.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
        }
        runEventsFor(1'000);
        const Phase watched = measure(station, port, seconds);
        for (auto& client : clients) client->close();
        station.terminate();
        station.waitForFinished(10'000);
        state.SetIterationTime(2.0 * seconds);
        state.counters["cpu_percent_alone"] = 100.0 * alone.cpuSeconds / seconds;
        state.counters["cpu_percent_20_clients"] = 100.0 * watched.cpuSeconds / seconds;
        state.counters["added_percent_of_core"] = 100.0 * (watched.cpuSeconds - alone.cpuSeconds) / seconds;
        state.counters["polls_share_percent"] = alone.polls > 0 ? 100.0 * watched.polls / alone.polls : 0;
        state.counters["polls_per_s"] = watched.polls / seconds;
        state.counters["messages_per_s"] = static_cast<double>(messages) / (seconds + 1.0);
    }
}
BENCHMARK(BM_TwentyClientsCpu)->Arg(30)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
