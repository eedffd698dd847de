// The unattended program publishing to a real broker: every recorded row
// reaches a subscriber in order with the values of the export, also when the
// broker goes away for a while and comes back.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "headless_program.h"
#include "plant/mqtt_broker.h"
#include "plant/mqtt_subscriber.h"
#include "sim/simulated_ports.h"
#include "station/station.h"
#include "station/working_day.h"
#include "support/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/virtual_time.h"

using namespace gaugemon::testing;
namespace fs = std::filesystem;

namespace {

// The exported rows by their number: the value of each probe, in mm.
std::map<int, std::vector<double>> exportedRows(const std::string& text) {
    std::map<int, std::vector<double>> rows;
    std::istringstream lines(text);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, '\t');
        const int number = std::atoi(field.c_str());
        std::vector<double>& values = rows[number];
        while (std::getline(fields, field, '\t')) {
            const QString text = QString::fromStdString(field).trimmed();
            bool isNumber = false;
            const double value = text.toDouble(&isNumber);
            if (isNumber) values.push_back(value);
        }
    }
    return rows;
}

TEST(HeadlessPublishing, EveryRowReachesTheSubscriberInOrderAcrossABrokerRestart) {
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    fs::create_directories(root / "broker");
    MqttBroker broker(root / "broker");
    ASSERT_TRUE(broker.start());
    const std::string url = broker.url();
    MqttSubscriber subscriber(url, "gaugemon/line9/records", "plant-historian");
    ASSERT_TRUE(subscriber.connect());

    GaugesimProcess gaugesim(root / "ports",
                             {"--port", "COM4", "--probes", "8", "--baud", "115200", "--signal", "ramp"});
    ASSERT_TRUE(gaugesim.waitForLink("COM4"));
    HeadlessProgram station(home.path());
    station.process().setProcessChannelMode(QProcess::ForwardedErrorChannel);
    station.start({"--headless", "--port", QString::fromStdString((root / "ports" / "COM4").string()), "--record-every",
                   "0.2", "--export-dir", QString::fromStdString((root / "exports").string()), "--station", "line9",
                   "--mqtt", QString::fromStdString(url)});
    ASSERT_TRUE(runEventsUntil([&] { return subscriber.count() >= 5; }, 30'000));

    broker.stop();
    runEventsFor(2'000);  // about ten rows while no broker runs
    ASSERT_TRUE(broker.start());
    const size_t before = subscriber.count();
    ASSERT_TRUE(runEventsUntil([&] { return subscriber.count() >= before + 15; }, 60'000));

    EXPECT_EQ(station.stop(), 0);

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(root / "exports")) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    const auto exported = exportedRows(readFile(files[0]));
    ASSERT_GE(exported.size(), 25u);

    // The rows recorded last went out at the stop; they arrive shortly after.
    ASSERT_TRUE(runEventsUntil(
        [&] {
            std::set<int> rows;
            for (const ReceivedMessage& message : subscriber.messages())
                rows.insert(QJsonDocument::fromJson(QByteArray::fromStdString(message.payload))["row"].toInt());
            return rows.size() >= exported.size();
        },
        20'000));
    int64_t lastSequence = 0;
    std::set<int64_t> sequences;
    std::set<int> rowsSeen;
    const QRegularExpression isoTime(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
    for (const ReceivedMessage& message : subscriber.messages()) {
        const QJsonObject row = QJsonDocument::fromJson(QByteArray::fromStdString(message.payload)).object();
        ASSERT_EQ(row["station"].toString(), "line9");
        const int64_t sequence = row["sequence"].toInteger();
        if (!sequences.insert(sequence).second) continue;  // a QoS 1 repeat
        EXPECT_GT(sequence, lastSequence) << "rows out of order";
        lastSequence = sequence;
        EXPECT_TRUE(isoTime.match(row["time"].toString()).hasMatch()) << row["time"].toString().toStdString();
        const int number = row["row"].toInt();
        rowsSeen.insert(number);
        const auto file = exported.find(number);
        ASSERT_NE(file, exported.end()) << "row " << number << " is in no file";
        const QJsonArray probes = row["probes"].toArray();
        ASSERT_EQ(static_cast<size_t>(probes.size()), file->second.size());
        for (qsizetype k = 0; k < probes.size(); ++k)
            EXPECT_NEAR(probes[k]["value"].toDouble(), file->second[static_cast<size_t>(k)], 1e-9)
                << "row " << number << " probe " << k + 1;
    }
    EXPECT_EQ(rowsSeen.size(), exported.size());
}

// The window sets its broker while the station runs: rows go out at once,
// and an empty address ends publishing with "offline".
TEST(StationPublishing, ABrokerSetWhileRunningTakesTheRowsAndAnEmptyOneEndsIt) {
    using namespace gaugemon;
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    fs::create_directories(root / "broker");
    MqttBroker broker(root / "broker");
    ASSERT_TRUE(broker.start());
    const std::string url = broker.url();
    MqttSubscriber subscriber(url, "gaugemon/desk/#", "desk-watcher");
    ASSERT_TRUE(subscriber.connect());

    core::VirtualTime clock;
    core::VirtualTimerSchedule timers{clock};
    core::MemorySettingsStore settings;
    settings.writeInt("HW", 2);
    settings.writeInt("ComID", WorkingDay::kComId);
    RecordingPrompts prompts;
    sim::SimulatedPorts ports{clock};
    ports.place(WorkingDay::kPort, WorkingDay::instrument());
    sim::SimulatedLine line{ports};
    station::StationObserver observer;
    station::Station station(
        {settings, timers, clock, line, prompts, (root / "backup").string() + "/", (root / "journal").string()},
        observer);
    station.startJournal();
    station.connect();
    ASSERT_TRUE(clock.runUntil([&] { return station.linkState().connected; }, 60'000));

    plant::MqttOptions options;
    options.brokerUrl = url;
    options.station = "desk";
    station.publishTo(options);
    for (int k = 0; k < 3; ++k) {
        clock.advanceBy(500);
        station.recordOne();
        clock.advanceBy(20);
    }
    const auto records = [&] {
        size_t count = 0;
        for (const ReceivedMessage& message : subscriber.messages()) count += message.topic.ends_with("/records");
        return count;
    };
    EXPECT_TRUE(runEventsUntil([&] { return records() == 3; }, 30'000));

    station.publishTo(plant::MqttOptions{});
    EXPECT_TRUE(runEventsUntil(
        [&] {
            const auto messages = subscriber.messages();
            return !messages.empty() && messages.back().topic == "gaugemon/desk/status" &&
                   messages.back().payload == "offline";
        },
        10'000));
    station.recordOne();
    clock.advanceBy(20);
    runEventsFor(500);
    EXPECT_EQ(records(), 3u);
}

// Exit, the close box, a stop signal and the end of an unattended run all end
// in Station::stop: whichever it is, the journal holds every row, the broker
// has "offline" for the station, the port is closed and nothing is asked.
// Only a stop signal writes the last backup (its box ticked).
TEST(StationStop, EveryWayToStopLeavesTheJournalTheBrokerAndThePortAlike) {
    using namespace gaugemon;
    QTemporaryDir home;
    const fs::path root = home.path().toStdString();
    fs::create_directories(root / "broker");
    MqttBroker broker(root / "broker");
    ASSERT_TRUE(broker.start());
    for (const auto lastBackup : {station::Station::LastBackup::Skip, station::Station::LastBackup::Write}) {
        const bool bySignal = lastBackup == station::Station::LastBackup::Write;
        const std::string name = bySignal ? "signal" : "window";
        SCOPED_TRACE(name);
        MqttSubscriber subscriber(broker.url(), "gaugemon/" + name + "/status", name + "-watcher");
        ASSERT_TRUE(subscriber.connect());
        core::VirtualTime clock;
        core::VirtualTimerSchedule timers{clock};
        core::MemorySettingsStore settings;
        settings.writeInt("HW", 2);
        settings.writeInt("ComID", WorkingDay::kComId);
        RecordingPrompts prompts;
        sim::SimulatedPorts ports{clock};
        ports.place(WorkingDay::kPort, WorkingDay::instrument());
        sim::SimulatedLine line{ports};
        const fs::path backups = root / name / "backup";
        fs::create_directories(backups);
        station::Station station(
            {settings, timers, clock, line, prompts, backups.string() + "/", (root / name / "journal").string()});
        station.startJournal();
        plant::MqttOptions options;
        options.brokerUrl = broker.url();
        options.station = name;
        station.publishTo(options);
        station.connect();
        ASSERT_TRUE(clock.runUntil([&] { return station.linkState().connected; }, 60'000));
        station.setBackup(true);
        for (int k = 0; k < 3; ++k) {
            clock.advanceBy(500);
            station.recordOne();
            clock.advanceBy(20);
        }
        ASSERT_EQ(station.recordTable().rowCount(), 3u);
        const auto lastStatus = [&] {
            const auto messages = subscriber.messages();
            return messages.empty() ? std::string() : messages.back().payload;
        };
        ASSERT_TRUE(runEventsUntil([&] { return lastStatus() == "online"; }, 10'000));

        station.stop(lastBackup);
        EXPECT_TRUE(prompts.questions.empty());
        EXPECT_FALSE(line.isOpen());
        EXPECT_EQ(station.journal().writtenRows(), 3u);
        // Told before stop returns, not by the broker's last will later.
        EXPECT_TRUE(runEventsUntil([&] { return lastStatus() == "offline"; }, 2'000));
        size_t backupFiles = 0;
        for (const auto& entry : fs::directory_iterator(backups))
            backupFiles += entry.path().filename().string().starts_with("bak");
        EXPECT_EQ(backupFiles, bySignal ? 1u : 0u);
        station.stop(lastBackup);  // a second stop does nothing
    }
}

}  // namespace
