#include "exchange/row_fields.h"

#include <algorithm>

#include "records/record_texts.h"

namespace gaugemon::exchange {

namespace {

constexpr size_t kStampBytes = 20;
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Reads `width` digits at `at`; -1 when one of them is not a digit.
int digitsAt(std::string_view text, size_t at, size_t width) {
    int value = 0;
    for (size_t i = at; i < at + width; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

RowVerdict verdictOf(std::string_view resultCell) {
    if (resultCell == " OK " || resultCell == records::gbk::kOk) return RowVerdict::Ok;
    if (resultCell == " NG " || resultCell == records::gbk::kNg) return RowVerdict::Ng;
    return RowVerdict::Unknown;
}

std::string_view verdictText(std::string_view resultCell) {
    if (resultCell == " OK ") return "OK";
    if (resultCell == " NG ") return "NG";
    if (resultCell == records::gbk::kOk) return "合格";
    if (resultCell == records::gbk::kNg) return "超差";
    return {};
}

std::optional<core::LocalDateTime> parseTimeStamp(std::string_view stamp) {
    if (stamp.size() != kStampBytes || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != ';' || stamp[11] != ' ' ||
        stamp[14] != ':' || stamp[17] != ':') {
        return std::nullopt;
    }
    core::LocalDateTime time{digitsAt(stamp, 0, 4),  digitsAt(stamp, 5, 2),  digitsAt(stamp, 8, 2),
                             digitsAt(stamp, 12, 2), digitsAt(stamp, 15, 2), digitsAt(stamp, 18, 2)};
    // Spreadsheet dates begin with the year 1900.
    if (time.year < 1900 || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > daysInMonth(time.year, time.month) || time.hour < 0 || time.hour > 23 || time.minute < 0 ||
        time.minute > 59 || time.second < 0 || time.second > 59) {
        return std::nullopt;
    }
    return time;
}

std::string codeText(std::string_view gbk, const records::GbkDecoder& decoder) { return decoder.decode(gbk); }

bool holdsUncarriableCharacter(std::string_view utf8) {
    const bool control = std::any_of(utf8.begin(), utf8.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
    return control || utf8.find(kReplacementCharacter) != std::string_view::npos;
}

}  // namespace gaugemon::exchange
