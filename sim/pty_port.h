#pragma once
#include <filesystem>
#include <optional>
#include <string>

#include "sim/master_line.h"

namespace gaugemon::sim {

// A pseudo-terminal whose far end is linked into the station's port directory
// as COMn. The instrument's side is the master; the station opens the link.
// The program keeps the far end open itself as well, so the master sees no
// hang-up while the station closes and reopens the port.
class PtyPort {
public:
    PtyPort() = default;
    ~PtyPort() { close(); }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    // Creates the pseudo-terminal and the link <directory>/<name>. An entry
    // that is already there is replaced only when it is a dangling link or
    // `replace` is set. `baudRate`, `line` set the far end's initial settings.
    bool open(const std::filesystem::path& directory, const std::string& name, bool replace, int baudRate,
              link::LineSettings line, std::string& error);
    // Closes the pseudo-terminal (the station's port then fails) and removes
    // the link if it is still ours.
    void close();

    bool isOpen() const { return master_ >= 0; }
    int masterFd() const { return master_; }
    const std::string& farEndPath() const { return farEnd_; }
    const std::filesystem::path& linkPath() const { return link_; }

    // The line settings the station has set, as far as the master can tell.
    std::optional<MasterLine> masterLine() const;

private:
    int master_ = -1;
    int keepOpen_ = -1;
    std::string farEnd_;
    std::filesystem::path link_;
};

}  // namespace gaugemon::sim
