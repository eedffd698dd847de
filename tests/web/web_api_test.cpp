// The web API over a station in virtual time against the in-process
// instrument: what it answers equals what the station holds.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <chrono>
#include <filesystem>
#include <thread>

#include "measure/setup_text.h"
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

QJsonObject jsonOf(const QByteArray& body) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << body.toStdString();
    return document.object();
}

class WebApi : public ::testing::Test {
protected:
    WebApi() {
        directory_ = std::filesystem::temp_directory_path() / ("gaugemon-web-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory_);
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
        station = std::make_unique<station::Station>(
            station::StationSeams{settings, timers, clock, line, prompts, directory_.string() + "/", {}});
        web::WebOptions options;
        options.station = "line-7";
        view = std::make_unique<web::WebView>(*station, options);
    }
    ~WebApi() override {
        view.reset();
        station.reset();
        std::error_code ignored;
        std::filesystem::remove_all(directory_, ignored);
    }
    void connect() {
        station->connect();
        ASSERT_TRUE(clock.runUntil([&] { return station->linkState().connected; }, 60'000));
        clock.advanceBy(500);
    }
    void recordRows(unsigned count) {
        for (unsigned k = 0; k < count; ++k) {
            station->recordOne();
            clock.advanceBy(20);
        }
    }
    QJsonObject get(const char* path, const char* query = "") {
        const web::WebView::Answer answer = view->answer(QString::fromLatin1(path), QString::fromLatin1(query));
        EXPECT_EQ(answer.status, 200) << path;
        return jsonOf(answer.body);
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
};

TEST_F(WebApi, ReadingsStatusAndLimitsAreTheStationsOwn) {
    EXPECT_TRUE(get("/api/readings")["verdict"].isNull());  // nothing shown before a connection
    connect();
    // The readings are made again at most at the push rate, not per answer.
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 / web::kDefaultPushesPerSecond + 5));
    const QJsonObject readings = get("/api/readings");
    EXPECT_EQ(readings["verdict"].toString(), station->verdict().anyNg() ? "NG" : "OK");
    EXPECT_EQ(readings["verdict"].toString(), "NG");
    const QJsonArray probes = readings["probes"].toArray();
    ASSERT_EQ(probes.size(), 8);
    for (int k = 0; k < 8; ++k) {
        const QJsonObject probe = probes[k].toObject();
        const std::string_view text = station->display().valueTexts()[static_cast<size_t>(k)].text();
        EXPECT_EQ(probe["text"].toString(),
                  QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())).trimmed());
        const double mm = k == 7 ? 6.012 : 3.990 + 0.007 * k;
        EXPECT_NEAR(probe["value"].toDouble(), mm, 1e-9) << k;
        EXPECT_EQ(probe["lower"].toDouble(), 3.0);
        EXPECT_EQ(probe["upper"].toDouble(), 6.0);
        EXPECT_EQ(probe["nominal"].toDouble(), 4.5);
        EXPECT_EQ(probe["zone"].toString(), k == 7 ? "NG" : "OK") << k;
    }

    // A characteristic stands after the probes with its own band and zone.
    measure::SetupParse parsed = measure::parseSetupText("Sum; 3; 7.000; 7.900; p1 + p2\n", measure::kMaxProbes);
    ASSERT_FALSE(station->setCharacteristics(std::move(parsed.setup)));
    clock.advanceBy(500);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000 / web::kDefaultPushesPerSecond + 5));
    const QJsonArray characteristics = get("/api/readings")["characteristics"].toArray();
    ASSERT_EQ(characteristics.size(), 1);
    const QJsonObject sum = characteristics[0].toObject();
    EXPECT_EQ(sum["name"].toString(), "Sum");
    EXPECT_NEAR(sum["value"].toDouble(), 3.990 + 3.997, 1e-9);
    EXPECT_EQ(sum["text"].toString(), "7.987");
    EXPECT_EQ(sum["nominal"].toDouble(), 7.45);
    EXPECT_EQ(sum["zone"].toString(), "NG");
    // Recorded, it stands after the probes in the rows and the statistics.
    recordRows(1);
    const QJsonObject row = get("/api/rows")["rows"].toArray().last().toObject();
    EXPECT_EQ(row["characteristics"].toArray()[0].toObject()["text"].toString(), "7.987");
    const QJsonObject figures = get("/api/statistics")["characteristics"].toArray()[0].toObject();
    EXPECT_EQ(figures["name"].toString(), "Sum");
    EXPECT_EQ(figures["ng"].toInt(), 1);

    const QJsonObject status = get("/api/status");
    EXPECT_EQ(status["station"].toString(), "line-7");
    EXPECT_EQ(status["link"].toString(), "connected");
    EXPECT_EQ(status["port"].toString(), "COM03");
    EXPECT_FALSE(status["line"].toString().isEmpty());
    EXPECT_EQ(status["probes"].toInt(), 8);
    // The cycle runs longer than the answer wait: the gap after the answer.
    EXPECT_GT(status["cycle_ms"].toInt(), station->linkState().pollPeriodMs);

    const QJsonArray limits = get("/api/tolerances")["probes"].toArray();
    ASSERT_EQ(limits.size(), 8);
    EXPECT_EQ(limits[7].toObject()["upper"].toDouble(), 6.0);
}

