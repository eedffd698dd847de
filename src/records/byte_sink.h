#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace gaugemon::records {

// A buffered byte stream for the record files. Writers fill the buffer
// directly; the buffer goes out in large pieces. After the first failure
// everything else is dropped and the error is kept.
class ByteSink {
public:
    static constexpr size_t kDefaultCapacity = size_t{1} << 20;

    explicit ByteSink(size_t capacity = kDefaultCapacity);
    virtual ~ByteSink();
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    // Room for `n` contiguous bytes (n at most the capacity), to be filled and
    // then committed; nullptr once the sink has failed.
    char* reserve(size_t n) {
        if (capacity_ - used_ < n && !drain()) return nullptr;
        return error_ ? nullptr : buffer_.get() + used_;
    }
    void commit(size_t n) { used_ += n; }
    void write(std::string_view bytes);
    // Sends out what the buffer holds.
    bool flush() { return drain(); }

    bool failed() const { return error_ != 0; }
    int error() const { return error_; }  // an errno value
    size_t capacity() const { return capacity_; }

protected:
    // Takes `size` bytes for good; returns 0 or an errno value.
    virtual int writeOut(const char* data, size_t size) = 0;

private:
    bool drain();

    std::unique_ptr<char[]> buffer_;
    size_t capacity_;
    size_t used_ = 0;
    int error_ = 0;
};

// Collects the bytes in memory.
class StringSink : public ByteSink {
public:
    explicit StringSink(size_t capacity = 4096) : ByteSink(capacity) {}
    const std::string& bytes() {
        flush();
        return bytes_;
    }

protected:
    int writeOut(const char* data, size_t size) override {
        bytes_.append(data, size);
        return 0;
    }

private:
    std::string bytes_;
};

// Writes to an open file descriptor, which it does not own.
class FdSink : public ByteSink {
public:
    explicit FdSink(int fd, size_t capacity = kDefaultCapacity) : ByteSink(capacity), fd_(fd) {}

protected:
    int writeOut(const char* data, size_t size) override;

private:
    int fd_;
};

}  // namespace gaugemon::records
