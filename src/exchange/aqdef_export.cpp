#include "exchange/aqdef_export.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

#include "exchange/row_fields.h"
#include "measure/counts.h"

// The transfer file is the line-oriented text of key fields ("K-fields") and
// value lines that SPC programs of the automotive supply chain import. A
// key-field line is the key, a blank and the content; a key with "/n" belongs
// to characteristic n, "/0" to all of them. The fields written, and why:
//
//   K0100        number of characteristics in the file; the format wants it
//                first, so a reader knows the width of the value lines.
//   K1001 K1002  part number and part description, from the station's
//                settings: the part block every file must have. K1001 is
//                the station's name when no part number is set.
//   K2001/n      characteristic number: the probe's title ("S01"), or the
//                name of a characteristic computed from probes.
//   K2002/n      characteristic description ("Probe 01", "测头01", the name).
//   K2022/n      decimal places: the most any value or limit of the probe
//                shows in the file's unit (a fine probe shows one more).
//   K2101/n      nominal value. The station keeps no nominal, only limits:
//                the middle of the tolerance zone is what an SPC program
//                takes as target when none is given.
//   K2110/n      lower tolerance limit.
//   K2111/n      upper tolerance limit.
//   K2142/n      unit of the values and limits: "mm" or "in", the unit the
//                operator chose; every value is converted into it.
//   K0014/0      part ident after a value line, for all characteristics:
//                the workpiece code of the row, when rows carry codes.
//
// A value line holds one part (one recorded row). For each characteristic in
// order it has the measured value, the attribute and the date/time, the
// three separated by DC4 (0x14); characteristics are separated by SI (0x0F).
// The attribute is 0 for a valid value and 255 for a place holder where the
// row has no number; the date/time is "DD.MM.YYYY/HH:MM:SS". Numbers always
// have a decimal point, never a locale's comma. The file is UTF-8 with CR LF
// line ends and begins with the byte-order mark: a reader of the format
// takes a file without it for the Windows code page of its own machine,
// which garbles every character beyond ASCII (a Chinese description).

namespace gaugemon::exchange {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kFieldSeparator = '\x14';           // DC4, between value, attribute, date/time
constexpr char kCharacteristicSeparator = '\x0F';  // SI, between characteristics
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kValidAttribute = "0";
constexpr std::string_view kPlaceholderAttribute = "255";
constexpr size_t kDateTimeBytes = 19;  // DD.MM.YYYY/HH:MM:SS
constexpr size_t kNumberBytes = 24;
constexpr size_t kCharacteristicBytes = kNumberBytes + 1 + 3 + 1 + kDateTimeBytes + 1;
// K1001 of a station without a part number or a name of its own.
constexpr std::string_view kUnnamedPart = "station";

void appendNumber(std::string& out, const ScaledNumber& number) {
    char text[kNumberBytes];
    out.append(text, formatScaled(number, text));
}

void appendTwoDigits(std::string& out, unsigned n) {
    out.push_back(static_cast<char>('0' + n / 10 % 10));
    out.push_back(static_cast<char>('0' + n % 10));
}

void appendField(std::string& out, std::string_view key, unsigned characteristic, std::string_view content) {
    out += key;
    out.push_back('/');
    char digits[8];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, characteristic).ptr);
    out.push_back(' ');
    out += content;
    out += kLineEnd;
}

// The middle of the zone, with one decimal more when the limits' last digit
// cannot hold it.
ScaledNumber middleOf(const ScaledNumber& lower, const ScaledNumber& upper) {
    const int64_t sum = lower.units + upper.units;
    ScaledNumber middle{sum / 2, std::max(lower.decimals, upper.decimals)};
    int64_t step = kUnitsPerWhole;
    for (int d = 0; d < middle.decimals; ++d) step /= 10;
    if (sum % (2 * step) != 0 && middle.decimals < kMaxDecimals) ++middle.decimals;
    return middle;
}

using Decimals = std::array<int, measure::kMaxValues>;

// A computed characteristic's limits show the decimals K2022 names, as its
// values do. (A fine probe's limits keep the three of the tolerance table.)
ScaledNumber withDecimals(ScaledNumber number, int decimals) {
    number.decimals = std::max(number.decimals, decimals);
    return number;
}

// The characteristics computed from probes that both the plan and the rows hold.
unsigned computedCount(const ExportPlan& plan, const records::TableSnapshot& rows) {
    return std::min(plan.characteristicCount(), rows.shape().characteristicCount);
}

