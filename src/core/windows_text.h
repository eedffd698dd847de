#pragma once
#include <string>
#include <string_view>

namespace gaugemon::core {

// The station's paths and texts are UTF-8; Windows takes UTF-16 for the
// names of files and devices.
std::wstring wideOf(std::string_view utf8);
std::string utf8Of(std::wstring_view wide);

// The errno value that names a Windows error as the station's messages do on
// every system (EACCES, ENOSPC, ...); EIO for one it has no name for.
int errnoOf(unsigned long windowsError);

}  // namespace gaugemon::core
