#include "statistics/figure_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace gaugemon::statistics {

namespace {

constexpr double kMillimetresPerInch = 25.4;
constexpr int kMillimetreDecimals = 4;
constexpr int kInchDecimals = 5;
constexpr int kIndexDecimals = 2;
constexpr int kShareDecimals = 2;

// Fixed notation through to_chars, which ignores the locale the window
// library sets, so a German desktop still gets a decimal point.
std::string fixed(double value, int decimals) {
    if (!std::isfinite(value)) return kUndefined;
    char text[64];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    if (error != std::errc{}) return kUndefined;
    std::string result(text, end);
    // A tiny negative value rounds to "-0.0000": no sign on a zero.
    if (result.front() == '-' && result.find_first_not_of("-0.") == std::string::npos) result.erase(0, 1);
    return result;
}

std::string optionalFixed(const std::optional<double>& value, int decimals) {
    return value ? fixed(*value, decimals) : std::string(kUndefined);
}

std::string optionalLength(const std::optional<double>& millimetres, measure::LengthUnit unit) {
    return millimetres ? lengthText(*millimetres, unit) : std::string(kUndefined);
}

bool isLength(Column column) {
    switch (column) {
        case Column::Mean:
        case Column::StdDev:
        case Column::Min:
        case Column::Max:
        case Column::Range: return true;
        default: return false;
    }
}

const char* plainTitle(Column column, core::Language language) {
    using core::pick;
    switch (column) {
        case Column::Probe: return pick(language, "Probe", "测头");
        case Column::Count: return pick(language, "n", "数量");
        case Column::Mean: return pick(language, "Mean", "平均值");
        case Column::StdDev: return pick(language, "Std dev", "标准差");
        case Column::Min: return pick(language, "Min", "最小值");
        case Column::Max: return pick(language, "Max", "最大值");
        case Column::Range: return pick(language, "Range", "极差");
        case Column::NgCount: return pick(language, "NG", "超差数");
        case Column::NgShare: return pick(language, "NG %", "超差率%");
        case Column::Cp: return "Cp";
        case Column::Cpk: return "Cpk";
        case Column::Pp: return "Pp";
        case Column::Ppk: return "Ppk";
    }
    return "";
}

// "S01" / "测头01" for probe 1, a characteristic by its name or "C1"..
std::string valueName(const records::TableLayout& layout, unsigned value, core::Language language) {
    if (value > layout.probeCount) return records::characteristicTitle(layout, value - layout.probeCount - 1);
    char digits[8];
    std::snprintf(digits, sizeof digits, "%02u", value % 100);
    return std::string(core::pick(language, "S", "测头")) + digits;
}

}  // namespace

std::string columnTitle(Column column, core::Language language, measure::LengthUnit unit) {
    std::string title = plainTitle(column, language);
    if (isLength(column)) title += unit == measure::LengthUnit::Inch ? " (in)" : " (mm)";
    return title;
}

std::string lengthText(double millimetres, measure::LengthUnit unit) {
    if (unit == measure::LengthUnit::Inch) return fixed(millimetres / kMillimetresPerInch, kInchDecimals);
    return fixed(millimetres, kMillimetreDecimals);
}

std::string figureText(const ProbeFigures& f, const records::TableLayout& layout, unsigned value, Column column,
                       core::Language language, measure::LengthUnit unit) {
    switch (column) {
        case Column::Probe: return valueName(layout, value, language);
        case Column::Count: return std::to_string(f.count);
        case Column::Mean: return optionalLength(f.mean, unit);
        case Column::StdDev: return optionalLength(f.stdDev, unit);
        case Column::Min: return optionalLength(f.min, unit);
        case Column::Max: return optionalLength(f.max, unit);
        case Column::Range: return optionalLength(f.range, unit);
        case Column::NgCount: return std::to_string(f.ngCount);
        case Column::NgShare: return f.ngShare ? fixed(*f.ngShare * 100.0, kShareDecimals) : std::string(kUndefined);
        case Column::Cp: return optionalFixed(f.cp, kIndexDecimals);
        case Column::Cpk: return optionalFixed(f.cpk, kIndexDecimals);
        case Column::Pp: return optionalFixed(f.pp, kIndexDecimals);
        case Column::Ppk: return optionalFixed(f.ppk, kIndexDecimals);
    }
    return kUndefined;
}

}  // namespace gaugemon::statistics
