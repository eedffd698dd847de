// Where the backup and the logo go: beside a program that runs from a
// directory of its own, else in the per-user data directory.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "core/data_location.h"

using gaugemon::core::findStationDataDirectory;
using gaugemon::core::stationDataDirectory;
namespace fs = std::filesystem;

TEST(DataLocation, OnlyAProgramInAWritableDirectoryOfItsOwnKeepsItsFilesBesideItself) {
    const fs::path perUser = "/home/op/.local/share/gaugemon";
    const std::string perUserDir = perUser.string() + '/';
    EXPECT_EQ(stationDataDirectory("/work/main/build/src/app", true, perUser), "/work/main/build/src/app/");
    EXPECT_EQ(stationDataDirectory("/media/stick/gaugemon/", true, perUser), "/media/stick/gaugemon/");
    EXPECT_EQ(stationDataDirectory("/opt/binary-tools", true, perUser), "/opt/binary-tools/");
    EXPECT_EQ(stationDataDirectory("/opt/gaugemon", false, perUser), perUserDir);
    // Root may write /usr/bin, but it is every program's directory.
    for (const char* shared : {"/usr/bin", "/usr/bin/", "/usr/local/bin", "/home/op/.local/bin", "/usr/sbin"}) {
        EXPECT_EQ(stationDataDirectory(shared, true, perUser), perUserDir) << shared;
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
