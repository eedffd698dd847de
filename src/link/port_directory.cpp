#include "link/port_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace gaugemon::link {

namespace fs = std::filesystem;

namespace {
constexpr std::string_view kDevicePrefix = "\\\\.\\";  // the \\.\ of Windows names above COM9
constexpr unsigned kHighestPortNumber = 255;

bool equalsIgnoringCase(std::string_view text, std::string_view upper) {
    if (text.size() != upper.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] >= 'a' && text[i] <= 'z' ? static_cast<char>(text[i] - 'a' + 'A') : text[i];
        if (c != upper[i]) return false;
    }
    return true;
}

std::string homeDirectory() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return {};
}
}  // namespace

PortDirectory::PortDirectory() : PortDirectory(defaultDirectory()) {}

PortDirectory::PortDirectory(fs::path directory, fs::path deviceRoot)
    : directory_(std::move(directory)), deviceRoot_(std::move(deviceRoot)) {}

fs::path PortDirectory::defaultDirectory() {
    const std::string home = homeDirectory();
    if (home.empty()) return {};
    return fs::path(home) / ".local" / "share" / "gaugemon" / "ports";
}

std::optional<unsigned> PortDirectory::portNumber(std::string_view name) {
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix) name.remove_prefix(kDevicePrefix.size());
    if (name.size() < 4 || name.size() > 6 || !equalsIgnoringCase(name.substr(0, 3), "COM")) return std::nullopt;
    unsigned number = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number > kHighestPortNumber) return std::nullopt;
    return number;
}

fs::path PortDirectory::entryFor(std::string_view name) const {
    const auto number = portNumber(name);
    if (!number || directory_.empty()) return {};
    return directory_ / ("COM" + std::to_string(*number));
}

std::string PortDirectory::devicePath(std::string_view name) const {
    if (!name.empty() && name.front() == '/') return std::string(name);
    const auto number = portNumber(name);
    if (!number) return {};

    std::error_code error;
    const fs::path entry = entryFor(name);
    if (!entry.empty() && fs::symlink_status(entry, error).type() != fs::file_type::not_found && !error) {
        // The entry is opened by its target, so the device is locked and
        // reported under its own name; the target of a dangling link (an
        // unplugged adapter) is what the operator needs to hear about.
        const fs::path target = fs::canonical(entry, error);
        if (!error) return target.string();
        const fs::path link = fs::read_symlink(entry, error);
        if (error) return entry.string();
        return (link.is_absolute() ? link : entry.parent_path() / link).lexically_normal().string();
    }

    if (*number == 0) return {};
    const std::string index = std::to_string(*number - 1);
    for (const char* family : {"ttyUSB", "ttyACM"}) {
        const fs::path candidate = deviceRoot_ / (family + index);
        if (fs::exists(candidate, error)) return candidate.string();
    }
    return (deviceRoot_ / ("ttyS" + index)).string();
}

std::error_code PortDirectory::linkPort(std::string_view name, const fs::path& device) const {
    const fs::path entry = entryFor(name);
    if (entry.empty()) return std::make_error_code(std::errc::invalid_argument);
    std::error_code error;
    fs::create_directories(directory_, error);
    if (error) return error;
    const fs::path fresh = directory_ / (entry.filename().string() + ".new-" + std::to_string(getpid()));
    fs::remove(fresh, error);
    fs::create_symlink(device, fresh, error);
    if (error) return error;
    fs::rename(fresh, entry, error);
    if (error) fs::remove(fresh);
    return error;
}

void PortDirectory::unlinkPort(std::string_view name, const fs::path& device) const {
    const fs::path entry = entryFor(name);
    std::error_code error;
    if (entry.empty() || !fs::is_symlink(entry, error)) return;
    if (fs::read_symlink(entry, error) == device && !error) fs::remove(entry, error);
}

}  // namespace gaugemon::link