// Rows come in pages after a sequence number, and the numbers run on when
// the table is emptied; statistics and metrics count the same rows.
TEST_F(WebApi, RowsArePagedBySequenceAndCountedAlikeEverywhere) {
    connect();
    recordRows(3);
    QJsonObject page = get("/api/rows", "since=0&limit=2");
    QJsonArray rows = page["rows"].toArray();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toObject()["sequence"].toInt(), 1);
    EXPECT_EQ(rows[1].toObject()["row"].toInt(), 2);
    EXPECT_EQ(rows[0].toObject()["verdict"].toString(), "NG");
    EXPECT_EQ(rows[0].toObject()["values"].toArray()[7].toString(), "6.012");
    EXPECT_TRUE(page["more"].toBool());
    page = get("/api/rows", QStringLiteral("since=%1").arg(page["next"].toInt()).toLatin1().constData());
    ASSERT_EQ(page["rows"].toArray().size(), 1);
    EXPECT_EQ(page["rows"].toArray()[0].toObject()["sequence"].toInt(), 3);
    EXPECT_FALSE(page["more"].toBool());
    // A number no answer can use is refused, never read as another.
    for (const char* query : {"since=-5", "limit=x", "since=99999999999999999999999", "limit=0", "since=", "limit=+5",
                              "since=%201", "limit=18446744073709551616"})
        EXPECT_EQ(view->answer("/api/rows", QString::fromLatin1(query)).status, 400) << query;
    EXPECT_EQ(get("/api/rows", "since=18446744073709551615&limit=9999")["rows"].toArray().size(), 0);

    recordRows(1);  // cleared before any push: still counted, and numbered
    station->clearRecords();
    recordRows(1);
    rows = get("/api/rows", "since=4")["rows"].toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject()["sequence"].toInt(), 5);
    EXPECT_EQ(rows[0].toObject()["row"].toInt(), 1);

    const QJsonArray figures = get("/api/statistics")["probes"].toArray();
    ASSERT_EQ(figures.size(), 8);
    EXPECT_EQ(figures[7].toObject()["count"].toInt(), 1);
    EXPECT_EQ(figures[7].toObject()["ng"].toInt(), 1);
    EXPECT_NEAR(figures[0].toObject()["mean"].toDouble(), 3.990, 1e-9);

    const web::WebView::Answer metrics = view->answer("/metrics", "");
    EXPECT_TRUE(QByteArray(metrics.contentType).startsWith("text/plain; version=0.0.4"));
    const QString text = QString::fromUtf8(metrics.body);
    for (const char* line :
         {"gaugemon_up 1\n", "gaugemon_connected 1\n", "gaugemon_rows_recorded_total 5\n", "gaugemon_ng_rows_total 5\n",
          "gaugemon_rows_held 1\n", "gaugemon_journal_on 0\n", "# TYPE gaugemon_polls_total counter\n"})
        EXPECT_TRUE(text.contains(QLatin1String(line))) << line << text.toStdString();
    EXPECT_GE(view->counts().polls, 4u);
    EXPECT_TRUE(text.contains(QStringLiteral("gaugemon_polls_total %1\n").arg(view->counts().polls)));
}

