#include "plant/publisher.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <map>
#include <mutex>
#include <set>

#include "journal/journal.h"
#include "journal/journal_table_observer.h"
#include "journal/outbox_store.h"
#include "mqtt_broker.h"
#include "mqtt_subscriber.h"
#include "plant_rows.h"
#include "records/records_test_support.h"

namespace gaugemon::plant {
namespace {

using records::test::TempDir;
using testing::MqttBroker;
using testing::MqttSubscriber;
using testing::waitFor;

constexpr const char* kStation = "line-3";
constexpr unsigned kProbes = 4;

// Every line the publisher logs, kept for the test to read.
class PlantLog {
public:
    PlantLog() {
        lines().clear();
        previous_ = qInstallMessageHandler(&PlantLog::keep);
    }
    ~PlantLog() {
        qInstallMessageHandler(previous_);
        if (::testing::Test::HasFailure())
            for (const auto& line : taken()) std::fprintf(stderr, "log: %s\n", line.c_str());
    }

    static std::vector<std::string> taken() {
        std::lock_guard lock(mutex());
        return lines();
    }
    static size_t countContaining(const std::string& text) {
        const auto all = taken();
        return static_cast<size_t>(std::count_if(
            all.begin(), all.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; }));
    }

private:
    static void keep(QtMsgType, const QMessageLogContext& context, const QString& message) {
        std::lock_guard lock(mutex());
        lines().push_back(std::string(context.category ? context.category : "") + ": " + message.toStdString());
    }
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::vector<std::string>& lines() {
        static std::vector<std::string> l;
        return l;
    }
    QtMessageHandler previous_ = nullptr;
};

// The station's side: a record table watched by the journal, and the
// publisher reading the journal.
class PlantStation {
public:
    explicit PlantStation(const TempDir& dir) {
        EXPECT_EQ(journal.open((dir / "journal").string()), journal::Problem::None);
        table.prepareColumns({kProbes, true, core::Language::English});
        table.setObserver(&observer);
    }
    ~PlantStation() { stopPublishing(); }

    void startPublishing(MqttOptions options) {
        options.station = kStation;
        EXPECT_EQ(checkMqttOptions(options, core::Language::English), "");
        publisher = std::make_unique<Publisher>(options, journal.filePath());
        journal.setWrittenListener(publisher->writtenListener());
        publisher->start();
    }
    void startPublishing(const std::string& url) {
        MqttOptions options;
        options.brokerUrl = url;
        startPublishing(options);
    }
    void stopPublishing() {
        if (publisher) publisher->stop();
    }

    void record(uint32_t first, uint32_t count) {
        for (uint32_t k = first; k < first + count; ++k) test::appendMeasuredRow(table, k, limits.table);
    }
    int64_t unpublished() {
        journal.waitWritten();
        journal::OutboxStore outbox;
        int64_t count = -1;
        if (outbox.open(journal.filePath()) == 0) outbox.countUnpublished(count);
        return count;
    }

    test::DefaultLimits limits;
    journal::Journal journal;
    records::RecordTable table;
    journal::JournalTableObserver observer{journal, table};
    std::unique_ptr<Publisher> publisher;
};

QJsonObject jsonOf(const std::string& payload) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(payload)).object();
}

std::vector<QJsonObject> recordsOf(const MqttSubscriber& subscriber) {
    std::vector<QJsonObject> records;
    for (const auto& message : subscriber.messages())
        if (message.topic == std::string("gaugemon/") + kStation + "/records")
            records.push_back(jsonOf(message.payload));
    return records;
}

// The sequences seen, each once, in the order of their first arrival.
std::vector<int64_t> firstArrivals(const std::vector<QJsonObject>& records) {
    std::vector<int64_t> order;
    std::set<int64_t> seen;
    for (const auto& record : records) {
        const auto sequence = static_cast<int64_t>(record["sequence"].toDouble());
        if (seen.insert(sequence).second) order.push_back(sequence);
    }
    return order;
}

std::vector<int64_t> oneTo(int64_t n) {
    std::vector<int64_t> all(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) all[static_cast<size_t>(k)] = k + 1;
    return all;
}

bool allArrived(const MqttSubscriber& subscriber, int64_t rows) {
    const auto order = firstArrivals(recordsOf(subscriber));
    return static_cast<int64_t>(order.size()) >= rows;
}

std::vector<std::string> statusesOf(const MqttSubscriber& subscriber) {
    std::vector<std::string> statuses;
    for (const auto& message : subscriber.messages())
        if (message.topic == std::string("gaugemon/") + kStation + "/status") statuses.push_back(message.payload);
    return statuses;
}

