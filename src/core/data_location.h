#pragma once
#include <filesystem>
#include <string>

namespace gaugemon::core {

// Where the station keeps the day's backup and looks for its logo
// (Dat/Res/logo.bmp).
//
// A program unpacked into a directory of its own, or run from its build
// directory, keeps them beside itself, as it always has. An installed one
// (/usr/bin/gaugemon) must not: that directory is shared with every other
// program and, for anybody but root, not writable. Then the per-user data
// directory (~/.local/share/gaugemon) takes them.

// True when `executableDir` is the program's own: writable, and not a
// directory that installs put programs in (one named "bin" or "sbin",
// whatever its prefix: /usr/bin, /usr/local/bin, ~/.local/bin).
bool runsFromItsOwnDirectory(const std::filesystem::path& executableDir, bool writable);

// The data directory for a program in `executableDir`, with its trailing
// separator: the executable's directory when it is the program's own, else
// `perUserDir`. Without a per-user directory (no home) the executable's
// directory is all there is.
std::string stationDataDirectory(const std::filesystem::path& executableDir, bool writable,
                                 const std::filesystem::path& perUserDir);

// The same for the directory as it is on this machine; a per-user directory
// that is chosen is created if it is missing.
std::string findStationDataDirectory(const std::filesystem::path& executableDir,
                                     const std::filesystem::path& perUserDir);

}  // namespace gaugemon::core
