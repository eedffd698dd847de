#pragma once
#include <string>
#include <string_view>

#include "records/record_columns.h"

namespace gaugemon::records {

// Rebuilds a row kept in the first stored shape (the value texts, result
// cell and time stamp of the moment beside the numbers) in today's shape:
// the numbers with the unit their texts were shown in, the verdict and
// language of the result cell, the time of the stamp and the code. False,
// and `out` untouched, when `old` is not one row of `layout` in that shape.
bool rowFromFirstShape(std::string_view old, const TableLayout& layout, std::string& out);

}  // namespace gaugemon::records
