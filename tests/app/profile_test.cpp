// Two stations under one account, each on a profile of its own, share no
// file; the default profile keeps the places a station has always used.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <string>
#include <vector>

#include "core/profile.h"
#include "core/profile_lock.h"

using gaugemon::core::isProfileName;
using gaugemon::core::ProfileLock;
using gaugemon::core::profilePlaces;
using gaugemon::core::StationPlaces;
namespace fs = std::filesystem;

TEST(Profile, ANameIsAPlainFileNameOfBoundedLength) {
    for (const std::string& good : std::vector<std::string>{"line1", "A", "cell_2.left-3", std::string(64, 'x')})
        EXPECT_TRUE(isProfileName(good)) << good;
    for (const std::string& bad : std::vector<std::string>{"", "..", ".hidden", "-x", "a/b", "../x", "a b", "a\\b",
                                                           "line\n", "ä", std::string(65, 'x'), std::string("a\0b", 3)})
        EXPECT_FALSE(isProfileName(bad)) << bad;
}

TEST(Profile, TheDefaultProfileKeepsItsPlacesAndANamedOneHasItsOwn) {
    const StationPlaces defaults{"gaugemon", "/home/op/.local/share/gaugemon/", "/home/op/.local/share/gaugemon",
                                 "/home/op/.local/share/gaugemon/ports"};
    const StationPlaces same = profilePlaces("", defaults);
    EXPECT_EQ(same.settingsName, defaults.settingsName);
    EXPECT_EQ(same.dataDirectory, defaults.dataDirectory);
    EXPECT_EQ(same.journalDirectory, defaults.journalDirectory);
    EXPECT_EQ(same.portDirectory, defaults.portDirectory);

    const StationPlaces line1 = profilePlaces("line1", defaults);
    EXPECT_EQ(line1.settingsName, "gaugemon-line1");
    // Compared as paths: Windows joins them with its own separator.
    EXPECT_EQ(fs::path(line1.dataDirectory), fs::path("/home/op/.local/share/gaugemon/profiles/line1/"));
    EXPECT_EQ(fs::path(line1.journalDirectory), fs::path("/home/op/.local/share/gaugemon/profiles/line1"));
    // Not inside the default port directory, where "COM3" would be a port.
    EXPECT_EQ(line1.portDirectory, "/home/op/.local/share/gaugemon/profiles/line1/ports");
    EXPECT_TRUE(profilePlaces("line1", {"gaugemon", "/opt/g/", "", ""}).journalDirectory.empty());
}

TEST(Profile, OneStationAtATimeHoldsAProfileAndItsEndFreesIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string directory = dir.path().toStdString() + "/profiles/line1";
    ProfileLock first;
    ProfileLock second;
    ASSERT_EQ(first.take(directory), ProfileLock::Outcome::Held);
    EXPECT_EQ(second.take(directory), ProfileLock::Outcome::HeldElsewhere);
    EXPECT_EQ(ProfileLock().take(dir.path().toStdString() + "/other"), ProfileLock::Outcome::Held);
    first.release();
    EXPECT_EQ(second.take(directory), ProfileLock::Outcome::Held);
}
