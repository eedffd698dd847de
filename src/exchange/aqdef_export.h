#pragma once
#include <string>

#include "exchange/export_plan.h"
#include "records/table_snapshot.h"

namespace gaugemon::exchange {

// Writes the whole table to `path` as an SPC transfer file (.dfq): the part
// block, one characteristic per probe, then one value line per row. Codes or
// part texts the format cannot carry refuse the whole file before anything
// is written; a failure while writing leaves the previous file as it was.
// `control`, if any, hears of the rows written and may stop the write.
ExchangeResult writeAqdef(const records::TableSnapshot& rows, const ExportPlan& plan, const ExchangeOptions& options,
                          const std::string& path, records::WriteControl* control);

}  // namespace gaugemon::exchange
