#include "statistics/statistics_export.h"

#include "statistics/figure_text.h"

namespace gaugemon::statistics {

namespace {
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kLineEnd = "\r\n";

// An undefined figure is an empty cell: a spreadsheet reads that as no value,
// where the window's dash would make the column text.
std::string cellOf(const ProbeFigures& figures, unsigned probe, Column column, core::Language language,
                   measure::LengthUnit unit) {
    std::string text = figureText(figures, probe, column, language, unit);
    if (text == kUndefined) text.clear();
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
    for (unsigned probe = 1; probe <= statistics.probeCount(); ++probe) {
        const ProbeFigures figures = statistics.figures(table, probe);
        separator = "";
        for (Column column : kColumns) {
            csv += separator;
            csv += cellOf(figures, probe, column, language, unit);
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
