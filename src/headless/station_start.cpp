#include "headless/station_start.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <system_error>

#include "core/data_location.h"
#include "core/logging.h"
#include "headless/run_headless.h"
#include "journal/journal_location.h"
#include "link/port_directory.h"

namespace gaugemon::headless {
namespace {

// The executable's base name names the settings and the per-user data
// directory, as on every platform; set before either is looked up.
core::StationPlaces defaultPlaces() {
    const QFileInfo executable(QCoreApplication::applicationFilePath());
    QCoreApplication::setApplicationName(executable.completeBaseName());
    // Beside the program when it runs from a directory of its own, else in
    // the per-user data directory.
    return {
        executable.completeBaseName().toStdString(),
        core::findStationDataDirectory(executable.absolutePath().toStdString(),
                                       QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString()),
        journal::defaultJournalDirectory(), link::PortDirectory::defaultDirectory()};
}

// Where the lock of the profile goes: beside its journal, which only one
// station may write, else beside its backups.
const std::string& lockDirectory(const core::StationPlaces& places) {
    return places.journalDirectory.empty() ? places.dataDirectory : places.journalDirectory;
}

// A profile's own data directory is made at its first start; the default
// one was made when it was chosen.
core::StationPlaces placesOf(const StartOptions& options) {
    core::StationPlaces places = core::profilePlaces(options.profile, defaultPlaces());
    if (options.profile.empty()) return places;
    std::error_code error;
    std::filesystem::create_directories(places.dataDirectory, error);
    if (error)
        qCWarning(core::stationLog, "cannot create the data directory %s: %s", places.dataDirectory.c_str(),
                  error.message().c_str());
    return places;
}

PortChoice portsOf(const StartOptions& options, const core::StationPlaces& places) {
    PortChoice choice = choosePorts(options, places.dataDirectory);
    // A device path has a port directory of the run's own.
    if (!choice.directory) choice.ports = link::PortDirectory(places.portDirectory);
    return choice;
}

}  // namespace

StationStart::StationStart(const StartOptions& options)
    : options_(options),
      places_(placesOf(options)),
      lockOutcome_(lock_.take(lockDirectory(places_))),
      stored_(QString::fromStdString(places_.settingsName)),
      settings_(stored_),
      ports_(portsOf(options, places_)),
      port_(ports_.ports),
      demo_(options.demo ? std::make_unique<DemoLine>(clock_) : nullptr) {
    applyStartOptions(options, settings_);
    if (!options.profile.empty()) qCInfo(core::stationLog, "profile %s", options.profile.c_str());
    qCInfo(core::stationLog, options.headless ? "backups in %s" : "backups and the logo in %s",
           places_.dataDirectory.c_str());
}

core::Language StationStart::language() const {
    // The run's --language is among the settings read.
    return core::languageFromSetting(settings_.readInt(core::keys::kLanguage, core::defaults::kLanguage));
}

std::string StationStart::profileTakenText() const {
    if (options_.profile.empty())
        return core::pick(language(), "Another station of this account is already running.",
                          "本账户的另一个测量站已在运行!");
    return core::pick(language(), "The station of profile \"", "配置 \"") + options_.profile +
           core::pick(language(), "\" is already running.", "\" 的测量站已在运行!");
}

station::StationSeams StationStart::seams(core::Prompts& prompts) {
    link::SerialPort& line = demo_ ? demo_->port() : static_cast<link::SerialPort&>(port_);
    return {settings_, timers_, clock_, line, prompts, places_.dataDirectory, places_.journalDirectory, &texts_};
}

}  // namespace gaugemon::headless
