#include "plant/publisher.h"

#include <mqtt/async_client.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "journal/outbox_store.h"
#include "plant/connect_failure.h"
#include "plant/plant_log.h"
#include "plant/state_pacing.h"

namespace gaugemon::plant {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kFirstRetry = std::chrono::seconds(1);
constexpr auto kLongestRetry = std::chrono::seconds(60);
// Rows are looked for this often even without a wake, and a journal that
// could not be opened is tried again.
constexpr auto kIdlePoll = std::chrono::seconds(5);
constexpr int kConnectTimeoutS = 5;
constexpr int kKeepAliveS = 20;
constexpr int kProbeTimeoutMs = 300;
// Rows sent and not yet acknowledged; the client library is allowed a few more
// for the status and readings messages.
constexpr int64_t kRowWindow = 64;
constexpr int kClientInflight = kRowWindow + 16;
constexpr auto kOfflineWait = milliseconds(500);
constexpr auto kDisconnectWait = milliseconds(500);
constexpr int kQosAtLeastOnce = 1;
constexpr int kQosAtMostOnce = 0;
// A delivery's context carries the connection it was sent on above the row id.
constexpr int kEpochShift = 40;
constexpr uint64_t kIdMask = (uint64_t{1} << kEpochShift) - 1;
// published_ms of a row that can never be published (damaged in the file).
constexpr int64_t kUnpublishable = -1;

int64_t wallClockMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const char* rowErrorText(RowJsonError error) {
    return error == RowJsonError::BadLayout ? "no layout of ours" : "not one row of its layout";
}

}  // namespace

// Everything the publisher's thread and the client library's callbacks share.
class PublisherCore {
public:
    PublisherCore(MqttOptions options, std::string journalPath)
        : options_(std::move(options)),
          journalPath_(std::move(journalPath)),
          statusTopic_(options_.topicPrefix + "/" + options_.station + "/status"),
          recordsTopic_(options_.topicPrefix + "/" + options_.station + "/records"),
          readingsTopic_(options_.topicPrefix + "/" + options_.station + "/readings"),
          stateTopic_(options_.topicPrefix + "/" + options_.station + "/state"),
          connectListener_(*this),
          deliveryListener_(*this) {
        events_.acked.reserve(kRowWindow * 2);
        taken_.acked.reserve(kRowWindow * 2);
        unmarked_.reserve(kRowWindow * 2);
    }

    void start() {
        if (thread_.joinable() || !options_.publishing()) return;
        thread_ = std::thread([this] { run(); });
    }

    void stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            events_.stop = true;
        }
        wake_.notify_one();
        thread_.join();
    }

    void wakeRows() {
        {
            std::lock_guard lock(mutex_);
            events_.rows = true;
        }
        wake_.notify_one();
    }

    // No wake: the thread takes the newest readings at its own pace, so an
    // offer never hands the caller's processor to another thread.
    void putReadings(const LiveReadings& readings, int64_t nowMs) {
        std::lock_guard lock(mutex_);
        slot_ = readings;
        if (slot_.timeMs == 0) slot_.timeMs = nowMs;
        events_.readings = true;
    }

    // Only news wakes the thread; moved counters wait for their turn.
    void putStatus(const StationStatus& status) {
        {
            std::lock_guard lock(mutex_);
            if (!statePacing_.offer(status)) return;
            events_.status = true;
        }
        wake_.notify_one();
    }

    bool readingsWanted() const { return options_.readingsPerSecond > 0 && connected_.load(std::memory_order_relaxed); }
    bool isConnected() const { return connected_.load(std::memory_order_acquire); }
    uint64_t publishedRows() const { return publishedRows_.load(std::memory_order_acquire); }