// A row as the station recorded it: row k of the sample, the k+1-th of the table.
void expectRowOfSample(const QJsonObject& record, uint32_t k) {
    EXPECT_EQ(record["station"].toString(), kStation);
    EXPECT_EQ(record["row"].toInt(), static_cast<int>(k + 1));
    EXPECT_EQ(record["code"].toString(), QString::fromStdString("W-" + std::to_string(k)));
    const QJsonArray probes = record["probes"].toArray();
    ASSERT_EQ(probes.size(), static_cast<int>(kProbes));
    bool anyNg = false;
    for (unsigned p = 1; p <= kProbes; ++p) {
        const measure::Length reading = test::sampleReading(k, p);
        const double mm = reading.fine() ? reading.counts / 10000.0 : reading.counts / 1000.0;
        const QJsonObject probe = probes[static_cast<int>(p - 1)].toObject();
        EXPECT_EQ(probe["probe"].toInt(), static_cast<int>(p));
        EXPECT_EQ(probe["value"].toDouble(), mm) << "row " << k << " probe " << p;
        const bool ng = mm < 3.0 || mm > 6.0;
        anyNg = anyNg || ng;
        EXPECT_EQ(probe["verdict"].toString(), ng ? "NG" : "OK") << "row " << k << " probe " << p;
    }
    EXPECT_EQ(record["verdict"].toString(), anyNg ? "NG" : "OK");
}

class PublisherAgainstBroker : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(broker.start()); }

    TempDir dir;
    MqttBroker broker{dir.path()};
    PlantLog log;
};

