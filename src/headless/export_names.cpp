#include "headless/export_names.h"

#include <cstdio>

namespace gaugemon::headless {

std::string periodName(const core::LocalDateTime& time, Rotation rotation) {
    char name[32];
    if (rotation == Rotation::Hourly)
        std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d", time.year, time.month, time.day, time.hour);
    else
        std::snprintf(name, sizeof name, "%04d-%02d-%02d", time.year, time.month, time.day);
    return name;
}

std::string exportFilePath(const std::string& directory, const std::string& station, const std::string& period,
                           const std::function<bool(const std::string&)>& exists) {
    std::string base = directory;
    if (!base.empty() && base.back() != '/') base += '/';
    base += station + "_" + period;
    std::string path = base + ".xls";
    for (int copy = 2; exists(path); ++copy) path = base + "_" + std::to_string(copy) + ".xls";
    return path;
}

}  // namespace gaugemon::headless
