// The real program without a window against gaugesim, its page opened in
// headless Chromium: the values and the verdict the browser shows are the
// station's. A screenshot of the page is left beside the test for a look.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QWebSocket>
#include <filesystem>
#include <map>

#include "headless_program.h"

using namespace gaugemon::testing;
namespace fs = std::filesystem;

namespace {

constexpr const char* kChromium = "/usr/bin/chromium";

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The body of GET `path`, or empty.
QByteArray httpGet(quint16 port, const char* path) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{3, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QByteArray bytes;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = std::string("GET ") + path +
                                    " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                    "\r\nConnection: close\r\n\r\n";
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) bytes.append(buffer, n);
    }
    ::close(fd);
    const qsizetype body = bytes.indexOf("\r\n\r\n");
    return body < 0 ? QByteArray() : bytes.mid(body + 4);
}

// Chromium on `url` with a profile of its own; its standard output.
QString runChromium(const QStringList& extra, const QString& url) {
    QTemporaryDir profile;
    QProcess chromium;
    chromium.setProcessChannelMode(QProcess::SeparateChannels);
    chromium.start(
        QString::fromLatin1(kChromium),
        QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--user-data-dir=" + profile.path(),
                    "--window-size=1280,800", "--virtual-time-budget=4000"}
            << extra << url);
    runEventsUntil([&] { return chromium.state() == QProcess::NotRunning; }, 60'000);
    return QString::fromUtf8(chromium.readAllStandardOutput());
}

// A page in headless Chromium driven over its DevTools protocol: the
// viewport set as a device would have it, then scripts run in the page.
class DevToolsPage {
public:
    ~DevToolsPage() {
        socket_.abort();
        // Asked to end, it takes its helper processes with it.
        chromium_.terminate();
        if (!chromium_.waitForFinished(5000)) chromium_.kill();
        chromium_.waitForFinished(1000);
    }

    bool open(const QString& url, int width, int height, bool mobile) {
        chromium_.setStandardErrorFile(QProcess::nullDevice());
        chromium_.start(QString::fromLatin1(kChromium),
                        {"--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                         "--disable-background-networking", "--disable-component-update", "--disable-sync",
                         "--user-data-dir=" + profile_.path(), "--remote-debugging-port=0", "about:blank"});
        // Chromium names the port it took in its profile.
        QFile portFile(profile_.path() + "/DevToolsActivePort");
        if (!runEventsUntil([&] { return portFile.size() > 0; }, 30'000) || !portFile.open(QIODevice::ReadOnly))
            return false;
        const auto port = static_cast<quint16>(portFile.readLine().trimmed().toUInt());
        QString target;
        runEventsUntil(
            [&] {
                for (const QJsonValue page : QJsonDocument::fromJson(httpGet(port, "/json/list")).array())
                    if (page["type"].toString() == "page") target = page["webSocketDebuggerUrl"].toString();
                return !target.isEmpty();
            },
            10'000);
        if (target.isEmpty()) return false;
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& message) {
            const QJsonObject answer = QJsonDocument::fromJson(message.toUtf8()).object();
            if (answer.contains("id")) answers_[answer["id"].toInt()] = answer;
        });
        socket_.open(QUrl(target));
        if (!runEventsUntil([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10'000)) return false;
        call("Emulation.setDeviceMetricsOverride",
             {{"width", width}, {"height", height}, {"deviceScaleFactor", 1}, {"mobile", mobile}});
        call("Page.navigate", {{"url", url}});
        return true;
    }

    // The method's result, or an empty object.
    QJsonObject call(const QString& method, const QJsonObject& params = {}) {
        const int id = ++lastId_;
        socket_.sendTextMessage(
            QString::fromUtf8(QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}})
                                  .toJson(QJsonDocument::Compact)));
        runEventsUntil([&] { return answers_.count(id) > 0; }, 30'000);
        return answers_[id]["result"].toObject();
    }

    // The value of `expression`, a promise's once it settles.
    QJsonValue evaluate(const QString& expression) {
        return call("Runtime.evaluate",
                    {{"expression", expression}, {"awaitPromise", true}, {"returnByValue", true}})["result"]
            .toObject()["value"];
    }

    bool screenshot(const QString& path) {
        QFile file(path);
        const QByteArray png = QByteArray::fromBase64(call("Page.captureScreenshot")["data"].toString().toLatin1());
        return !png.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size();
    }

private:
    QTemporaryDir profile_;
    QProcess chromium_;
    QWebSocket socket_;
    int lastId_ = 0;
    std::map<int, QJsonObject> answers_;
};

// Whether the page came to show `bars` bars and some recorded rows. A page
// marked stale is one being reloaded: its answer is waited out, and so is a
// page whose document went away before it answered.
bool shows(DevToolsPage& page, int bars) {
    const QString shown = QStringLiteral(
                              "new Promise((done) => { const look = () => !window.stale && "
                              "document.querySelectorAll('#bars .probe').length === %1 && "
                              "document.querySelector('#rows td') ? done(true) : setTimeout(look, 50); look(); })")
                              .arg(bars);
    for (int tries = 0; tries < 5; ++tries)
        if (page.evaluate(shown).toBool()) return true;
    return false;
}

// What a viewer sees of the page's layout, in CSS pixels.
constexpr const char* kLayout = R"js((() => {
  const bottom = (element) => element.getBoundingClientRect().bottom;
  const bars = [...document.querySelectorAll('#bars .probe')];
  const texts = [...document.querySelectorAll('#bars .upper, #bars .lower, #bars .limits, #bars .value')];
  const rows = document.getElementById('rows');
  return {
    pageWidth: document.documentElement.scrollWidth, pageHeight: document.documentElement.scrollHeight,
    viewWidth: innerWidth, viewHeight: innerHeight,
    barsBottom: Math.max(...bars.map(bottom)), verdictBottom: bottom(document.getElementById('verdict')),
    rowsWidth: rows.offsetWidth, rowsBox: rows.parentElement.clientWidth,
    textsCut: texts.filter((e) => e.scrollWidth > e.clientWidth + 1).length,
    textsWrapped: texts.filter((e) => e.offsetHeight > 1.8 * parseFloat(getComputedStyle(e).fontSize)).length,
  };
})())js";

