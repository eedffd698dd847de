#pragma once
#include <string>

#include "core/language.h"
#include "measure/length_unit.h"
#include "records/atomic_file.h"
#include "records/record_table.h"
#include "statistics/process_statistics.h"

namespace gaugemon::statistics {

// The statistics table as CSV: UTF-8 with a byte-order mark (so that a
// spreadsheet reads the Chinese titles), comma separated, decimal points,
// a title line, then one line per probe and per characteristic, the cells as the window shows them
// except that an undefined figure is an empty cell.
std::string statisticsCsv(const ProcessStatistics& statistics, const records::RecordTable& table,
                          core::Language language, measure::LengthUnit unit);

// Writes it to `path` by the same replace-when-complete step as the record
// files, so a failed write leaves an earlier file whole.
records::FileWriteResult exportStatistics(const std::string& path, const ProcessStatistics& statistics,
                                          const records::RecordTable& table, core::Language language,
                                          measure::LengthUnit unit);

}  // namespace gaugemon::statistics
