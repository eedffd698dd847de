#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "exchange/shown_value.h"

namespace gaugemon::plant {

// Writes one JSON value into a string whose storage is kept from one message
// to the next: the commas, the escaping and the numbers' texts. Nesting
// deeper than kMaxDepth is the caller's fault and is not written.
class JsonWriter {
public:
    static constexpr int kMaxDepth = 8;

    explicit JsonWriter(std::string& out) : out_(out) {}

    JsonWriter& beginObject() { return open('{'); }
    JsonWriter& endObject() { return close('}'); }
    JsonWriter& beginArray() { return open('['); }
    JsonWriter& endArray() { return close(']'); }
    // The name of the next member of an object.
    JsonWriter& field(std::string_view name);

    JsonWriter& string(std::string_view text);
    JsonWriter& number(int64_t value);
    // A length at its own resolution, exactly as the files show it.
    JsonWriter& number(const exchange::ScaledNumber& value);
    // A figure with `decimals` digits; a NaN or infinity is written as null.
    JsonWriter& number(double value, int decimals);
    JsonWriter& boolean(bool value);
    JsonWriter& null();
    // "2026-12-08T09:14:03.120+01:00"
    JsonWriter& isoTime(int64_t msSince1970);
    // Text that is JSON already.
    JsonWriter& raw(std::string_view json);

private:
    JsonWriter& open(char bracket);
    JsonWriter& close(char bracket);
    void beforeValue();

    std::string& out_;
    std::array<bool, kMaxDepth + 1> first_{};
    int depth_ = 0;
    bool afterName_ = false;
};

// `text` between double quotes with what JSON requires escaped.
void appendJsonString(std::string_view text, std::string& out);

}  // namespace gaugemon::plant
