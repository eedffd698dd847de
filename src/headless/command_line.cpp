#include "headless/command_line.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QSysInfo>
#include <cmath>

#include "core/listen_address.h"
#include "core/profile.h"
#include "link/port_directory.h"
#include "plant/mqtt_options.h"
#include "records/recorder.h"

namespace gaugemon::headless {
namespace {

const char* const kDescription =
    "A monitoring station for electronic length gauges on a serial port.\n"
    "Ports COM1..COM16 are looked up in ~/.local/share/gaugemon/ports/; opening a\n"
    "serial port needs membership of the dialout group. With --headless the station\n"
    "runs without a window, logs to standard error and ends cleanly on SIGTERM.";

struct Options {
    QCommandLineOption help{{"h", "help"}, "Show this help and exit."};
    QCommandLineOption version{{"v", "version"}, "Show the version and exit."};
    QCommandLineOption trace{"trace",
                             "Log the link's events and every frame sent and received, in hex with its time, "
                             "on standard error (logging categories gaugemon.link and gaugemon.link.frames)."};
    QCommandLineOption headless{"headless",
                                "Run without a window: find the instrument, record, export and "
                                "publish unattended; keep looking for the instrument every 10 s."};
    QCommandLineOption port{"port", "The serial port: COMn or a device path such as /dev/ttyUSB0.", "port"};
    QCommandLineOption recordEvery{"record-every", "Record a row every SECONDS (0.1 to 86400); headless only.",
                                   "seconds"};
    QCommandLineOption exportDirectory{"export-dir",
                                       "Export the rows of each day or hour to a file in DIR; headless only.", "dir"};
    QCommandLineOption rotate{"rotate", "Start a new export file daily or hourly (default: daily).", "daily|hourly"};
    QCommandLineOption fast{"fast", "Poll in the fast mode: the next request as soon as the answer is complete."};
    QCommandLineOption station{"station", "The station's name in file names and topics (default: the host's name).",
                               "name"};
    QCommandLineOption mqtt{"mqtt",
                            "Publish to the MQTT broker at URL (tcp://host:1883, ssl://host:8883); the user and "
                            "password come from GAUGEMON_MQTT_USER and GAUGEMON_MQTT_PASSWORD.",
                            "url"};
    QCommandLineOption language{"language", "The language of this run's window and log (default: the stored one).",
                                "zh|en"};
    QCommandLineOption profile{"profile",
                               "Run as the station of profile NAME, with settings, backups, logo, journal and port "
                               "directory of its own (default: the account's own).",
                               "name"};
    QCommandLineOption connect{"connect",
                               "Look for the instrument as soon as the window opens (a headless station always does)."};
    QCommandLineOption demo{"demo", "Measure without hardware: a simulated instrument inside the program, on COM3."};
    QCommandLineOption http{"http", "Serve the live web page and its API at ADDR:PORT (PORT alone: on 127.0.0.1 only).",
                            "addr:port"};

