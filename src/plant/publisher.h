#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "plant/mqtt_options.h"
#include "plant/plant_json.h"
#include "plant/station_status.h"

namespace gaugemon::plant {

class PublisherCore;

// Hands the station's recorded rows and live readings to the plant's broker.
// Rows are read from the crash journal on the publisher's own thread and
// connection, oldest first, published at the records QoS (1 unless set) on <prefix>/<station>/records
// and marked published in the journal when the broker acknowledges them: a
// broker that is away loses no row, and rows an earlier run left unpublished
// go out first. The connection is made in the background and retried with
// back-off; the caller's thread never waits for the network.
class Publisher {
public:
    // `options` checked by checkMqttOptions; `journalFilePath` the journal's
    // file (Journal::filePath).
    Publisher(MqttOptions options, std::string journalFilePath);
    ~Publisher();  // stops
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Starts the publisher's thread; does nothing when publishing is off.
    void start();
    // For Journal::setWrittenListener: wakes the outbox. The function stays
    // safe to call after the publisher is gone.
    std::function<void()> writtenListener() const;
    // The readings of one poll. The newest of them are published (QoS 0)
    // readingsPerSecond times a second, the others dropped; costs a copy
    // under a lock no network call holds, allocates nothing and wakes no
    // thread.
    void offerReadings(const LiveReadings& readings);
    // The station's status: published (retained, JSON, on
    // <prefix>/<station>/state) when it differs from the last one and every
    // 30 s, each time with the time it is sent, so that a consumer tells a
    // stale state by its age. Copies under the lock; call on a change only.
    void offerStatus(const StationStatus& status);
    // Publishes "offline" and disconnects when it can; returns within about
    // two seconds even when the broker is gone.
    void stop();

    bool connected() const;
    // Rows the broker acknowledged since start.
    uint64_t publishedRows() const;

private:
    std::shared_ptr<PublisherCore> core_;
};

}  // namespace gaugemon::plant
