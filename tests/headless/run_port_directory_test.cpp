// The port directory of a run given a device path: a killed run's is cleared
// by the next start, a living run's is left alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <filesystem>

#include "headless/run_port_directory.h"

using gaugemon::headless::RunPortDirectory;
namespace fs = std::filesystem;

namespace {

// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(RunPortDirectory, AStartClearsOnlyTheDirectoriesOfEndedRuns) {
    QTemporaryDir data;
    const fs::path parent = fs::path(data.path().toStdString()) / "run";
    const fs::path killed = parent / ("ports-" + std::to_string(endedProcess()));
    const fs::path living = parent / ("ports-" + std::to_string(::getppid()));
    const fs::path other = parent / "ports-of-mine";
    for (const fs::path& directory : {killed, living, other}) fs::create_directories(directory);
    fs::create_symlink("/dev/ttyUSB0", killed / "COM1");

    fs::path own;
    {
        const RunPortDirectory run(parent);
        own = run.path();
        EXPECT_EQ(own.parent_path(), parent);
        EXPECT_FALSE(fs::exists(killed));
        EXPECT_TRUE(fs::exists(living));
        EXPECT_TRUE(fs::exists(other));
        fs::create_directories(own);
    }
    EXPECT_FALSE(fs::exists(own));
}

}  // namespace