    void addTo(QCommandLineParser& parser) const {
        for (const QCommandLineOption* option :
             {&help, &version, &trace, &headless, &port, &recordEvery, &exportDirectory, &rotate, &fast, &station,
              &mqtt, &language, &connect, &http, &profile, &demo})
            parser.addOption(*option);
    }
    // The options that take a value, with their value as the next argument or after '='.
    bool takesValue(const QString& argument) const {
        for (const QCommandLineOption* option :
             {&port, &recordEvery, &exportDirectory, &rotate, &station, &mqtt, &language, &http, &profile})
            if (argument == QLatin1String("--") + option->names().constFirst()) return true;
        return false;
    }
};

// The program's own arguments; the toolkit's stay out.
QStringList ownArguments(const QStringList& arguments, const Options& options) {
    QStringList own{arguments.value(0)};
    bool valueNext = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (valueNext || argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-v") || !argument.startsWith(QLatin1Char('-'))) {
            own << argument;
            valueNext = !valueNext && options.takesValue(argument);
        } else {
            // A toolkit option such as -platform takes its value along.
            if (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-'))) ++i;
        }
    }
    return own;
}

// An argument as an error line may show it: a password in a URL never reaches the log.
QString shown(const QString& argument) {
    return QString::fromStdString(plant::withoutCredentials(argument.toStdString()));
}

CommandLine badUsage(const QString& message) {
    CommandLine line;
    line.exitStatus = kBadUsageStatus;
    line.error = "gaugemon: " + message.toStdString() + "\nTry 'gaugemon --help'.\n";
    return line;
}

bool isPortName(const QString& port) {
    if (port.startsWith(QLatin1Char('/'))) return true;
    const auto number = link::PortDirectory::portNumber(port.toStdString());
    return number && *number >= 1 && *number <= 16;
}

bool isBrokerUrl(const QString& url) {
    plant::MqttOptions options;
    options.brokerUrl = url.toStdString();
    options.station = "check";
    return plant::checkMqttOptions(options, core::Language::English).empty();
}

// Reads the options that shape a headless run; a message when one is wrong.
std::optional<QString> readHeadlessOptions(const QCommandLineParser& parser, const Options& o, StartOptions& start) {
    for (const QCommandLineOption* option : {&o.recordEvery, &o.exportDirectory, &o.rotate})
        if (parser.isSet(*option) && !start.headless)
            return QStringLiteral("option '--%1' needs --headless").arg(option->names().constFirst());
    if (parser.isSet(o.recordEvery)) {
        bool number = false;
        const double seconds = parser.value(o.recordEvery).toDouble(&number);
        const double lowest = records::kMinAutoPeriodMs / 1000.0;
        const double highest = records::kMaxAutoPeriodMs / 1000.0;
        if (!number || !std::isfinite(seconds) || seconds < lowest || seconds > highest)
            return QStringLiteral("option '--record-every' wants seconds from 0.1 to 86400, not '%1'")
                .arg(parser.value(o.recordEvery));
        start.recordEverySeconds = seconds;
    }
    if (parser.isSet(o.exportDirectory)) {
        start.exportDirectory = parser.value(o.exportDirectory).toStdString();
        if (start.exportDirectory.empty()) return QStringLiteral("option '--export-dir' wants a directory");
    }
    if (parser.isSet(o.rotate)) {
        const QString rotation = parser.value(o.rotate);
        if (rotation != QLatin1String("daily") && rotation != QLatin1String("hourly"))
            return QStringLiteral("option '--rotate' wants daily or hourly, not '%1'").arg(rotation);
        if (start.exportDirectory.empty()) return QStringLiteral("option '--rotate' needs --export-dir");
        start.rotation = rotation == QLatin1String("hourly") ? Rotation::Hourly : Rotation::Daily;
    }
    return std::nullopt;
}

// Reads the options both kinds of station take; a message when one is wrong.
std::optional<QString> readStationOptions(const QCommandLineParser& parser, const Options& o, StartOptions& start) {
    if (parser.isSet(o.port)) {
        if (!isPortName(parser.value(o.port)))
            return QStringLiteral("option '--port' wants COM1..COM16 or a device path, not '%1'")
                .arg(parser.value(o.port));
        start.port = parser.value(o.port).toStdString();
    }
    if (parser.isSet(o.station)) {
        start.station = parser.value(o.station).toStdString();
        if (!isStationName(start.station))
            return QStringLiteral("option '--station' wants letters, digits, '.', '_' or '-', not '%1'")
                .arg(parser.value(o.station));
    }
    if (parser.isSet(o.mqtt)) {
        if (!isBrokerUrl(parser.value(o.mqtt)))
            return QStringLiteral(
                       "option '--mqtt' wants a broker URL such as tcp://host:1883 or ssl://host:8883 (the user and "
                       "password from GAUGEMON_MQTT_USER and GAUGEMON_MQTT_PASSWORD), not '%1'")
                .arg(shown(parser.value(o.mqtt)));
        start.mqttUrl = parser.value(o.mqtt).toStdString();
    }
    if (parser.isSet(o.language)) {
        const QString language = parser.value(o.language);
        if (language != QLatin1String("zh") && language != QLatin1String("en"))
            return QStringLiteral("option '--language' wants zh or en, not '%1'").arg(language);
        start.language = language == QLatin1String("en") ? core::Language::English : core::Language::Chinese;
    }
    if (parser.isSet(o.http)) {
        if (!core::parseListenAddress(parser.value(o.http).toStdString()))
            return QStringLiteral("option '--http' wants ADDR:PORT such as 127.0.0.1:8080, or a port, not '%1'")
                .arg(parser.value(o.http));
        start.httpAddress = parser.value(o.http).toStdString();
    }
    if (parser.isSet(o.profile)) {
        start.profile = parser.value(o.profile).toStdString();
        if (!core::isProfileName(start.profile))
            return QStringLiteral(
                       "option '--profile' wants 1 to 64 letters, digits, '.', '_' or '-', not starting with '.' or "
                       "'-', not '%1'")
                .arg(parser.value(o.profile).left(80));
    }
    start.fast = parser.isSet(o.fast);
    start.connect = parser.isSet(o.connect);
    start.demo = parser.isSet(o.demo);
    return std::nullopt;
}

}  // namespace

bool isStationName(const std::string& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return pattern.match(QString::fromStdString(name)).hasMatch() && name != "." && name != "..";
}

std::string stationNameOf(const StartOptions& options) {
    if (!options.station.empty()) return options.station;
    const std::string host = QSysInfo::machineHostName().toStdString();
    return isStationName(host) ? host : std::string("station");
}

CommandLine readCommandLine(const QStringList& arguments, const char* version) {
    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    options.addTo(parser);
    if (!parser.parse(ownArguments(arguments, options))) return badUsage(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return badUsage(
            QStringLiteral("unexpected argument '%1'").arg(shown(parser.positionalArguments().constFirst())));

    CommandLine line;
    if (parser.isSet(options.help)) {
        // The usage line names the program, whatever the file is called and
        // whether an application object exists yet.
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: gaugemon"));
        line.output = text.toStdString();
        line.exitStatus = 0;
        return line;
    }
    if (parser.isSet(options.version)) {
        line.output = std::string("gaugemon ") + version + "\n";
        line.exitStatus = 0;
        return line;
    }
    StartOptions& start = line.options;
    start.trace = parser.isSet(options.trace);
    start.headless = parser.isSet(options.headless);
    if (const auto wrong = readStationOptions(parser, options, start)) return badUsage(*wrong);
    if (const auto wrong = readHeadlessOptions(parser, options, start)) return badUsage(*wrong);
    return line;
}

}  // namespace gaugemon::headless