// The decimals each characteristic shows: of its limits and of every value.
Decimals decimalsOf(const records::TableSnapshot& rows, const ExportPlan& plan) {
    Decimals decimals{};
    const unsigned computed = computedCount(plan, rows);
    for (unsigned k = 0; k < plan.probeCount; ++k)
        decimals[k] = std::max(plan.lower[k].decimals, plan.upper[k].decimals);
    for (unsigned k = 0; k < computed; ++k)
        decimals[plan.probeCount + k] =
            std::max(plan.characteristicLower[k].decimals, plan.characteristicUpper[k].decimals);
    for (uint32_t r = 0; r < rows.rowCount(); ++r) {
        const records::RowView row = rows.row(r);
        for (unsigned k = 0; k < plan.probeCount; ++k) {
            if (decimals[k] >= kMaxDecimals) continue;
            if (const auto shown = parseValueText(row.valueText(k + 1).text()))
                decimals[k] = std::max(decimals[k], inUnit(*shown, plan.unit).decimals);
        }
        for (unsigned k = 0; k < computed; ++k) {
            int& shown = decimals[plan.probeCount + k];
            if (const auto value = characteristicValue(row, k, plan.unit)) shown = std::max(shown, value->decimals);
        }
    }
    return decimals;
}

void appendCharacteristicFields(std::string& out, unsigned n, std::string_view title, std::string_view description,
                                int decimals, const ScaledNumber& lower, const ScaledNumber& upper, LengthUnit unit) {
    std::string nominal, lowerText, upperText;
    appendNumber(nominal, middleOf(lower, upper));
    appendNumber(lowerText, lower);
    appendNumber(upperText, upper);
    appendField(out, "K2001", n, title);
    appendField(out, "K2002", n, description);
    appendField(out, "K2022", n, std::to_string(decimals));
    appendField(out, "K2101", n, nominal);
    appendField(out, "K2110", n, lowerText);
    appendField(out, "K2111", n, upperText);
    appendField(out, "K2142", n, unitName(unit));
}

std::string descriptionBlock(const ExportPlan& plan, unsigned computed, const ExchangeOptions& options,
                             const Decimals& decimals) {
    std::string out(kByteOrderMark);
    out += "K0100 " + std::to_string(plan.probeCount + computed) + std::string(kLineEnd);
    // Readers file the parts by K1001: an empty one leaves the file unfiled.
    const std::string& part = options.partNumber.empty() ? options.stationName : options.partNumber;
    out += "K1001 " + (part.empty() ? std::string(kUnnamedPart) : part) + std::string(kLineEnd);
    out += "K1002 " + options.partDescription + std::string(kLineEnd);
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        const unsigned n = k + 1;
        std::string title = "S";
        appendTwoDigits(title, n);
        std::string description = core::pick(plan.language, "Probe ", "测头");
        appendTwoDigits(description, n);
        appendCharacteristicFields(out, n, title, description, decimals[k], plan.lower[k], plan.upper[k], plan.unit);
    }
    for (unsigned k = 0; k < computed; ++k) {
        // A name is a line of its own in the file: one holding a control
        // character stands as "C1"...
        const std::string& name = plan.characteristicTitles[k];
        const std::string title = holdsUncarriableCharacter(name) ? "C" + std::to_string(k + 1) : name;
        const unsigned at = plan.probeCount + k;
        appendCharacteristicFields(out, at + 1, title, title, decimals[at],
                                   withDecimals(plan.characteristicLower[k], decimals[at]),
                                   withDecimals(plan.characteristicUpper[k], decimals[at]), plan.unit);
    }
    return out;
}

// "29.11.2019/13:52:30", or nothing for a stamp that is no real moment.
size_t formatDateTime(std::string_view stamp, char* out) {
    const auto time = parseTimeStamp(stamp);
    if (!time) return 0;
    char* p = out;
    const auto two = [&p](int n) {
        *p++ = static_cast<char>('0' + n / 10 % 10);
        *p++ = static_cast<char>('0' + n % 10);
    };
    two(time->day);
    *p++ = '.';
    two(time->month);
    *p++ = '.';
    two(time->year / 100);
    two(time->year % 100);
    *p++ = '/';
    two(time->hour);
    *p++ = ':';
    two(time->minute);
    *p++ = ':';
    two(time->second);
    return static_cast<size_t>(p - out);
}

