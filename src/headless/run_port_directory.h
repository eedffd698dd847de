#pragma once
#include <filesystem>

namespace gaugemon::headless {

// A port directory of this run alone, <parent>/ports-<process id>: gone when
// the run ends. A run killed outright cannot remove its own, so each start
// removes those under `parent` whose process is gone.
class RunPortDirectory {
public:
    explicit RunPortDirectory(const std::filesystem::path& parent);
    ~RunPortDirectory();
    RunPortDirectory(const RunPortDirectory&) = delete;
    RunPortDirectory& operator=(const RunPortDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Removes the directories under `parent` of runs whose process has ended.
    static void removeStale(const std::filesystem::path& parent);

private:
    std::filesystem::path path_;
};

}  // namespace gaugemon::headless
