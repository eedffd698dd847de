#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace gaugemon::link {

// Where the station's port names ("COM3", "\\.\COM12") lead on Linux.
//
// An entry named COMn in the per-user port directory (a symlink, or the device
// node itself) stands for port n: the simulator links its pseudo-terminal
// there, and an operator can link a stable /dev/serial/by-id/... name. Without
// an entry, COMn is the n-th port of the machine: /dev/ttyUSB(n-1) when it
// exists, else /dev/ttyACM(n-1), else /dev/ttyS(n-1).
class PortDirectory {
public:
    // The operator's directory, ~/.local/share/gaugemon/ports.
    PortDirectory();
    // Another directory (tests, a second station); `deviceRoot` stands for /dev.
    explicit PortDirectory(std::filesystem::path directory, std::filesystem::path deviceRoot = "/dev");

    const std::filesystem::path& directory() const { return directory_; }

    // The entry that stands for `name`, e.g. <directory>/COM12 for "\\.\COM12";
    // empty when `name` is not a port name.
    std::filesystem::path entryFor(std::string_view name) const;

    // The device to open for `name`: the entry's target, or the default device.
    // An absolute path is taken as it is. Empty when `name` is no port name or
    // COM0, which has no n-th device.
    std::string devicePath(std::string_view name) const;

    // Makes `device` stand for port `name` (a simulator's pseudo-terminal):
    // creates the directory and replaces an existing entry in one step, so a
    // station opening the port meanwhile finds the old entry or the new one.
    std::error_code linkPort(std::string_view name, const std::filesystem::path& device) const;
    // Removes the entry of `name` if it is a link to `device`, and only then:
    // another program may have taken the name over since.
    void unlinkPort(std::string_view name, const std::filesystem::path& device) const;

    // n of "COMn" or "\\.\COMn" (any letter case), n at most 255.
    static std::optional<unsigned> portNumber(std::string_view name);
    static std::filesystem::path defaultDirectory();

private:
    std::filesystem::path directory_;
    std::filesystem::path deviceRoot_;
};

}  // namespace gaugemon::link
