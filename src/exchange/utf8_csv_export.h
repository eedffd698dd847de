#pragma once
#include <string>

#include "exchange/export_plan.h"
#include "records/table_snapshot.h"

namespace gaugemon::exchange {

// Writes the whole table as comma-separated UTF-8 text with a byte-order
// mark, which spreadsheet programs open without being told the charset: a
// header line (titles with the unit), then per row the row number, the code
// when the rows carry one, every value as a plain number in the plan's unit
// (empty where the row has none), the verdict and the time as
// "2019-11-29 13:52:30". Fields are quoted only where they need it; lines end
// in CR LF. `control`, if any, hears of the rows written and may stop the
// write; a failure leaves the previous file as it was.
records::FileWriteResult writeUtf8Csv(const records::TableSnapshot& rows, const ExportPlan& plan,
                                      const std::string& path, records::WriteControl* control);

}  // namespace gaugemon::exchange
