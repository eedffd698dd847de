// The platform seams' contracts, run on every system the station is built
// for: the record files' bytes and the files' fates must not depend on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/logging.h"
#include "core/regular_file.h"
#include "records/atomic_file.h"
#include "records/file_aside.h"
#include "records/gbk.h"

namespace gaugemon {
namespace {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir() : path_(fs::temp_directory_path() / ("gaugemon-seams-" + std::to_string(std::random_device()()))) {
        fs::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct GbkRow {
    const char* utf8;
    std::optional<std::string> gbk;
};

TEST(Gbk, TextsBecomeTheSameBytesOnEverySystemAndWhatGbkLacksIsRefused) {
    const std::vector<GbkRow> rows = {
        {"abc 1.5", "abc 1.5"},
        {"测头", "\xB2\xE2\xCD\xB7"},
        {"上公差", "\xC9\xCF\xB9\xAB\xB2\xEE"},
        {"\xC2\xB7", "\xA1\xA4"},            // middle dot
        {"\xE2\x80\x94", "\xA1\xAA"},        // em dash
        {"\xE2\x82\xAC", "\x80"},            // the euro sign, GBK's one single byte above ASCII
        {"\xEE\x80\x80", std::nullopt},      // private use: one code page's extra, not GBK
        {"\xF0\x9F\x98\x80", std::nullopt},  // beyond the basic plane
        {"\xC3", std::nullopt},              // cut-off UTF-8
        {"a\xFF", std::nullopt},             // no UTF-8 at all
    };
    for (const GbkRow& row : rows) EXPECT_EQ(records::utf8ToGbk(row.utf8), row.gbk) << row.utf8;
}

TEST(Gbk, EachUndecodableByteShowsAsOneReplacementAndTheRestStillReads) {
    const records::GbkDecoder decoder;
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"\xB2\xE2\xCD\xB7", "测头"},
        {"a\x80"
         "b",
         "a\xE2\x82\xAC"
         "b"},                                     // the euro sign
        {"\xB2", "\xEF\xBF\xBD"},                  // a pair cut off at the end
        {"\xAA\xA1", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // a user-defined pair, no character of GBK
        {"\xFF"
         "a",
         "\xEF\xBF\xBD"
         "a"},                                         // no lead byte
        {"\xB2\xE2\xB2", "\xE6\xB5\x8B\xEF\xBF\xBD"},  // a whole pair, then half of one
    };
    for (const auto& [gbk, utf8] : rows) EXPECT_EQ(decoder.decode(gbk), utf8);
}

TEST(PlatformFiles, AReplacedFileHoldsExactlyTheNewBytesAndNothingElseIsLeft) {
    const ScratchDir dir;
    const fs::path target = dir.path() / "bak20240101.xls";
    writeAll(target, "old");
    const std::string bytes("line 1\r\nline 2\n\x1A\x00 end", 20);
    const auto result = records::replaceFile(target.string(), [&](records::ByteSink& sink) {
        sink.write(bytes);
        return true;
    });
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readAll(target), bytes);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"bak20240101.xls"});

    const auto refused = records::replaceFile(target.string(), [](records::ByteSink& sink) {
        sink.write("half");
        return false;
    });
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(readAll(target), bytes);
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{"bak20240101.xls"});
}

TEST(PlatformFiles, AFileMovedAsideNeverTakesAnExistingName) {
    const ScratchDir dir;
    const fs::path& base = dir.path();
    const auto stamp = fs::file_time_type::clock::now();
    writeAll(base / "bak.xls", "first");
    fs::last_write_time(base / "bak.xls", stamp);
    ASSERT_TRUE(records::moveAside((base / "bak.xls").string()).ok);
    writeAll(base / "bak.xls", "second");
    fs::last_write_time(base / "bak.xls", stamp);
    ASSERT_TRUE(records::moveAside((base / "bak.xls").string()).ok);

    // bak-HHMMSS.xls, then bak-HHMMSS-2.xls, each with its own bytes.
    const std::vector<std::string> names = namesIn(base);
    ASSERT_EQ(names.size(), 2u);
    const std::string first = names[0].size() < names[1].size() ? names[0] : names[1];
    ASSERT_EQ(first.size(), std::string("bak-000000.xls").size());
    EXPECT_EQ(readAll(base / first), "first");
    EXPECT_EQ(readAll(base / (first.substr(0, 10) + "-2.xls")), "second");
    EXPECT_TRUE(records::moveAside((base / "missing.xls").string()).ok);
}

TEST(PlatformFiles, OnlyARegularFileWithinTheLimitIsRead) {
    const ScratchDir dir;
    const fs::path& base = dir.path();
    writeAll(base / "logo.bmp", std::string("BM\r\n\x1A\x00", 6));
    const core::RegularFile file = core::readRegularFile((base / "logo.bmp").string(), 6);
    EXPECT_TRUE(file.opened);
    EXPECT_EQ(file.bytes, std::string("BM\r\n\x1A\x00", 6));
    const core::RegularFile large = core::readRegularFile((base / "logo.bmp").string(), 5);
    EXPECT_TRUE(large.opened);
    EXPECT_TRUE(large.bytes.empty());
    fs::create_directory(base / "Res");
    EXPECT_FALSE(core::readRegularFile((base / "Res").string(), 100).opened);
    EXPECT_FALSE(core::readRegularFile((base / "none").string(), 100).opened);
}

// Run with its output in a file, as the test runner runs it, the process has
// no console: the case of a headless station run as a service.
TEST(PlatformLog, EveryMessageReachesStandardErrorAsOneLineInTheSetPattern) {
    core::logToStandardError();
    qSetMessagePattern(QStringLiteral("%{category} %{type}: %{message}"));
    testing::internal::CaptureStderr();
    qCInfo(core::stationLog, "station %s looking for its instrument", "A");
    qCWarning(core::linkLog, "no answer");
    const std::string written = testing::internal::GetCapturedStderr();
    qSetMessagePattern(QString());
    qInstallMessageHandler(nullptr);
    EXPECT_EQ(written,
              "gaugemon.station info: station A looking for its instrument\n"
              "gaugemon.link warning: no answer\n");
}

}  // namespace
}  // namespace gaugemon
