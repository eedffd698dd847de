#pragma once
#include "headless/command_line.h"
#include "headless/settings_overrides.h"

namespace gaugemon::headless {

// The status of a station that ends at start because another one runs on
// its profile.
inline constexpr int kProfileTakenStatus = 3;

// The station without a window, under a QCoreApplication made here: runs
// until SIGTERM or SIGINT and returns the exit status.
int runHeadless(int& argc, char** argv, const StartOptions& options);

// The stored settings a command line sets for one run: the port of --port
// COMn, fast polling, the interval of --record-every, the language and
// --connect, and no workpiece codes in an unattended run (nobody types them).
// None of them is stored, but a language or start-up choice the operator
// makes in the window is.
void applyStartOptions(const StartOptions& options, SettingsOverrides& settings);

}  // namespace gaugemon::headless
