#include "sim/pty_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "sim/observed_line.h"

namespace gaugemon::sim {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

// Raw bytes both ways: no echo, no line editing, no translation.
void makeRaw(int fd, int baudRate, link::LineSettings line) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0) return;
    cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~(CSTOPB | PARENB | PARODD);
    if (link::stopBitsOf(line) == link::StopBits::Two) settings.c_cflag |= CSTOPB;
    if (link::parityOf(line) != link::Parity::None) settings.c_cflag |= PARENB;
    if (link::parityOf(line) == link::Parity::Odd) settings.c_cflag |= PARODD;
    const speed_t speed = speedOfBaudRate(baudRate);
    if (speed != B0) {
        cfsetispeed(&settings, speed);
        cfsetospeed(&settings, speed);
    }
    tcsetattr(fd, TCSANOW, &settings);
}

bool pointsTo(const fs::path& link, const std::string& target) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(link, ec)) && fs::read_symlink(link, ec).string() == target;
}

}  // namespace

bool PtyPort::open(const fs::path& directory, const std::string& name, bool replace, int baudRate,
                   link::LineSettings line, std::string& error) {
    close();
    std::error_code ec;
    fs::create_directories(directory, ec);
    if (ec) {
        error = "cannot create the port directory " + directory.string() + ": " + ec.message();
        return false;
    }
    const fs::path linkPath = directory / name;
    const auto status = fs::symlink_status(linkPath, ec);
    if (fs::exists(status)) {
        const bool dangling = fs::is_symlink(status) && !fs::exists(linkPath, ec);
        if (!dangling && !replace) {
            error = linkPath.string() +
                    " is already there (another simulator or a real port); stop that one, "
                    "choose another --port, or pass --replace";
            return false;
        }
        fs::remove(linkPath, ec);
    }

    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = errnoText("cannot create a pseudo-terminal");
        close();
        return false;
    }
    const char* farEnd = ptsname(master_);
    if (farEnd == nullptr) {
        error = errnoText("cannot name the pseudo-terminal");
        close();
        return false;
    }
    farEnd_ = farEnd;
    keepOpen_ = ::open(farEnd_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keepOpen_ < 0) {
        error = errnoText("cannot open " + farEnd_);
        close();
        return false;
    }
    makeRaw(keepOpen_, baudRate, line);
    fs::create_symlink(farEnd_, linkPath, ec);
    if (ec) {
        error = "cannot link " + linkPath.string() + " to " + farEnd_ + ": " + ec.message();
        close();
        return false;
    }
    link_ = linkPath;
    return true;
}

void PtyPort::close() {
    // Only our own link goes: another simulator may have taken the name over.
    if (!link_.empty() && pointsTo(link_, farEnd_)) {
        std::error_code ec;
        fs::remove(link_, ec);
    }
    link_.clear();
    if (keepOpen_ >= 0) ::close(keepOpen_);
    if (master_ >= 0) ::close(master_);
    keepOpen_ = master_ = -1;
    farEnd_.clear();
}

std::optional<MasterLine> PtyPort::masterLine() const {
    termios settings{};
    if (master_ < 0 || tcgetattr(master_, &settings) != 0) return std::nullopt;
    return observedLine(settings.c_cflag, cfgetospeed(&settings));
}

}  // namespace gaugemon::sim
