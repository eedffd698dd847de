#include "exchange/utf8_csv_export.h"

#include <algorithm>

#include "exchange/row_fields.h"

namespace gaugemon::exchange {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kNumberBytes = 24;

// A field as a spreadsheet reads it back: quoted when it holds a separator,
// a quote or a line break. A text that a spreadsheet would take for a
// formula gets an apostrophe in front, so that opening the file runs nothing.
void appendText(std::string& out, std::string_view text) {
    const bool formula = !text.empty() && std::string_view("=+-@").find(text.front()) != std::string_view::npos;
    const bool quoted = formula || text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (quoted) out.push_back('"');
    if (formula) out.push_back('\'');
    for (const char c : text) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    if (quoted) out.push_back('"');
}

void appendTwoDigits(std::string& out, int n) {
    out.push_back(static_cast<char>('0' + n / 10 % 10));
    out.push_back(static_cast<char>('0' + n % 10));
}

// "2019-11-29 13:52:30", the form both spreadsheets take for a date-time; a
// stamp that is no real moment as recorded, if it is plain text.
void appendTime(std::string& out, std::string_view stamp) {
    if (const auto time = parseTimeStamp(stamp)) {
        appendTwoDigits(out, time->year / 100);
        appendTwoDigits(out, time->year % 100);
        out.push_back('-');
        appendTwoDigits(out, time->month);
        out.push_back('-');
        appendTwoDigits(out, time->day);
        out.push_back(' ');
        appendTwoDigits(out, time->hour);
        out.push_back(':');
        appendTwoDigits(out, time->minute);
        out.push_back(':');
        appendTwoDigits(out, time->second);
        return;
    }
    if (std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= 0x20 && c < 0x7F; })) appendText(out, stamp);
}

std::string headerLine(const ExportPlan& plan) {
    const core::Language l = plan.language;
    std::string out(kByteOrderMark);
    out += core::pick(l, "Num", "序号");
    if (plan.codeColumn) out += std::string(",") + core::pick(l, "Code", "编码");
    for (unsigned k = 1; k <= plan.probeCount; ++k) {
        out += ',';
        out += core::pick(l, "S", "测头");
        appendTwoDigits(out, static_cast<int>(k));
        out += std::string(" (") + unitName(plan.unit) + ")";
    }
    for (const std::string& title : plan.characteristicTitles) {
        out += ',';
        appendText(out, title + " (" + unitName(plan.unit) + ")");
    }
    out += std::string(",") + core::pick(l, "Result", "结果") + "," + core::pick(l, "Time", "时间");
    out += kLineEnd;
    return out;
}

void appendRow(std::string& out, const ExportPlan& plan, const records::TableSnapshot& rows, uint32_t r,
               const records::GbkDecoder& decoder) {
    const records::RowView row = rows.row(r);
    out += std::to_string(r + 1);
    if (plan.codeColumn) {
        out += ',';
        appendText(out, codeText(rows.code(r), decoder));
    }
    char number[kNumberBytes];
    for (unsigned k = 1; k <= plan.probeCount; ++k) {
        out += ',';
        if (const auto shown = parseValueText(row.valueText(k).text()))
            out.append(number, formatScaled(inUnit(*shown, plan.unit), number));
    }
    const unsigned computed = std::min(plan.characteristicCount(), rows.shape().characteristicCount);
    for (unsigned k = 0; k < plan.characteristicCount(); ++k) {
        out += ',';
        // A row of fewer characteristics than the header has empty fields.
        if (k >= computed) continue;
        if (const auto value = characteristicValue(row, k, plan.unit)) out.append(number, formatScaled(*value, number));
    }
    out += ',';
    out += verdictText(row.resultCell());
    out += ',';
    appendTime(out, records::stampText(row.timeStamp()));
    out += kLineEnd;
}

}  // namespace

records::FileWriteResult writeUtf8Csv(const records::TableSnapshot& rows, const ExportPlan& plan,
                                      const std::string& path, records::WriteControl* control) {
    const std::string header = headerLine(plan);
    return records::replaceFile(path, [&](records::ByteSink& sink) {
        sink.write(header);
        const records::GbkDecoder decoder;
        std::string line;
        for (uint32_t r = 0; r < rows.rowCount(); ++r) {
            line.clear();
            appendRow(line, plan, rows, r, decoder);
            sink.write(line);
            if (!control) continue;
            control->rowsWritten(r + 1);
            if (control->stopRequested()) return false;
        }
        return !sink.failed();
    });
}

}  // namespace gaugemon::exchange
