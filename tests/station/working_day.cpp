#include "working_day.h"

#include <fstream>
#include <iterator>

namespace gaugemon::testing {

std::string WorkingDay::expectedExport() {
    std::ifstream file(GAUGEMON_WORKING_DAY_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

}  // namespace gaugemon::testing
