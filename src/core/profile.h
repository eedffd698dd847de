#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace gaugemon::core {

// A profile is one station among several under one account: two instruments
// on one PC each run on a profile of their own, and nothing of one (settings,
// backups, logo, journal, port links) is seen by the other. The default
// profile (no name) keeps the places a station has always used.

// The longest profile name; it becomes part of file and directory names.
inline constexpr size_t kLongestProfileName = 64;

// A profile name fit for a file name: 1 to 64 letters, digits, '.', '_' or
// '-', not starting with '.' or '-' (no path, no hidden file, no option).
bool isProfileName(std::string_view name);

// Where a station keeps its things.
struct StationPlaces {
    // The settings store's application name.
    std::string settingsName;
    // Backups and the logo, with the trailing separator.
    std::string dataDirectory;
    // The crash journal; empty for none.
    std::string journalDirectory;
    // The port links (COMn entries).
    std::filesystem::path portDirectory;
};

// The places of `profile` given those of the default profile: the default
// profile's own when `profile` is empty, else a directory of the profile's
// under each ("profiles/<name>") and a settings file named after it.
StationPlaces profilePlaces(std::string_view profile, const StationPlaces& defaults);

}  // namespace gaugemon::core
