#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "records_test_support.h"

namespace gaugemon::records {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

bool writeBytes(ByteSink& sink, size_t count, char fill) {
    const std::string block(4096, fill);
    for (size_t done = 0; done < count; done += block.size()) sink.write(std::string_view(block).substr(0, count - done));
    return !sink.failed();
}

// Limits the size of any file this process writes, so a write runs out of
// room part-way as on a full disk; root is bound by it too.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

TEST(ReplaceFile, WritesTheWholeFileAndLeavesNothingElse) {
    TempDir dir;
    const auto target = dir / "data.xls";
    writeFile(target, "old");
    const FileWriteResult result = replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 3'000'000, 'n'); });
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(readFile(target), std::string(3'000'000, 'n'));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"data.xls"});
}

TEST(ReplaceFile, WriteCutOffPartWayKeepsThePreviousFile) {
    TempDir dir;
    const auto target = dir / "data.xls";
    writeFile(target, "the previous export");
    FileWriteResult result;
    {
        FileSizeLimit limit(64 * 1024);
        result = replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 4'000'000, 'x'); });
    }
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, EFBIG);
    EXPECT_EQ(readFile(target), "the previous export");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"data.xls"});

    const std::string message = fileErrorMessage(result, app::Language::English);
    EXPECT_NE(message.find(target.string()), std::string::npos);
    EXPECT_NE(message.find(std::strerror(EFBIG)), std::string::npos);
}

TEST(ReplaceFile, FailuresBeforeAnyByteIsWrittenAreReported) {
    TempDir dir;
    writeFile(dir / "plain", "a file, not a directory");
    std::filesystem::create_directory(dir / "taken.xls");
    const struct {
        std::filesystem::path target;
        int error;
    } cases[] = {
        {dir / "plain" / "data.xls", ENOTDIR},  // parent is a regular file
        {dir / "missing" / "data.xls", ENOENT},
        {dir / "taken.xls", EISDIR},  // the name belongs to a directory
    };
    for (const auto& c : cases) {
        const FileWriteResult result = replaceFile(c.target.string(), [](ByteSink& sink) { return writeBytes(sink, 10, 'y'); });
        EXPECT_FALSE(result.ok) << c.target;
        EXPECT_EQ(result.error, c.error) << c.target;
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"plain", "taken.xls"}));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "taken.xls"));
}

TEST(ReplaceFile, FillerThatGivesUpKeepsThePreviousFile) {
    TempDir dir;
    const auto target = dir / "data.csv";
    writeFile(target, "kept");
    const FileWriteResult result = replaceFile(target.string(), [](ByteSink& sink) {
        sink.write("partial");
        return false;
    });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(readFile(target), "kept");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"data.csv"});
}

TEST(ReplaceFile, ReplacedFileKeepsItsPermissions) {
    TempDir dir;
    const auto target = dir / "shared.xls";
    writeFile(target, "x");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 5, 'z'); }).ok);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(FdSink, FullDeviceIsReportedNotSwallowed) {
    const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "no /dev/full";
    {
        FdSink sink(fd, 1024);
        EXPECT_FALSE(writeBytes(sink, 10'000, 'q'));
        EXPECT_EQ(sink.error(), ENOSPC);
        // Nothing further is attempted once it failed.
        EXPECT_EQ(sink.reserve(10), nullptr);
        EXPECT_FALSE(sink.flush());
    }
    ::close(fd);
}

TEST(ByteSink, PiecesLargerThanTheBufferArriveInOrder) {
    StringSink sink(8);
    sink.write("abc");
    sink.write("0123456789ABCDEF");
    sink.write("xyz");
    EXPECT_EQ(sink.bytes(), "abc0123456789ABCDEFxyz");
}

}  // namespace
}  // namespace gaugemon::records
