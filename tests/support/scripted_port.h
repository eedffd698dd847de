#pragma once
#include <algorithm>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "link/serial_port.h"

namespace gaugemon::testing {

// A serial port for link tests: opens only the names it is told, records what
// is written and at which line settings, and queues the answer a script gives.
class ScriptedPort : public link::SerialPort {
public:
    struct Sent {
        std::string port;
        int baud;
        link::LineSettings line;
        std::vector<uint8_t> bytes;
    };
    using Script = std::function<std::vector<uint8_t>(const Sent&)>;

    std::set<std::string> openable;
    Script answer;
    std::vector<Sent> sent;
    std::vector<std::string> opened;

    int openPort(std::string_view name, int baudRate, link::LineSettings line) override {
        close();
        if (!openable.count(std::string(name))) return -1;
        open_ = true;
        name_ = name;
        baud_ = baudRate;
        line_ = line;
        opened.emplace_back(name);
        return 0;
    }
    void setBaudRate(int baudRate, link::LineSettings line) override {
        baud_ = baudRate;
        line_ = line;
        pending_.clear();
    }
    int writeFrame(const uint8_t* bytes, size_t count) override {
        if (!open_) return -1;
        pending_.clear();
        sent.push_back({name_, baud_, line_, std::vector<uint8_t>(bytes, bytes + count)});
        if (answer) pending_ = answer(sent.back());
        return 0;
    }
    size_t readAvailable(uint8_t* buffer, size_t capacity) override {
        if (!open_) return 0;
        const size_t n = std::min(capacity, pending_.size());
        if (n > 0) std::memcpy(buffer, pending_.data(), n);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
        return n;
    }
    void close() override {
        open_ = false;
        pending_.clear();
    }
    bool isOpen() const override { return open_; }

    int baud() const { return baud_; }
    link::LineSettings line() const { return line_; }

private:
    bool open_ = false;
    std::string name_;
    int baud_ = 0;
    link::LineSettings line_{};
    std::vector<uint8_t> pending_;
};

}  // namespace gaugemon::testing
