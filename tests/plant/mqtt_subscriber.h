#pragma once
#include <mqtt/async_client.h>

#include <mutex>
#include <string>
#include <vector>

namespace gaugemon::testing {

struct ReceivedMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// A subscriber of the plant's side at QoS 1 with a lasting session: it
// reconnects by itself and gets what the broker queued for it meanwhile.
class MqttSubscriber {
public:
    MqttSubscriber(const std::string& url, std::string filter, const std::string& id)
        : client_(url, id, nullptr), filter_(std::move(filter)) {
        client_.set_message_callback([this](mqtt::const_message_ptr message) {
            std::lock_guard lock(mutex_);
            messages_.push_back({message->get_topic(), message->to_string(), message->is_retained()});
        });
        client_.set_connected_handler([this](const std::string&) {
            try {
                client_.subscribe(filter_, 1);
            } catch (const mqtt::exception&) {
            }
        });
    }
    ~MqttSubscriber() {
        try {
            if (client_.is_connected()) client_.disconnect()->wait_for(std::chrono::seconds(2));
        } catch (const mqtt::exception&) {
        }
        client_.disable_callbacks();
    }

    // Connects and subscribes; false when the broker cannot be had.
    bool connect() {
        mqtt::connect_options options;
        options.set_clean_session(false);
        options.set_automatic_reconnect(std::chrono::milliseconds(200), std::chrono::seconds(1));
        try {
            client_.connect(options)->wait_for(std::chrono::seconds(10));
            return client_.subscribe(filter_, 1)->wait_for(std::chrono::seconds(10));
        } catch (const mqtt::exception&) {
            return false;
        }
    }

    std::vector<ReceivedMessage> messages() const {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    size_t count() const {
        std::lock_guard lock(mutex_);
        return messages_.size();
    }

private:
    mqtt::async_client client_;
    std::string filter_;
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> messages_;
};

}  // namespace gaugemon::testing
