#pragma once
#include <QStringList>
#include <optional>
#include <string>

#include "core/language.h"

namespace gaugemon::headless {

enum class Rotation : uint8_t { Daily, Hourly };

// What the command line asks of the station that starts.
struct StartOptions {
    bool trace = false;
    bool headless = false;
    // "COMn" or the path of a serial device; empty: the stored port.
    std::string port;
    // Automatic recording at this period; nothing: only on the instrument's request.
    std::optional<double> recordEverySeconds;
    // Where the periodic export goes; empty: no export.
    std::string exportDirectory;
    Rotation rotation = Rotation::Daily;
    bool fast = false;
    // The station's name in file names and topics; empty: the host's name.
    std::string station;
    // The broker to publish to; empty: the stored setting.
    std::string mqttUrl;
    // The language of this run's texts; nothing: the stored one.
    std::optional<core::Language> language;
    // The station's profile; empty: the default one.
    std::string profile;
    // The window looks for the instrument as soon as it opens.
    bool connect = false;
    // Where the web page listens, "ADDR:PORT"; empty: the stored setting.
    std::string httpAddress;
    // The simulated instrument inside the program, on COM3, instead of a port.
    bool demo = false;
};

// The command line read: either the station starts with `options`, or the
// program ends at once with `exitStatus`, printing `output` (help, version)
// on standard output or `error` (one line naming the option) on standard error.
struct CommandLine {
    StartOptions options;
    std::optional<int> exitStatus;
    std::string output;
    std::string error;
};

inline constexpr int kBadUsageStatus = 2;

// Reads the program's own options from `arguments` (the first is the
// program). Options of one dash other than -h and -v (-platform, -style, ...)
// are the toolkit's and are left to it.
CommandLine readCommandLine(const QStringList& arguments, const char* version);

// A station name fit for a file name and a topic level: letters, digits, '.', '_', '-'.
bool isStationName(const std::string& name);

// The station's name: the one given, else the machine's host name when it is
// fit for one, else "station".
std::string stationNameOf(const StartOptions& options);

}  // namespace gaugemon::headless
