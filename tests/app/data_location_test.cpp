// Where the backup and the logo go: beside a program that runs from a
// directory of its own, else in the per-user data directory.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "core/data_location.h"

using gaugemon::core::findStationDataDirectory;
using gaugemon::core::stationDataDirectory;
namespace fs = std::filesystem;

namespace {
const fs::path kPerUser = "/home/op/.local/share/gaugemon";
}

TEST(DataLocation, AProgramInItsOwnWritableDirectoryKeepsItsFilesBesideItself) {
    EXPECT_EQ(stationDataDirectory("/work/main/build/src/app", true, kPerUser), "/work/main/build/src/app/");
    EXPECT_EQ(stationDataDirectory("/media/stick/gaugemon/", true, kPerUser), "/media/stick/gaugemon/");
    // A directory merely named like one of the shared ones is still its own.
    EXPECT_EQ(stationDataDirectory("/opt/binary-tools", true, kPerUser), "/opt/binary-tools/");
}

TEST(DataLocation, AnInstalledOrReadOnlyProgramUsesThePerUserDirectory) {
    EXPECT_EQ(stationDataDirectory("/opt/gaugemon", false, kPerUser), kPerUser.string() + '/');
    // Root may write /usr/bin, but it is every program's directory.
    for (const char* shared : {"/usr/bin", "/usr/bin/", "/usr/local/bin", "/home/op/.local/bin", "/usr/sbin"}) {
        EXPECT_EQ(stationDataDirectory(shared, true, kPerUser), kPerUser.string() + '/') << shared;
    }
    // Without a home there is no per-user directory: the files stay where they always went.
    EXPECT_EQ(stationDataDirectory("/usr/bin", false, ""), "/usr/bin/");
}

TEST(DataLocation, ThePerUserDirectoryIsCreatedOnlyWhenItIsChosen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path root = dir.path().toStdString();
    const fs::path installed = root / "prefix" / "bin";
    const fs::path own = root / "gaugemon";
    fs::create_directories(installed);
    fs::create_directories(own);
    const fs::path perUser = root / "home" / ".local" / "share" / "gaugemon";

    EXPECT_EQ(findStationDataDirectory(own, perUser), own.string() + '/');
    EXPECT_FALSE(fs::exists(perUser));

    EXPECT_EQ(findStationDataDirectory(installed, perUser), perUser.string() + '/');
    EXPECT_TRUE(fs::is_directory(perUser));
}
