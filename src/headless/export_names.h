#pragma once
#include <functional>
#include <string>

#include "core/clock.h"
#include "headless/command_line.h"

namespace gaugemon::headless {

// The period a row recorded at `time` belongs to: "2026-12-08" for a daily
// export, "2026-12-08_09" for an hourly one.
std::string periodName(const core::LocalDateTime& time, Rotation rotation);

// The export file of `period` in `directory`: <station>_<period>.xls, or
// with _2, _3, ... added when a file of that name exists already (an earlier
// run's rows of the same day are never written over).
std::string exportFilePath(const std::string& directory, const std::string& station, const std::string& period,
                           const std::function<bool(const std::string&)>& exists);

}  // namespace gaugemon::headless
