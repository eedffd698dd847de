#include "records/time_stamp.h"

#include <algorithm>

#include "records/digit_pairs.h"

namespace gaugemon::records {

namespace {
// Zero-padded fields; a clock gone wrong cannot make one wider than its place.
char* putTwoDigitField(char* out, int value) {
    putTwoDigits(out, static_cast<unsigned>(std::clamp(value, 0, 99)));
    return out + 2;
}
char* putFourDigitField(char* out, int value) {
    const auto clamped = static_cast<unsigned>(std::clamp(value, 0, 9999));
    putTwoDigits(out, clamped / 100);
    putTwoDigits(out + 2, clamped % 100);
    return out + 4;
}
}  // namespace

TimeStamp formatTimeStamp(const core::LocalDateTime& time) {
    TimeStamp stamp{};
    char* p = stamp.data();
    p = putFourDigitField(p, time.year);
    *p++ = '-';
    p = putTwoDigitField(p, time.month);
    *p++ = '-';
    p = putTwoDigitField(p, time.day);
    *p++ = ';';
    *p++ = ' ';
    p = putTwoDigitField(p, time.hour);
    *p++ = ':';
    p = putTwoDigitField(p, time.minute);
    *p++ = ':';
    putTwoDigitField(p, time.second);
    return stamp;
}

std::array<char, kDateDigits> formatDate(const core::LocalDateTime& time) {
    std::array<char, kDateDigits> date{};
    char* p = putFourDigitField(date.data(), time.year);
    p = putTwoDigitField(p, time.month);
    putTwoDigitField(p, time.day);
    return date;
}

}  // namespace gaugemon::records
