#include "headless/station_start.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/data_location.h"
#include "core/logging.h"
#include "core/regular_file.h"
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

// Why the settings in `file` cannot be read; empty when they can or are not
// there yet. Only a regular file is opened, and without blocking, since a
// FIFO in its place would make the start wait for a writer for good.
std::string unreadableReason(const std::string& file) {
    if (file.empty()) return {};
    const core::RegularFile found = core::readRegularFile(file, 0);
    if (found.opened || found.error == ENOENT) return {};
    return found.error != 0 ? std::generic_category().message(found.error) : std::string("not a regular file");
}

std::string unreadableText(const std::string& file, const std::string& reason, core::Language language) {
    return core::pick(language, "The settings file ", "无法读取设置文件 ") + file +
           core::pick(language, " cannot be read (", " (") + reason +
           core::pick(language,
                      "); the station does not start, so that its limits and characteristics are not replaced by "
                      "defaults.",
                      ")；为免公差和特性被默认值取代，测量站不启动。");
}

}  // namespace

StationStart::Parts::Parts(const StartOptions& options, const core::StationPlaces& places)
    : stored(QString::fromStdString(places.settingsName)),
      ports(portsOf(options, places)),
      demo(options.demo ? std::make_unique<DemoLine>(clock) : nullptr) {}

StationStart::StationStart(const StartOptions& options) : options_(options), places_(placesOf(options)) {
    const core::ProfileLock::Outcome lock = lock_.take(lockDirectory(places_));
    const std::string settingsFile =
        QFile::encodeName(core::QtSettingsStore::userFile(QString::fromStdString(places_.settingsName))).toStdString();
    const std::string unreadable = unreadableReason(settingsFile);
    if (lock != core::ProfileLock::Outcome::Held)
        refusal_ = Refusal{kProfileTakenStatus, profileText(lock, refusalLanguage(unreadable.empty()))};
    else if (!unreadable.empty())
        refusal_ = Refusal{kSettingsUnreadableStatus, unreadableText(settingsFile, unreadable, refusalLanguage(false))};
    if (refusal_) return;
    parts_ = std::make_unique<Parts>(options, places_);
    applyStartOptions(options, parts_->settings);
    if (!options.profile.empty()) qCInfo(core::stationLog, "profile %s", options.profile.c_str());
    qCInfo(core::stationLog, options.headless ? "backups in %s" : "backups and the logo in %s",
           places_.dataDirectory.c_str());
}

// The run's --language, else the stored one when the settings can be read.
core::Language StationStart::refusalLanguage(bool settingsReadable) const {
    if (options_.language) return *options_.language;
    if (!settingsReadable) return core::languageFromSetting(core::defaults::kLanguage);
    const core::QtSettingsStore stored(QString::fromStdString(places_.settingsName));
    return core::languageFromSetting(stored.readInt(core::keys::kLanguage, core::defaults::kLanguage));
}

std::string StationStart::profileText(core::ProfileLock::Outcome lock, core::Language language) const {
    if (lock == core::ProfileLock::Outcome::Unavailable)
        return core::pick(language, "The station's lock cannot be made (", "无法建立测量站的锁 (") + lock_.failure() +
               core::pick(language,
                          "); without it a second station could run on this profile, so this one does not start.",
                          ")；没有它，另一个测量站可能在同一配置上运行，因此本测量站不启动。");
    if (options_.profile.empty())
        return core::pick(language, "Another station of this account is already running.",
                          "本账户的另一个测量站已在运行!");
    return core::pick(language, "The station of profile \"", "配置 \"") + options_.profile +
           core::pick(language, "\" is already running.", "\" 的测量站已在运行!");
}

station::StationSeams StationStart::seams(core::Prompts& prompts) {
    link::SerialPort& line = parts_->demo ? parts_->demo->port() : static_cast<link::SerialPort&>(parts_->port);
    return {parts_->settings,      parts_->timers,           parts_->clock, line, prompts,
            places_.dataDirectory, places_.journalDirectory, &parts_->texts};
}

}  // namespace gaugemon::headless