private:
    struct Events {
        bool stop = false;
        bool rows = false;
        bool readings = false;
        bool status = false;
        bool connected = false;
        bool failed = false;
        bool lost = false;
        int failCode = 0;
        std::string lostCause;
        std::vector<uint64_t> acked;  // delivery contexts
    };

    // The outcome of a connection attempt, on the library's thread.
    struct ConnectListener : mqtt::iaction_listener {
        explicit ConnectListener(PublisherCore& core) : core(core) {}
        void on_success(const mqtt::token&) override {
            core.post([](Events& e) { e.connected = true; });
        }
        void on_failure(const mqtt::token& token) override {
            const int code = token.get_return_code();
            core.post([code](Events& e) {
                e.failed = true;
                e.failCode = code;
            });
        }
        PublisherCore& core;
    };

    // The broker's acknowledgement of a QoS 1 row, on the library's thread.
    struct DeliveryListener : mqtt::iaction_listener {
        explicit DeliveryListener(PublisherCore& core) : core(core) {}
        void on_success(const mqtt::token& token) override {
            const auto context = reinterpret_cast<uintptr_t>(token.get_user_context());
            core.post([context](Events& e) { e.acked.push_back(context); });
        }
        void on_failure(const mqtt::token&) override {}  // sent again after the next connect
        PublisherCore& core;
    };

    template <class Change>
    void post(Change&& change) {
        {
            std::lock_guard lock(mutex_);
            change(events_);
        }
        wake_.notify_one();
    }

    void run() {
        openOutbox();
        createClient();
        while (waitForEvents()) {
            handleConnection();
            markAcknowledged();  // acknowledgements that came just before a loss count too
            if (state_ == State::Connected) {
                sendRows();
                if (taken_.readings) sendReadings();
                if (stateToSend_) sendState();
            }
        }
        shutDown();
    }

    // Takes what happened; false when stopping.
    bool waitForEvents() {
        std::unique_lock lock(mutex_);
        wake_.wait_until(lock, nextWake(), [this] {
            const Events& e = events_;
            return e.stop || e.rows || e.status || e.connected || e.failed || e.lost || !e.acked.empty();
        });
        taken_.acked.clear();
        std::swap(taken_.acked, events_.acked);
        taken_.stop = events_.stop;
        taken_.rows = std::exchange(events_.rows, false);
        taken_.status = std::exchange(events_.status, false);
        stateToSend_.reset();
        if (state_ == State::Connected) stateToSend_ = statePacing_.take(Clock::now());
        taken_.connected = std::exchange(events_.connected, false);
        taken_.failed = std::exchange(events_.failed, false);
        taken_.lost = std::exchange(events_.lost, false);
        taken_.failCode = events_.failCode;
        if (taken_.lost) taken_.lostCause = events_.lostCause;
        takeReadingsWhenDue();
        return !taken_.stop;
    }

    bool readingsOn() const { return state_ == State::Connected && options_.readingsPerSecond > 0; }

    Clock::time_point nextWake() const {
        if (state_ == State::Waiting) return nextAttempt_;
        auto idle = Clock::now() + kIdlePoll;
        if (state_ == State::Connected) idle = std::min(idle, statePacing_.nextDue());
        return readingsOn() ? std::min(idle, nextReadings_) : idle;
    }

    // The mutex is held.
    void takeReadingsWhenDue() {
        taken_.readings = false;
        const auto now = Clock::now();
        if (!readingsOn() || now < nextReadings_ || !events_.readings) return;
        readings_ = slot_;
        events_.readings = false;
        taken_.readings = true;
        nextReadings_ = now + std::chrono::milliseconds(1000 / options_.readingsPerSecond);
    }

    void openOutbox() {
        const int code = outbox_.open(journalPath_);
        if (code == 0) {
            outboxReported_ = false;
        } else if (!outboxReported_) {
            outboxReported_ = true;
            qCWarning(plantLog,
                      "The journal %s cannot be read for publishing (SQLite code %d): recorded rows are "
                      "not published until it can",
                      journalPath_.c_str(), code);
        }
    }

    void createClient() {
        try {
            client_ = std::make_unique<mqtt::async_client>(options_.brokerUrl, clientId(), nullptr);
        } catch (const mqtt::exception& error) {
            qCWarning(plantLog, "MQTT client for %s cannot be made (%s): publishing is off", options_.brokerUrl.c_str(),
                      error.what());
            return;
        }
        client_->set_connection_lost_handler([this](const std::string& cause) {
            post([&cause](Events& e) {
                e.lost = true;
                e.lostCause = cause;
            });
        });
        nextAttempt_ = Clock::now();
        state_ = State::Waiting;
    }

    std::string clientId() const { return "gaugemon-" + options_.station + "-" + std::to_string(::getpid()); }

    mqtt::connect_options connectOptions() {
        mqtt::connect_options options;
        options.set_clean_session(true);
        options.set_keep_alive_interval(kKeepAliveS);
        options.set_connect_timeout(kConnectTimeoutS);
        options.set_max_inflight(kClientInflight);
        options.set_automatic_reconnect(false);  // our own back-off, from the first attempt on
        options.set_will(mqtt::will_options(statusTopic_, std::string("offline"), kQosAtLeastOnce, true));
        if (!options_.user.empty()) {
            options.set_user_name(options_.user);
            options.set_password(options_.password);
        }
        if (options_.brokerUrl.starts_with("ssl://")) {
            mqtt::ssl_options tls;
            if (!options_.caFile.empty()) tls.set_trust_store(options_.caFile);
            if (!options_.certFile.empty()) {
                tls.set_key_store(options_.certFile);
                tls.set_private_key(options_.keyFile);
            }
            tls.set_enable_server_cert_auth(true);
            tls.set_verify(true);
            tls.set_error_handler([this](const std::string& text) {
                std::lock_guard lock(mutex_);
                tlsError_ = text;
            });
            options.set_ssl(std::move(tls));
        }
        return options;
    }

    void handleConnection() {
        if (taken_.connected) becameConnected();
        if (taken_.failed) failed(taken_.failCode, {});
        if (taken_.lost && state_ == State::Connected) lost();
        if (state_ == State::Waiting && Clock::now() >= nextAttempt_) connect();
        if (!outbox_.isOpen() && state_ == State::Connected) openOutbox();
    }

    void connect() {
        {
            std::lock_guard lock(mutex_);
            tlsError_.clear();
        }
        state_ = State::Connecting;
        try {
            client_->connect(connectOptions(), nullptr, connectListener_);
        } catch (const mqtt::exception& error) {
            failed(error.get_return_code(), error.what());
        }
    }

    void becameConnected() {
        state_ = State::Connected;
        connected_.store(true, std::memory_order_release);
        retry_ = kFirstRetry;
        failure_ = ConnectFailure::None;
        ++epoch_;
        inFlight_ = 0;
        lastSentId_ = 0;  // rows sent before and not acknowledged go again
        qCInfo(plantLog, "Connected to MQTT broker %s as station %s", options_.brokerUrl.c_str(),
               options_.station.c_str());
        publishStatus("online");
        std::lock_guard lock(mutex_);
        statePacing_.sendAgain();  // the state follows at once
    }

    void failed(int code, std::string detail) {
        if (state_ != State::Connecting) return;
        std::string tlsError;
        {
            std::lock_guard lock(mutex_);
            tlsError = tlsError_;
        }
        AttemptOutcome outcome{code, options_.brokerUrl.starts_with("ssl://"), !options_.user.empty(),
                               !tlsError.empty()};
        // A failed handshake the TLS layer said nothing of looks like an
        // address where nothing listens, unless the port answers.
        if (outcome.tlsUrl && code <= 0 && !outcome.tlsErrorSeen)
            outcome.portAnswers = portAnswers(options_.brokerUrl, kProbeTimeoutMs);
        const ConnectFailure kind = classifyConnectFailure(outcome);
        if (detail.empty()) detail = tlsError.empty() ? "no TLS answer" : tlsError;
        report(kind, code, detail);
        scheduleRetry();
    }

    void lost() {
        connected_.store(false, std::memory_order_release);
        report(ConnectFailure::Lost, 0, taken_.lostCause.empty() ? "no reason given" : taken_.lostCause);
        retry_ = kFirstRetry;
        scheduleRetry();
    }

    // One line per kind of failure in a row of failures, not one per retry.
    void report(ConnectFailure kind, int code, const std::string& detail) {
        if (kind == failure_) return;
        failure_ = kind;
        qCWarning(plantLog, "%s", connectFailureText(kind, options_.brokerUrl, options_.user, code, detail).c_str());
    }

    void scheduleRetry() {
        state_ = State::Waiting;
        nextAttempt_ = Clock::now() + retry_;
        retry_ = std::min<Clock::duration>(retry_ * 2, kLongestRetry);
    }

    void publishStatus(const char* status) {
        try {
            client_->publish(statusTopic_, status, std::char_traits<char>::length(status), kQosAtLeastOnce, true);
        } catch (const mqtt::exception&) {
            // The connection went meanwhile; its loss is reported by the library.
        }
    }

    void markAcknowledged() {
        for (const uint64_t context : taken_.acked) {
            if (context >> kEpochShift == epoch_ && inFlight_ > 0) --inFlight_;
            unmarked_.push_back(static_cast<int64_t>(context & kIdMask));
        }
        if (unmarked_.empty() || !outbox_.isOpen()) return;
        // A busy file keeps the marks for the next round.
        if (outbox_.markPublished(unmarked_, wallClockMs()) != 0) return;
        publishedRows_.fetch_add(unmarked_.size(), std::memory_order_release);
        unmarked_.clear();
    }

    void sendRows() {
        if (!outbox_.isOpen() || inFlight_ >= kRowWindow) return;
        unpublishable_.clear();
        outbox_.forEachUnpublished(lastSentId_, kRowWindow - inFlight_,
                                   [this](const journal::OutgoingRow& row) { return sendRow(row); });
        if (!unpublishable_.empty()) outbox_.markPublished(unpublishable_, kUnpublishable);
    }

    bool sendRow(const journal::OutgoingRow& row) {
        const JournalRow input{row.id,         row.position, row.probeCount, row.codeColumn,
                               row.recordedMs, row.bytes,    row.limits,     row.characteristics};
        const RowJsonError error = recordJson(input, options_.station, decoder_, json_);
        if (error != RowJsonError::None) {
            qCWarning(plantLog, "Journal row %lld cannot be published (%s): it is skipped",
                      static_cast<long long>(row.id), rowErrorText(error));
            unpublishable_.push_back(row.id);
            lastSentId_ = row.id;
            return true;
        }
        const uint64_t context = (epoch_ << kEpochShift) | (static_cast<uint64_t>(row.id) & kIdMask);
        // The context is a number handed back with the acknowledgement, never a pointer.
        void* carried = reinterpret_cast<void*>(static_cast<uintptr_t>(context));  // NOLINT(performance-no-int-to-ptr)
        try {
            client_->publish(mqtt::make_message(recordsTopic_, json_, options_.recordsQos, false), carried,
                             deliveryListener_);
        } catch (const mqtt::exception&) {
            return false;  // the connection went or the library is full: the row goes next round
        }
        lastSentId_ = row.id;
        ++inFlight_;
        return true;
    }

    void sendReadings() {
        readingsJson(readings_, options_.station, json_);
        try {
            client_->publish(readingsTopic_, json_.data(), json_.size(), kQosAtMostOnce, false);
        } catch (const mqtt::exception&) {
        }
    }

    void sendState() {
        stateToSend_->timeMs = wallClockMs();
        statusJson(*stateToSend_, json_);
        try {
            client_->publish(stateTopic_, json_.data(), json_.size(), kQosAtLeastOnce, true);
        } catch (const mqtt::exception&) {
        }
    }

    void shutDown() {
        connected_.store(false, std::memory_order_release);
        if (!client_) return;
        try {
            if (client_->is_connected()) {
                client_->publish(statusTopic_, "offline", 7, kQosAtLeastOnce, true)->wait_for(kOfflineWait);
                client_->disconnect(static_cast<int>(kDisconnectWait.count()))->wait_for(kDisconnectWait);
            }
            client_->disable_callbacks();
        } catch (const mqtt::exception&) {
            // The broker went meanwhile, or an attempt is under way: the last
            // will says "offline" for us, and the listeners outlive the client.
        }
        client_.reset();
        if (!unmarked_.empty() && outbox_.isOpen()) outbox_.markPublished(unmarked_, wallClockMs());
        outbox_.close();
    }

    enum class State : uint8_t { Off, Waiting, Connecting, Connected };

    const MqttOptions options_;
    const std::string journalPath_;
    const std::string statusTopic_;
    const std::string recordsTopic_;
    const std::string readingsTopic_;
    const std::string stateTopic_;
    ConnectListener connectListener_;
    DeliveryListener deliveryListener_;

    std::mutex mutex_;
    std::condition_variable wake_;
    Events events_;
    LiveReadings slot_;
    StatePacing statePacing_;
    std::string tlsError_;

    // The publisher's thread alone.
    std::unique_ptr<mqtt::async_client> client_;
    journal::OutboxStore outbox_;
    records::GbkDecoder decoder_;
    Events taken_;
    LiveReadings readings_;
    std::optional<StationStatus> stateToSend_;
    std::string json_;
    std::vector<int64_t> unmarked_;
    std::vector<int64_t> unpublishable_;
    State state_ = State::Off;
    Clock::time_point nextAttempt_{};
    Clock::time_point nextReadings_{};
    Clock::duration retry_ = kFirstRetry;
    ConnectFailure failure_ = ConnectFailure::None;
    uint64_t epoch_ = 0;
    int64_t inFlight_ = 0;
    int64_t lastSentId_ = 0;
    bool outboxReported_ = false;

    std::atomic<bool> connected_{false};
    std::atomic<uint64_t> publishedRows_{0};
    std::thread thread_;
};

Publisher::Publisher(MqttOptions options, std::string journalFilePath)
    : core_(std::make_shared<PublisherCore>(std::move(options), std::move(journalFilePath))) {}

Publisher::~Publisher() { stop(); }

void Publisher::start() { core_->start(); }

void Publisher::stop() { core_->stop(); }

std::function<void()> Publisher::writtenListener() const {
    return [weak = std::weak_ptr<PublisherCore>(core_)] {
        if (const auto core = weak.lock()) core->wakeRows();
    };
}

void Publisher::offerReadings(const LiveReadings& readings) {
    if (!core_->readingsWanted()) return;
    core_->putReadings(readings, readings.timeMs != 0 ? readings.timeMs : wallClockMs());
}

void Publisher::offerStatus(const StationStatus& status) { core_->putStatus(status); }

bool Publisher::connected() const { return core_->isConnected(); }

uint64_t Publisher::publishedRows() const { return core_->publishedRows(); }

}  // namespace gaugemon::plant