// A phone and a wall screen on a station of 60 probes: the phone's page
// never widens sideways; the wall screen shows every bar and the verdict
// without scrolling; the rows table stays within its box and no limit or
// value is cut or wrapped on either.
// Starts the unattended station on the simulator's `comPort` with its page on
// a free port and waits until it is connected and serving: the page's
// address, or none with the log in `log`.
QString startWithPage(HeadlessProgram& program, const fs::path& ports, const char* comPort, const QStringList& extra,
                      QString& log) {
    const quint16 port = freePort();
    program.start(QStringList{"--headless", "--port", QString::fromStdString((ports / comPort).string()), "--http",
                              QStringLiteral("127.0.0.1:%1").arg(port)} +
                  extra);
    const bool up = runEventsUntil(
        [&] {
            log += program.log();
            return log.contains("The web page is at") && log.contains("connected:");
        },
        20'000);
    return up ? QStringLiteral("http://127.0.0.1:%1/").arg(port) : QString();
}

TEST(WebPageInABrowser, FitsAPhoneAndShowsEveryProbeOnAWallScreen) {
    if (!fs::exists(kChromium)) GTEST_SKIP() << "no Chromium at " << kChromium;
    QTemporaryDir home;
    const fs::path ports = fs::path(home.path().toStdString()) / "ports";
    GaugesimProcess gaugesim(ports, {"--port", "COM4", "--probes", "60", "--baud", "115200", "--signal",
                                     "1-59=sine:4500:1200:3000", "--signal", "60=constant:6100"});
    ASSERT_TRUE(gaugesim.waitForLink("COM4"));
    HeadlessProgram program(home.path());
    QString log;
    const QString url = startWithPage(program, ports, "COM4", {"--station", "wall", "--record-every", "0.2"}, log);
    ASSERT_FALSE(url.isEmpty()) << log.toStdString();
    runEventsFor(1'500);  // rows recorded

    struct Screen {
        const char* name;
        int width, height;
        bool mobile, wall;
    };
    for (const Screen screen : {Screen{"phone", 390, 844, true, false}, Screen{"wall", 1920, 1080, false, true}}) {
        SCOPED_TRACE(screen.name);
        DevToolsPage page;
        ASSERT_TRUE(page.open(url, screen.width, screen.height, screen.mobile));
        ASSERT_TRUE(shows(page, 60));
        const QJsonObject layout = page.evaluate(QString::fromLatin1(kLayout)).toObject();
        const std::string shown = QJsonDocument(layout).toJson().toStdString();
        EXPECT_LE(layout["pageWidth"].toInt(), layout["viewWidth"].toInt()) << shown;
        EXPECT_LE(layout["rowsWidth"].toInt(), layout["rowsBox"].toInt()) << shown;
        EXPECT_EQ(layout["textsCut"].toInt(), 0) << shown;
        EXPECT_EQ(layout["textsWrapped"].toInt(), 0) << shown;
        if (screen.wall) {
            EXPECT_LE(layout["barsBottom"].toDouble(), layout["viewHeight"].toDouble()) << shown;
            EXPECT_LE(layout["verdictBottom"].toDouble(), layout["viewHeight"].toDouble()) << shown;
        }
        EXPECT_TRUE(page.screenshot(QStringLiteral(GAUGEMON_SCREENSHOT_DIR "/web_page_60_%1.png").arg(screen.name)));
    }
    EXPECT_EQ(program.stop(), 0);
}

// The language chosen is the whole page's after a reload, the live state
// follows a switch, and a figure rounded to zero has no sign.
TEST(WebPageInABrowser, KeepsItsLanguageWhole) {
    if (!fs::exists(kChromium)) GTEST_SKIP() << "no Chromium at " << kChromium;
    QTemporaryDir home;
    const fs::path ports = fs::path(home.path().toStdString()) / "ports";
    GaugesimProcess gaugesim(ports, {"--port", "COM5", "--probes", "8", "--baud", "115200"});
    ASSERT_TRUE(gaugesim.waitForLink("COM5"));
    HeadlessProgram program(home.path());
    QString log;
    const QString url =
        startWithPage(program, ports, "COM5", {"--station", "lang", "--record-every", "0.2", "--language", "en"}, log);
    ASSERT_FALSE(url.isEmpty()) << log.toStdString();
    runEventsFor(1'000);
    DevToolsPage page;
    ASSERT_TRUE(page.open(url, 1280, 800, false));
    ASSERT_TRUE(shows(page, 8));
    page.evaluate("window.stale = true; localStorage.setItem('language', 'zh'); location.reload(); true");
    ASSERT_TRUE(shows(page, 8));
    const QString texts = QStringLiteral(
        "new Promise((done) => { const look = () => document.getElementById('live').textContent !== '–' "
        "? done([...document.querySelectorAll('h2, #link b, #link-state, #live')].map((e) => e.textContent).join('|'))"
        " : setTimeout(look, 50); look(); })");
    EXPECT_EQ(page.evaluate(texts).toString().toStdString(), "连接|已连接|端口|周期|丢失|错误|实时|在线|最近记录|统计");
    page.evaluate("document.getElementById('language').click(); true");
    EXPECT_EQ(page.evaluate(texts).toString().toStdString(),
              "Link|connected|Port|Cycle|Misses|Errors|Live|on|Last rows|Statistics");
    EXPECT_EQ(
        page.evaluate("[figure(-0.0001, 2), figure(-0.004, 2), figure(-0.006, 2), figure(0, 3)].join(' ')").toString(),
        "0.00 0.00 -0.01 0.000");
    EXPECT_EQ(program.stop(), 0);
}

TEST(WebPageInABrowser, ShowsTheStationsValuesAndVerdict) {
    if (!fs::exists(kChromium)) GTEST_SKIP() << "no Chromium at " << kChromium;
    QTemporaryDir home;
    const fs::path ports = fs::path(home.path().toStdString()) / "ports";
    GaugesimProcess gaugesim(
        ports, {"--port", "COM2", "--probes", "6", "--baud", "115200", "--signal", "1-4=constant:4500", "--signal",
                "5=constant:7000", "--signal", "6=constant:5950"});
    ASSERT_TRUE(gaugesim.waitForLink("COM2"));
    {
        // Two characteristics, shown after the probes: one OK, one NG.
        QSettings settings(home.path() + "/.config/VELMORA/gaugemon.conf", QSettings::IniFormat);
        settings.setValue("Characteristics/Definitions",
                          "Dia; 3; 8.990; 9.010; p1 + p2\nRunout; 3; 0; 0.010; range(p1..p6)\n");
    }
    HeadlessProgram program(home.path());
    QString log;
    const QString url = startWithPage(program, ports, "COM2", {"--station", "e2e", "--record-every", "0.5"}, log);
    ASSERT_FALSE(url.isEmpty()) << log.toStdString();
    runEventsFor(1'200);  // a few rows recorded

    const QString dom = runChromium({"--dump-dom"}, url);
    const auto port = static_cast<quint16>(QUrl(url).port());
    const QJsonObject readings = QJsonDocument::fromJson(httpGet(port, "/api/readings")).object();

    // Each bar as the browser built it: its probe, zone and value text.
    const QRegularExpression bar(
        R"re(data-probe="(\d+)" data-zone="([^"]+)"[^>]*>.*?<div class="value">([^<]*)</div>)re",
        QRegularExpression::DotMatchesEverythingOption);
    std::map<int, std::pair<QString, QString>> shown;
    for (auto match = bar.globalMatch(dom); match.hasNext();) {
        const auto found = match.next();
        shown[found.captured(1).toInt()] = {found.captured(2), found.captured(3)};
    }
    const QJsonArray probes = readings["probes"].toArray();
    ASSERT_EQ(probes.size(), 6) << QJsonDocument(readings).toJson().toStdString();
    ASSERT_EQ(shown.size(), 6u) << dom.toStdString();
    const char* expected[] = {"4.500", "4.500", "4.500", "4.500", "7.000", "5.950"};
    for (int k = 0; k < 6; ++k) {
        const QJsonObject probe = probes[k].toObject();
        EXPECT_EQ(shown[k + 1].second, probe["text"].toString()) << "probe " << k + 1;
        EXPECT_EQ(shown[k + 1].second, expected[k]) << "probe " << k + 1;
        EXPECT_EQ(shown[k + 1].first, probe["zone"].toString()) << "probe " << k + 1;
    }
    // The characteristics after the probes, named, with the station's texts and zones.
    const QJsonArray characteristics = readings["characteristics"].toArray();
    ASSERT_EQ(characteristics.size(), 2) << QJsonDocument(readings).toJson().toStdString();
    EXPECT_EQ(characteristics[0].toObject()["text"].toString(), "9.000");
    EXPECT_EQ(characteristics[1].toObject()["zone"].toString(), "NG");
    for (const char* shownBar :
         {R"(data-characteristic="1"><div class="name">Dia</div>)",
          R"(data-zone="NG" data-verdict="NG" data-characteristic="2"><div class="name">Runout</div>)"})
        EXPECT_TRUE(dom.contains(QString::fromUtf8(shownBar))) << shownBar << "\n" << dom.toStdString();
    EXPECT_TRUE(dom.contains(R"(<div class="value">9.000</div>)")) << dom.toStdString();
    const QRegularExpressionMatch verdict = QRegularExpression(R"re(id="verdict"[^>]*>([^<]*)<)re").match(dom);
    ASSERT_TRUE(verdict.hasMatch()) << dom.toStdString();
    EXPECT_EQ(verdict.captured(1), readings["verdict"].toString());
    EXPECT_EQ(verdict.captured(1), "NG");
    // The rows recorded so far are listed with their result.
    EXPECT_TRUE(dom.contains(R"(<td class="NG">NG</td>)")) << dom.toStdString();

    const QString screenshot = QStringLiteral(GAUGEMON_SCREENSHOT);
    QFile::remove(screenshot);
    runChromium({"--screenshot=" + screenshot}, url);
    EXPECT_GT(QFileInfo(screenshot).size(), 10'000) << screenshot.toStdString();
    EXPECT_EQ(program.stop(), 0);
}

}  // namespace
