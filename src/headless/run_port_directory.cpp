#include "headless/run_port_directory.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>
#include <system_error>

namespace gaugemon::headless {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "ports-";

// The process id in a name "ports-<id>"; 0 for any other name.
pid_t ownerOf(const std::string& name) {
    if (!name.starts_with(kPrefix)) return 0;
    const char* digits = name.data() + kPrefix.size();
    const char* end = name.data() + name.size();
    pid_t pid = 0;
    const auto [last, error] = std::from_chars(digits, end, pid);
    return error == std::errc() && last == end && digits != end && pid > 0 ? pid : 0;
}

// A process of another user still counts as alive (EPERM).
bool hasEnded(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

RunPortDirectory::RunPortDirectory(const fs::path& parent)
    : path_(parent / (std::string(kPrefix) + std::to_string(::getpid()))) {
    removeStale(parent);
    std::error_code error;
    // A directory of an ended run that had this process id holds nothing of ours.
    fs::remove_all(path_, error);
}

RunPortDirectory::~RunPortDirectory() {
    std::error_code error;
    fs::remove_all(path_, error);
}

void RunPortDirectory::removeStale(const fs::path& parent) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(parent, error)) {
        const pid_t owner = ownerOf(entry.path().filename().string());
        if (owner == 0 || owner == ::getpid() || !hasEnded(owner)) continue;
        std::error_code ignored;
        fs::remove_all(entry.path(), ignored);
    }
}

}  // namespace gaugemon::headless
