// The logo is read only from a regular file of a sane size, and nothing put
// in its place makes the window wait.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "core/regular_file.h"

using gaugemon::core::readRegularFile;
namespace fs = std::filesystem;

TEST(RegularFile, OnlyARegularFileWithinTheSizeIsReadAndAFifoDoesNotBlock) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path root = dir.path().toStdString();
    std::ofstream(root / "logo.bmp", std::ios::binary) << std::string("BM\0\x01", 4);
    std::ofstream(root / "empty.bmp", std::ios::binary);
    ASSERT_EQ(::mkfifo((root / "fifo.bmp").c_str(), 0600), 0);
    fs::create_directory(root / "dir.bmp");

    const auto logo = readRegularFile((root / "logo.bmp").string(), 4);
    EXPECT_TRUE(logo.opened);
    EXPECT_EQ(logo.bytes, std::string("BM\0\x01", 4));
    const auto tooLarge = readRegularFile((root / "logo.bmp").string(), 3);
    EXPECT_TRUE(tooLarge.opened);
    EXPECT_TRUE(tooLarge.bytes.empty());
    const auto empty = readRegularFile((root / "empty.bmp").string(), 4);
    EXPECT_TRUE(empty.opened);
    EXPECT_TRUE(empty.bytes.empty());
    for (const char* other : {"fifo.bmp", "dir.bmp", "missing.bmp"}) {
        const auto file = readRegularFile((root / other).string(), 4);
        EXPECT_FALSE(file.opened) << other;
        EXPECT_TRUE(file.bytes.empty()) << other;
    }
}