TEST_F(PublisherAgainstBroker, EveryRowArrivesInOrderWithItsValuesAndTheStatusFollowsTheConnection) {
    MqttSubscriber subscriber(broker.url(), "gaugemon/#", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    PlantStation station(dir);
    station.startPublishing(broker.url());
    station.record(0, 40);
    ASSERT_TRUE(waitFor([&] { return allArrived(subscriber, 40); }));
    const auto records = recordsOf(subscriber);
    EXPECT_EQ(firstArrivals(records), oneTo(40));
    for (uint32_t k = 0; k < 40; ++k) expectRowOfSample(records[k], k);
    EXPECT_TRUE(waitFor([&] { return station.unpublished() == 0; }));

    station.stopPublishing();
    ASSERT_TRUE(waitFor([&] { return statusesOf(subscriber).size() >= 2; }));
    EXPECT_EQ(statusesOf(subscriber), (std::vector<std::string>{"online", "offline"}));
    // The status stays with the broker for those who come later.
    MqttSubscriber later(broker.url(), "gaugemon/+/status", "dashboard");
    ASSERT_TRUE(later.connect());
    ASSERT_TRUE(waitFor([&] { return later.count() >= 1; }));
    EXPECT_TRUE(later.messages()[0].retained);
    EXPECT_EQ(later.messages()[0].payload, "offline");
}

TEST_F(PublisherAgainstBroker, RowsRecordedWhileTheBrokerWasDownArriveAfterItsRestartWithDuplicatesOnlyAsRepeats) {
    MqttSubscriber subscriber(broker.url(), "gaugemon/+/records", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    PlantStation station(dir);
    station.startPublishing(broker.url());
    station.record(0, 10);
    ASSERT_TRUE(waitFor([&] { return allArrived(subscriber, 10); }));
    station.record(10, 10);
    broker.stop();  // amid the second ten
    station.record(20, 10);
    ASSERT_TRUE(broker.start());
    station.record(30, 10);
    ASSERT_TRUE(waitFor([&] { return allArrived(subscriber, 40); }, std::chrono::seconds(60)));
    const auto records = recordsOf(subscriber);
    // Across its own restart the broker may hand the subscriber a row it had
    // taken before the stop after rows that came later: only the rows before
    // the stop have an order to keep here.
    auto arrivals = firstArrivals(records);
    ASSERT_EQ(arrivals.size(), 40u);
    EXPECT_EQ(std::vector<int64_t>(arrivals.begin(), arrivals.begin() + 10), oneTo(10));
    std::sort(arrivals.begin(), arrivals.end());
    EXPECT_EQ(arrivals, oneTo(40));
    std::map<int64_t, QJsonObject> bySequence;
    for (const auto& record : records) {
        const auto sequence = static_cast<int64_t>(record["sequence"].toDouble());
        const auto [at, first] = bySequence.emplace(sequence, record);
        if (!first) {
            EXPECT_EQ(at->second, record) << "a duplicate differs from its first arrival";
        }
    }
    for (uint32_t k = 0; k < 40; ++k) expectRowOfSample(bySequence[k + 1], k);
    EXPECT_EQ(PlantLog::countContaining("lost"), 1u);
}

TEST_F(PublisherAgainstBroker, RowsOfAnEarlierRunAndOfNoBrokerAtAllGoOutInOrderOnceItStarts) {
    MqttSubscriber subscriber(broker.url(), "gaugemon/+/records", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    broker.stop();  // the subscriber's session stays with the broker
    {
        PlantStation first(dir);
        first.startPublishing(broker.url());
        first.record(0, 5);
        EXPECT_EQ(first.unpublished(), 5);
    }  // stops while the broker is away
    PlantStation second(dir);
    second.journal.discardPending();  // the earlier rows count as saved; they are still to be published
    second.startPublishing(broker.url());
    second.record(0, 5);
    EXPECT_EQ(second.unpublished(), 10);
    ASSERT_TRUE(broker.start());
    ASSERT_TRUE(waitFor([&] { return allArrived(subscriber, 10); }, std::chrono::seconds(60)))
        << subscriber.count() << " arrived, " << second.unpublished() << " unpublished";
    EXPECT_EQ(firstArrivals(recordsOf(subscriber)), oneTo(10));
    EXPECT_TRUE(waitFor([&] { return second.unpublished() == 0; }));
}

// A row the journal cannot give back as a row must not hold up those after it.
TEST_F(PublisherAgainstBroker, ADamagedJournalRowIsToldOnceAndSkippedAndTheRowsAfterItGoOn) {
    MqttSubscriber subscriber(broker.url(), "gaugemon/+/records", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    PlantStation station(dir);
    station.record(0, 3);
    station.journal.waitWritten();
    const std::string path = station.journal.filePath();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO journal_row (run, generation, position, probe_count, code_column, "
                           "recorded_ms, bytes) VALUES (999, 0, 0, 99, 0, 0, x'00')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    station.record(3, 3);
    station.startPublishing(broker.url());
    ASSERT_TRUE(waitFor([&] { return allArrived(subscriber, 6); }));
    EXPECT_EQ(firstArrivals(recordsOf(subscriber)), (std::vector<int64_t>{1, 2, 3, 5, 6, 7}));
    EXPECT_EQ(PlantLog::countContaining("Journal row 4 cannot be published"), 1u);
    EXPECT_TRUE(waitFor([&] { return station.unpublished() == 0; }));
}

TEST_F(PublisherAgainstBroker, ReadingsArePublishedAtMostAtTheirRateAndCarryTheirValues) {
    MqttSubscriber subscriber(broker.url(), "gaugemon/+/readings", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    PlantStation station(dir);
    MqttOptions options;
    options.brokerUrl = broker.url();
    options.readingsPerSecond = 4;
    station.startPublishing(options);
    ASSERT_TRUE(waitFor([&] { return station.publisher->connected(); }));
    LiveReadings readings;
    readings.probeCount = 2;
    readings.probes[0] = {1500, false, ProbeVerdict::Ng};
    readings.probes[1] = {45678, true, ProbeVerdict::Ok};
    readings.anyNg = true;
    const auto begin = std::chrono::steady_clock::now();
    for (int k = 0; k < 3000; ++k) {
        station.publisher->offerReadings(readings);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ASSERT_TRUE(waitFor([&] { return subscriber.count() >= 1; }));
    station.stopPublishing();
    const auto messages = subscriber.messages();
    EXPECT_LE(static_cast<double>(messages.size()), seconds * 4 + 2);  // the newest may follow the loop
    const QJsonObject first = jsonOf(messages[0].payload);
    EXPECT_FALSE(messages[0].retained);
    EXPECT_EQ(first["verdict"].toString(), "NG");
    EXPECT_EQ(first["probes"].toArray()[0].toObject()["value"].toDouble(), 1.5);
    EXPECT_EQ(first["probes"].toArray()[1].toObject()["value"].toDouble(), 4.5678);
}

// The state goes out under the station's own prefix, retained, when it
// changes and not when it is offered again unchanged; the rows go at QoS 2.
TEST_F(PublisherAgainstBroker, TheStateIsRetainedJsonUnderThePrefixAndGoesOutWhenItChanges) {
    MqttSubscriber subscriber(broker.url(), "plant/hall-2/#", "plant-side");
    ASSERT_TRUE(subscriber.connect());
    PlantStation station(dir);
    MqttOptions options;
    options.brokerUrl = broker.url();
    options.topicPrefix = "plant/hall-2";
    options.recordsQos = 2;
    station.startPublishing(options);
    ASSERT_TRUE(waitFor([&] { return station.publisher->connected(); }));
    StationStatus status;
    status.station = kStation;
    status.port = "COM03";
    status.connected = true;
    status.probeCount = kProbes;
    station.publisher->offerStatus(status);
    station.publisher->offerStatus(status);
    station.record(0, 3);
    const auto on = [&](const char* leaf) {
        std::vector<std::string> payloads;
        for (const auto& message : subscriber.messages())
            if (message.topic == std::string("plant/hall-2/") + kStation + "/" + leaf)
                payloads.push_back(message.payload);
        return payloads;
    };
    ASSERT_TRUE(waitFor([&] { return on("records").size() == 3 && on("state").size() == 1; }));
    status.misses = 1;
    station.publisher->offerStatus(status);
    ASSERT_TRUE(waitFor([&] { return on("state").size() == 2; }));
    EXPECT_EQ(on("status"), std::vector<std::string>{"online"});
    station.stopPublishing();

    MqttSubscriber later(broker.url(), "plant/hall-2/+/state", "dashboard");
    ASSERT_TRUE(later.connect());
    ASSERT_TRUE(waitFor([&] { return later.count() >= 1; }));
    EXPECT_TRUE(later.messages()[0].retained);
    const QJsonObject state = jsonOf(later.messages()[0].payload);
    EXPECT_EQ(state["link"].toString(), "connected");
    EXPECT_EQ(state["misses"].toInt(), 1);
    EXPECT_EQ(state["probes"].toInt(), static_cast<int>(kProbes));
    EXPECT_TRUE(state["time"].toString().startsWith("20"));  // the time it was sent, never a zero
}

// ---- Failures: one line each, recording goes on, rows wait ----------------------

class PublisherFailure : public ::testing::Test {
protected:
    // Lets a few retries pass (1 s, then 2 s of back-off).
    static void letRetriesPass() { std::this_thread::sleep_for(std::chrono::milliseconds(3500)); }

    TempDir dir;
    PlantLog log;
};

TEST_F(PublisherFailure, ABrokerThatCannotBeReachedIsToldOnceAndTheRowsWait) {
    PlantStation station(dir);
    station.startPublishing("tcp://127.0.0.1:" + std::to_string(testing::freeLocalPort()));
    station.record(0, 3);
    ASSERT_TRUE(waitFor([&] { return !PlantLog::taken().empty(); }));
    letRetriesPass();
    station.record(3, 2);
    EXPECT_EQ(PlantLog::taken().size(), 1u);
    EXPECT_EQ(PlantLog::countContaining("cannot be reached"), 1u);
    EXPECT_EQ(station.unpublished(), 5);
    EXPECT_TRUE(station.journal.isOn());
}

TEST_F(PublisherFailure, RefusedCredentialsAreToldOnceWithoutThePassword) {
    MqttBroker broker(dir.path());
    broker.requireUser("station", "right-Pa55");
    ASSERT_TRUE(broker.start());
    PlantStation station(dir);
    MqttOptions options;
    options.brokerUrl = broker.url();
    options.user = "station";
    options.password = "wrong-Pa55";
    station.startPublishing(options);
    station.record(0, 3);
    ASSERT_TRUE(waitFor([&] { return !PlantLog::taken().empty(); }));
    letRetriesPass();
    EXPECT_EQ(PlantLog::taken().size(), 1u);
    EXPECT_EQ(PlantLog::countContaining("refused the user name or password"), 1u);
    EXPECT_EQ(PlantLog::countContaining("Pa55"), 0u);
    EXPECT_EQ(station.unpublished(), 3);
    station.stopPublishing();

    // The right password lets the same rows go.
    options.password = "right-Pa55";
    station.startPublishing(options);
    EXPECT_TRUE(waitFor([&] { return station.unpublished() == 0; }));
    EXPECT_EQ(PlantLog::countContaining("Pa55"), 0u);
}

TEST_F(PublisherFailure, ATlsAddressAtAPlainListenerIsToldOnceAsATlsFailure) {
    MqttBroker broker(dir.path());
    ASSERT_TRUE(broker.start());
    PlantStation station(dir);
    station.startPublishing("ssl://127.0.0.1:" + std::to_string(broker.port()));
    station.record(0, 2);
    ASSERT_TRUE(waitFor([&] { return !PlantLog::taken().empty(); }));
    letRetriesPass();
    EXPECT_EQ(PlantLog::taken().size(), 1u) << PlantLog::taken().back();
    EXPECT_EQ(PlantLog::countContaining("TLS"), 1u) << PlantLog::taken().front();
    EXPECT_EQ(station.unpublished(), 2);
}

TEST_F(PublisherFailure, StoppingReturnsWhenTheBrokerVanishedWithoutAWord) {
    MqttBroker broker(dir.path());
    ASSERT_TRUE(broker.start());
    PlantStation station(dir);
    station.startPublishing(broker.url());
    ASSERT_TRUE(waitFor([&] { return station.publisher->connected(); }));
    broker.kill();
    station.record(0, 2);
    station.stopPublishing();  // a hang here fails the test by its time limit
    EXPECT_FALSE(station.publisher->connected());
    EXPECT_EQ(station.unpublished(), 2);
}

}  // namespace
}  // namespace gaugemon::plant
