#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "core/language.h"
#include "measure/length_unit.h"
#include "records/record_columns.h"
#include "statistics/process_statistics.h"

namespace gaugemon::statistics {

// The columns of the statistics table, in order.
enum class Column : uint8_t { Probe, Count, Mean, StdDev, Min, Max, Range, NgCount, NgShare, Cp, Cpk, Pp, Ppk };
inline constexpr std::array kColumns{Column::Probe, Column::Count, Column::Mean,    Column::StdDev,  Column::Min,
                                     Column::Max,   Column::Range, Column::NgCount, Column::NgShare, Column::Cp,
                                     Column::Cpk,   Column::Pp,    Column::Ppk};

// What an undefined figure shows (an en dash, UTF-8).
inline constexpr const char* kUndefined = "\xE2\x80\x93";

// The column's title in the language, with the unit for lengths (UTF-8).
std::string columnTitle(Column column, core::Language language, measure::LengthUnit unit);

// A length in millimetres in the unit, always with a decimal point whatever
// the locale: four decimals in mm, five in inches.
std::string lengthText(double millimetres, measure::LengthUnit unit);

// The cell of one value in one column: `value` is 1-based over the probes,
// then the characteristics of `layout`, the rows'. A dash where the figure is
// undefined, never "nan" or "inf".
std::string figureText(const ProbeFigures& figures, const records::TableLayout& layout, unsigned value, Column column,
                       core::Language language, measure::LengthUnit unit);

}  // namespace gaugemon::statistics
