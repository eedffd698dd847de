#include "records/record_file.h"

#include <algorithm>
#include <cstring>

#include "records/gbk.h"
#include "records/record_texts.h"
#include "tolerance/tolerance_text.h"

namespace gaugemon::records {

namespace {
constexpr size_t kResultFieldBytes = 8;  // the 4 result bytes and 4 zero bytes

void appendTwoDigits(std::string& out, unsigned n) {
    out.push_back(static_cast<char>('0' + n / 10 % 10));
    out.push_back(static_cast<char>('0' + n % 10));
}

void appendLimits(std::string& out, const LimitCounts& limits, unsigned decimals = tolerance::kHeaderLimitDecimals) {
    out += gbk::kUpperLimit;
    out += "  ";
    out += tolerance::formatHeaderLimit(limits.upper, decimals).text();
    out += ' ';
    out += gbk::kLowerLimit;
    out += "  ";
    out += tolerance::formatHeaderLimit(limits.lower, decimals).text();
}

void appendProbeTitle(std::string& out, const HeaderSpec& spec, unsigned probe) {
    if (spec.language == core::Language::English) {
        out.push_back('S');
        appendTwoDigits(out, probe);
        return;
    }
    appendTwoDigits(out, probe);
    out += "#    ";
    appendLimits(out, spec.limits[probe - 1]);
}

// The name in the file's GBK, "C1".. for a name GBK cannot hold; a name
// holding the separator or a line break would shift the fields of the header,
// and one a spreadsheet takes for a formula (kept by an earlier version)
// would run when the file is opened.
std::string characteristicName(const HeaderSpec& spec, unsigned index, char separator) {
    const std::string& name = spec.characteristics[index].name;
    std::optional<std::string> gbk = utf8ToGbk(name);
    const auto unfit = [separator](char c) { return c == separator || static_cast<unsigned char>(c) < 0x20; };
    const size_t first = name.find_first_not_of(' ');
    const bool formula =
        first != std::string::npos && std::string_view("=+-@").find(name[first]) != std::string_view::npos;
    if (name.empty() || formula || !gbk || std::ranges::any_of(*gbk, unfit)) return "C" + std::to_string(index + 1);
    return *gbk;
}

void appendCharacteristicTitle(std::string& out, const HeaderSpec& spec, unsigned index, char separator) {
    out += characteristicName(spec, index, separator);
    if (spec.language == core::Language::English) return;
    out += "    ";
    appendLimits(out, spec.characteristicLimits[index], spec.characteristics[index].decimals);
}
}  // namespace

std::string buildHeader(const HeaderSpec& spec, RecordFileFormat format) {
    const bool english = spec.language == core::Language::English;
    std::string header;
    header += english ? std::string_view("Num") : gbk::kNum;
    if (spec.codeColumn) {
        header.push_back(format.separator);
        header += english ? std::string_view("Code") : gbk::kCode;
    }
    const unsigned probes = std::min<unsigned>(spec.probeCount, measure::kMaxProbes);
    for (unsigned probe = 1; probe <= probes; ++probe) {
        header.push_back(format.separator);
        appendProbeTitle(header, spec, probe);
    }
    const unsigned characteristics =
        std::min<unsigned>(static_cast<unsigned>(spec.characteristics.size()), measure::kMaxCharacteristics);
    for (unsigned k = 0; k < characteristics; ++k) {
        header.push_back(format.separator);
        appendCharacteristicTitle(header, spec, k, format.separator);
    }
    header.push_back(format.separator);
    header += english ? std::string_view("Result") : gbk::kResult;
    header.push_back(format.separator);
    header += english ? std::string_view("Time") : gbk::kTime;
    header += format.lineEnd;
    return header;
}

size_t lineBytes(const RowShape& shape, RecordFileFormat format) {
    size_t bytes = kRowNumberDigits + 1;
    if (shape.codeColumn) bytes += 1 + kCodeSlotBytes;
    bytes += shape.valueCount() * (1 + kValueTextBytes);
    bytes += 1 + kResultFieldBytes + 1 + kTimeStampBytes + format.lineEnd.size();
    return bytes;
}

void putLine(char* p, uint32_t r, const RowView& row, std::string_view codeSlot, const RowShape& shape,
             RecordFileFormat format) {
    const char s = format.separator;
    std::memcpy(p, rowNumberText(r).data(), kRowNumberDigits);
    p += kRowNumberDigits;
    *p++ = '\0';
    if (shape.codeColumn) {
        *p++ = s;
        std::memcpy(p, codeSlot.data(), kCodeSlotBytes);
        p += kCodeSlotBytes;
    }
    // The row and the count held in locals: a field reached through a
    // reference would be read again after every byte written.
    const RowView values = row;
    const unsigned probes = shape.probeCount;
    for (unsigned k = 1; k <= probes; ++k) {
        *p++ = s;
        values.putValueText(k, p);
        p += kValueTextBytes;
    }
    for (unsigned k = 0; k < shape.characteristicCount; ++k) {
        *p++ = s;
        std::memcpy(p, row.characteristicText(k).slot.data(), kValueTextBytes);
        p += kValueTextBytes;
    }
    *p++ = s;
    std::memcpy(p, row.resultCell().data(), kResultBytes);
    std::memset(p + kResultBytes, 0, kResultFieldBytes - kResultBytes);
    p += kResultFieldBytes;
    *p++ = s;
    const TimeStamp stamp = row.timeStamp();
    std::memcpy(p, stamp.data(), kTimeStampBytes);
    p += kTimeStampBytes;
    std::memcpy(p, format.lineEnd.data(), format.lineEnd.size());
}

bool writeRows(const RecordTable& table, RecordFileFormat format, ByteSink& sink) {
    const RowShape& shape = table.shape();
    const size_t line = lineBytes(shape, format);
    for (uint32_t r = 0; r < table.rowCount(); ++r) {
        char* p = sink.reserve(line);
        if (!p) return false;
        const RowView row = table.row(r);
        putLine(p, r, row, shape.codeColumn ? row.codeSlot() : std::string_view(), shape, format);
        sink.commit(line);
    }
    return !sink.failed();
}

}  // namespace gaugemon::records