char* putBytes(char* p, std::string_view bytes) {
    std::memcpy(p, bytes.data(), bytes.size());
    return p + bytes.size();
}

char* putValue(char* p, const std::optional<ScaledNumber>& value, std::string_view dateTime) {
    if (value) p += formatScaled(*value, p);
    *p++ = kFieldSeparator;
    p = putBytes(p, value ? kValidAttribute : kPlaceholderAttribute);
    *p++ = kFieldSeparator;
    return putBytes(p, dateTime);
}

bool writeValueLine(const ExportPlan& plan, unsigned computed, const records::RowView& row, records::ByteSink& sink) {
    char dateTime[kDateTimeBytes];
    const size_t dateTimeBytes = formatDateTime(records::stampText(row.timeStamp()), dateTime);
    char* const start = sink.reserve((plan.probeCount + computed) * kCharacteristicBytes + kLineEnd.size());
    if (!start) return false;
    char* p = start;
    for (unsigned k = 0; k < plan.probeCount; ++k) {
        if (k > 0) *p++ = kCharacteristicSeparator;
        const auto shown = parseValueText(row.valueText(k + 1).text());
        p = putValue(p, shown ? std::optional(inUnit(*shown, plan.unit)) : std::nullopt, {dateTime, dateTimeBytes});
    }
    for (unsigned k = 0; k < computed; ++k) {
        *p++ = kCharacteristicSeparator;
        p = putValue(p, characteristicValue(row, k, plan.unit), {dateTime, dateTimeBytes});
    }
    p = putBytes(p, kLineEnd);
    sink.commit(static_cast<size_t>(p - start));
    return true;
}

std::string refusalForCode(uint32_t row, core::Language language) {
    const auto number = records::rowNumberText(row);
    const std::string digits(number.data(), number.size());
    return core::pick(language, "The workpiece code of row ", "第") + digits +
           core::pick(
               language,
               " holds a control character or a damaged byte, which the AQDEF file cannot carry.\n"
               "Nothing was written; correct the code and save again.",
               "行的工件编码含有控制字符或损坏的字节，AQDEF 文件无法保存。\n未写入任何内容，请修改编码后重新保存。");
}

// The first row whose code the file cannot carry; rows.rowCount() when none.
uint32_t firstUncarriableCode(const records::TableSnapshot& rows, const records::GbkDecoder& decoder) {
    for (uint32_t r = 0; r < rows.rowCount(); ++r) {
        if (holdsUncarriableCharacter(codeText(rows.code(r), decoder))) return r;
    }
    return rows.rowCount();
}

}  // namespace

ExchangeResult writeAqdef(const records::TableSnapshot& rows, const ExportPlan& plan, const ExchangeOptions& options,
                          const std::string& path, records::WriteControl* control) {
    ExchangeResult result;
    result.file.path = path;
    if (holdsUncarriableCharacter(options.partNumber) || holdsUncarriableCharacter(options.partDescription)) {
        result.refusal = core::pick(plan.language,
                                    "The part number or part description holds a line break or another control "
                                    "character, which the AQDEF file cannot carry.\nNothing was written.",
                                    "零件号或零件名称含有换行符或其他控制字符，AQDEF 文件无法保存。\n未写入任何内容。");
        return result;
    }
    const records::GbkDecoder decoder;
    const bool codes = plan.codeColumn && rows.shape().codeColumn;
    if (codes) {
        if (const uint32_t bad = firstUncarriableCode(rows, decoder); bad < rows.rowCount()) {
            result.refusal = refusalForCode(bad, plan.language);
            return result;
        }
    }
    const unsigned computed = computedCount(plan, rows);
    const std::string description = descriptionBlock(plan, computed, options, decimalsOf(rows, plan));
    result.file = records::replaceFile(path, [&](records::ByteSink& sink) {
        sink.write(description);
        std::string ident;
        for (uint32_t r = 0; r < rows.rowCount(); ++r) {
            if (!writeValueLine(plan, computed, rows.row(r), sink)) return false;
            if (control) {
                control->rowsWritten(r + 1);
                if (control->stopRequested()) return false;
            }
            if (!codes || rows.code(r).empty()) continue;
            ident.assign("K0014/0 ");
            ident += codeText(rows.code(r), decoder);
            ident += kLineEnd;
            sink.write(ident);
        }
        return !sink.failed();
    });
    return result;
}

}  // namespace gaugemon::exchange
