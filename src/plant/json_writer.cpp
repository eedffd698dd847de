#include "plant/json_writer.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "plant/plant_json.h"

namespace gaugemon::plant {

void appendJsonString(std::string_view text, std::string& out) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void JsonWriter::beforeValue() {
    if (afterName_) {
        afterName_ = false;
        return;
    }
    if (depth_ > 0 && !std::exchange(first_[depth_], false)) out_ += ',';
}

JsonWriter& JsonWriter::open(char bracket) {
    beforeValue();
    out_ += bracket;
    if (depth_ < kMaxDepth) first_[++depth_] = true;
    return *this;
}

JsonWriter& JsonWriter::close(char bracket) {
    out_ += bracket;
    if (depth_ > 0) --depth_;
    return *this;
}

JsonWriter& JsonWriter::field(std::string_view name) {
    beforeValue();
    appendJsonString(name, out_);
    out_ += ':';
    afterName_ = true;
    return *this;
}

JsonWriter& JsonWriter::string(std::string_view text) {
    beforeValue();
    appendJsonString(text, out_);
    return *this;
}

JsonWriter& JsonWriter::number(int64_t value) {
    beforeValue();
    char text[24];
    const int n = std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    out_.append(text, static_cast<size_t>(n));
    return *this;
}

JsonWriter& JsonWriter::number(const exchange::ScaledNumber& value) {
    beforeValue();
    char text[32];
    out_.append(text, exchange::formatScaled(value, text));
    return *this;
}

JsonWriter& JsonWriter::number(double value, int decimals) {
    if (!std::isfinite(value)) return null();
    beforeValue();
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%.*f", decimals, value);
    if (n > 0 && static_cast<size_t>(n) < sizeof text) out_.append(text, static_cast<size_t>(n));
    return *this;
}

JsonWriter& JsonWriter::boolean(bool value) {
    beforeValue();
    out_ += value ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::null() {
    beforeValue();
    out_ += "null";
    return *this;
}

JsonWriter& JsonWriter::isoTime(int64_t msSince1970) {
    beforeValue();
    out_ += '"';
    appendIsoTime(msSince1970, out_);
    out_ += '"';
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
    beforeValue();
    out_ += json;
    return *this;
}

}  // namespace gaugemon::plant
