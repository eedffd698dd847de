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
        const std::string request =
            std::string("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
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
    const quint16 port = freePort();
    HeadlessProgram program(home.path());
    program.start({"--headless", "--port", QString::fromStdString((ports / "COM2").string()), "--station", "e2e",
                   "--record-every", "0.5", "--http", QStringLiteral("127.0.0.1:%1").arg(port)});
    QString log;
    ASSERT_TRUE(runEventsUntil(
        [&] {
            log += program.log();
            return log.contains("The web page is at") && log.contains("connected:");
        },
        20'000))
        << log.toStdString();
    runEventsFor(1'200);  // a few rows recorded

    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(port);
    const QString dom = runChromium({"--dump-dom"}, url);
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
