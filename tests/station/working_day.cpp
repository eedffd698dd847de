#include "working_day.h"

#include <fstream>
#include <iterator>

namespace gaugemon::testing {

namespace {
std::string readWhole(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}
}  // namespace

std::string WorkingDay::expectedExport() { return readWhole(GAUGEMON_WORKING_DAY_FILE); }

std::string WorkingDay::expectedExportWithCharacteristics(const std::string& extension) {
    return readWhole((GAUGEMON_WORKING_DAY_CHARACTERISTICS_STEM + extension).c_str());
}

}  // namespace gaugemon::testing