// A client that kept the last number asks for the rows after it, also after
// a restart: the numbers are the journal's and go on across runs.
TEST_F(WebApi, SequenceNumbersGoOnAcrossRuns) {
    const std::string journal = (directory_ / "journal").string();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        view.reset();
        station.reset();
        station = std::make_unique<station::Station>(
            station::StationSeams{settings, timers, clock, line, prompts, directory_.string() + "/", journal});
        station->startJournal();
        web::WebOptions options;
        options.station = "line-7";
        view = std::make_unique<web::WebView>(*station, options);
        connect();
        recordRows(3);
        const QJsonArray rows =
            get("/api/rows", QStringLiteral("since=%1").arg(3 * run).toLatin1().constData())["rows"].toArray();
        ASSERT_EQ(rows.size(), 3);
        EXPECT_EQ(rows[0].toObject()["sequence"].toInt(), 3 * run + 1);
        EXPECT_EQ(rows[0].toObject()["row"].toInt(), 1);
        station->clearRecords();
        station->stop(station::Station::LastBackup::Skip);
    }
}

// The last values of a lost instrument are no measurement: the readings say
// it is not connected and show none, while the port stays open and polled.
TEST_F(WebApi, ReadingsOfALostInstrumentAreNotConnectedAndShowNoValues) {
    connect();
    ports.instrumentAt(WorkingDay::kPort)->scheduleFault(sim::FaultKind::Silent, clock.nowMs(), -1);
    clock.advanceBy(link::kWatchdogMs + 1000);
    ASSERT_TRUE(station->linkState().connected);
    const QJsonObject readings = get("/api/readings");
    EXPECT_FALSE(readings["connected"].toBool());
    EXPECT_TRUE(readings["verdict"].isNull());
    EXPECT_TRUE(readings["probes"].toArray().isEmpty());
}

// The status gives the cycle the station runs, from one request to the next
// as the instrument sees them come, in the normal cycle and in fast polling;
// none while not connected.
TEST_F(WebApi, StatusGivesThePollCycleAsItRuns) {
    const sim::Instrument& gauge = *ports.instrumentAt(WorkingDay::kPort);
    for (const bool fast : {false, true}) {
        SCOPED_TRACE(fast ? "fast polling" : "normal cycle");
        station->setFastMode(fast);
        connect();
        clock.advanceBy(3000);
        const auto& log = gauge.log();
        ASSERT_GT(log.size(), 21u);
        const double measured = static_cast<double>(log.back().timeMs - log[log.size() - 21].timeMs) / 20.0;
        EXPECT_NEAR(get("/api/status")["cycle_ms"].toInt(), measured, 1.0);
        station->disconnect();
    }
    EXPECT_EQ(get("/api/status")["cycle_ms"].toInt(), 0);
}

// A row's time is local time with milliseconds and offset, as MQTT gives it.
TEST_F(WebApi, RowTimesAreInTheFormMqttGivesThem) {
    connect();
    recordRows(1);
    const QString time = get("/api/rows")["rows"].toArray()[0].toObject()["time"].toString();
    EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)").match(time).hasMatch())
        << time.toStdString();
    const core::LocalDateTime recorded = station->recordTable().row(0).time();
    EXPECT_EQ(QDateTime::fromString(time, Qt::ISODateWithMs),
              QDateTime(QDate(recorded.year, recorded.month, recorded.day),
                        QTime(recorded.hour, recorded.minute, recorded.second)))
        << time.toStdString();
}

// Only the page's own files are served; no path reaches anything else.
TEST_F(WebApi, OnlyThePagesOwnFilesAreServed) {
    for (const char* path : {"/", "/index.html", "/app.js", "/style.css"}) {
        const web::WebView::Answer answer = view->answer(QString::fromLatin1(path), "");
        EXPECT_EQ(answer.status, 200) << path;
        EXPECT_FALSE(answer.body.isEmpty()) << path;
    }
    for (const char* path : {"/../etc/passwd", "/..%2f..%2fetc/passwd", "/app.js/..", ":/web/app.js", "/web/app.js",
                             "//app.js", "/api", "/api/readings/", "/index.htm", "/metrics/x", "/etc/passwd", ""}) {
        const web::WebView::Answer answer = view->answer(QString::fromLatin1(path), "");
        EXPECT_EQ(answer.status, 404) << path;
        EXPECT_FALSE(answer.body.contains("root:")) << path;
    }
}

}  // namespace
