#pragma once
#include <string>

#include "exchange/export_plan.h"
#include "records/atomic_file.h"
#include "records/table_snapshot.h"

namespace gaugemon::exchange {

// Writes the whole table as a spreadsheet workbook (.xlsx) to `path`: three
// frozen header rows (titles with the unit, then the upper and the lower
// limit of every probe as numbers), then one row per recorded row with the
// row number, the code when the rows carry one, every value as a number
// with the decimals it was shown with, out-of-tolerance values in red, the
// verdict (NG in red) and the time as a date-time cell. The workbook is built
// beside the target and put in its place only when complete; on any failure
// the previous file stays as it was. `control`, if any, hears of the rows
// written and may stop the write.
records::FileWriteResult writeWorkbook(const records::TableSnapshot& rows, const ExportPlan& plan,
                                       const std::string& path, records::WriteControl* control);

}  // namespace gaugemon::exchange
