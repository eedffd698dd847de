#include "statistics/statistics_export.h"

#include <string_view>

#include "statistics/figure_text.h"

namespace gaugemon::statistics {

namespace {
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kLineEnd = "\r\n";

// An undefined figure is an empty cell: a spreadsheet reads that as no value,
// where the window's dash would make the column text.
std::string cellOf(const ProbeFigures& figures, const records::TableLayout& layout, unsigned value, Column column,
                   core::Language language, measure::LengthUnit unit) {
    std::string text = figureText(figures, layout, value, column, language, unit);
    if (text == kUndefined) text.clear();
    // A characteristic's name a spreadsheet would take for a formula is
    // kept as text (names hold no comma or quote).
    if (column == Column::Probe && !text.empty() &&
        std::string_view("=+-@").find(text.front()) != std::string_view::npos)
        text.insert(0, 1, '\'');
    return text;
}

}  // namespace

std::string statisticsCsv(const ProcessStatistics& statistics, const records::RecordTable& table,
                          core::Language language, measure::LengthUnit unit) {
    std::string csv = kByteOrderMark;
    const char* separator = "";
    for (Column column : kColumns) {
        csv += separator;
        csv += columnTitle(column, language, unit);
        separator = ",";
    }
    csv += kLineEnd;
    for (unsigned value = 1; value <= statistics.valueCount(); ++value) {
        const ProbeFigures figures = statistics.figures(table, value);
        separator = "";
        for (Column column : kColumns) {
            csv += separator;
            csv += cellOf(figures, table.layout(), value, column, language, unit);
            separator = ",";
        }
        csv += kLineEnd;
    }
    return csv;
}

records::FileWriteResult exportStatistics(const std::string& path, const ProcessStatistics& statistics,
                                          const records::RecordTable& table, core::Language language,
                                          measure::LengthUnit unit) {
    const std::string csv = statisticsCsv(statistics, table, language, unit);
    return records::replaceFile(path, [&](records::ByteSink& sink) {
        sink.write(csv);
        return !sink.failed();
    });
}

}  // namespace gaugemon::statistics
