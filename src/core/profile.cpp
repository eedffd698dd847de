#include "core/profile.h"

#include <algorithm>

namespace gaugemon::core {

namespace fs = std::filesystem;

bool isProfileName(std::string_view name) {
    if (name.empty() || name.size() > kLongestProfileName || name.front() == '.' || name.front() == '-') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
               c == '-';
    });
}

StationPlaces profilePlaces(std::string_view profile, const StationPlaces& defaults) {
    if (profile.empty()) return defaults;
    const std::string name(profile);
    StationPlaces places;
    places.settingsName = defaults.settingsName + "-" + name;
    places.dataDirectory = (fs::path(defaults.dataDirectory) / "profiles" / name).string() + '/';
    if (!defaults.journalDirectory.empty())
        places.journalDirectory = (fs::path(defaults.journalDirectory) / "profiles" / name).string();
    // Beside the default port directory, not in it: a profile named "COM3"
    // must not stand for a port.
    if (!defaults.portDirectory.empty())
        places.portDirectory = defaults.portDirectory.parent_path() / "profiles" / name / "ports";
    return places;
}

}  // namespace gaugemon::core
