#include "statistics/statistics_export.h"

#include "statistics/figure_text.h"

namespace gaugemon::statistics {

namespace {
constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kLineEnd = "\r\n";
}  // namespace

std::string statisticsCsv(const ProcessStatistics& statistics, const records::RecordTable& table,
                          core::Language language, display::LengthUnit unit) {
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
            csv += figureText(figures, probe, column, language, unit);
            separator = ",";
        }
        csv += kLineEnd;
    }
    return csv;
}

records::FileWriteResult exportStatistics(const std::string& path, const ProcessStatistics& statistics,
                                          const records::RecordTable& table, core::Language language,
                                          display::LengthUnit unit) {
    const std::string csv = statisticsCsv(statistics, table, language, unit);
    return records::replaceFile(path, [&](records::ByteSink& sink) {
        sink.write(csv);
        return !sink.failed();
    });
}

}  // namespace gaugemon::statistics
