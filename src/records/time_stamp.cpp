#include "records/time_stamp.h"

#include <algorithm>

namespace gaugemon::records {

namespace {
// Writes `value` as `width` zero-padded digits; a clock gone wrong cannot make
// a field wider than its place.
char* putDigits(char* out, int value, int width, int maxValue) {
    value = std::clamp(value, 0, maxValue);
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + width;
}
}  // namespace

TimeStamp formatTimeStamp(const core::LocalDateTime& time) {
    TimeStamp stamp{};
    char* p = stamp.data();
    p = putDigits(p, time.year, 4, 9999);
    *p++ = '-';
    p = putDigits(p, time.month, 2, 99);
    *p++ = '-';
    p = putDigits(p, time.day, 2, 99);
    *p++ = ';';
    *p++ = ' ';
    p = putDigits(p, time.hour, 2, 99);
    *p++ = ':';
    p = putDigits(p, time.minute, 2, 99);
    *p++ = ':';
    putDigits(p, time.second, 2, 99);
    return stamp;
}

std::array<char, kDateDigits> formatDate(const core::LocalDateTime& time) {
    std::array<char, kDateDigits> date{};
    char* p = putDigits(date.data(), time.year, 4, 9999);
    p = putDigits(p, time.month, 2, 99);
    putDigits(p, time.day, 2, 99);
    return date;
}

}  // namespace gaugemon::records
