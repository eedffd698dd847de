#pragma once
#include <QSettings>
#include <functional>
#include <memory>
#include <string>

#include "headless/command_line.h"
#include "headless/settings_overrides.h"

namespace gaugemon::station {
class Station;
}

namespace gaugemon::headless {

// Views the program adds over the station (the web page): made once the
// station is, gone before it; null for none.
using ViewStarter = std::function<std::shared_ptr<void>(station::Station& station, QSettings& settings,
                                                        const std::string& stationName)>;
// The status of a station that ends at start because it cannot hold its
// profile: another one runs on it, or its lock cannot be made.
inline constexpr int kProfileTakenStatus = 3;
// The status of a station that ends at start because its settings file
// cannot be read (not a regular file, or not readable to this account).
inline constexpr int kSettingsUnreadableStatus = 4;

// The station without a window, under a QCoreApplication made here: runs
// until SIGTERM or SIGINT and returns the exit status.
int runHeadless(int& argc, char** argv, const StartOptions& options, const ViewStarter& startViews = {});

// The stored settings a command line sets for one run: the port of --port
// COMn, fast polling, the interval of --record-every, the language and
// --connect, and no workpiece codes in an unattended run (nobody types them).
// None of them is stored, but a language or start-up choice the operator
// makes in the window is.
void applyStartOptions(const StartOptions& options, SettingsOverrides& settings);

}  // namespace gaugemon::headless
