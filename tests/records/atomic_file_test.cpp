#include "records/atomic_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
    for (size_t done = 0; done < count; done += block.size())
        sink.write(std::string_view(block).substr(0, count - done));
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
    const FileWriteResult result =
        replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 3'000'000, 'n'); });
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

    const std::string message = fileErrorMessage(result, core::Language::English);
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
        const FileWriteResult result =
            replaceFile(c.target.string(), [](ByteSink& sink) { return writeBytes(sink, 10, 'y'); });
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

mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

// A pid that ran once and runs no more.
pid_t pidOfAFinishedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// A link planted at the backup's name must neither choose the file the
// station overwrites nor lend it its permissions or its read-only state.
TEST(ReplaceFile, ALinkAtTheTargetIsReplacedItselfNeverFollowed) {
    TempDir dir;
    writeFile(dir / "victim", "not the station's");
    ::chmod((dir / "victim").c_str(), 0604);
    writeFile(dir / "locked", "read-only elsewhere");
    ::chmod((dir / "locked").c_str(), 0444);
    const struct {
        const char* link;
        const char* pointsTo;
    } cases[] = {{"to-victim.xls", "victim"}, {"to-locked.xls", "locked"}, {"dangling.xls", "nowhere"}};
    for (const auto& c : cases) {
        const auto target = dir / c.link;
        std::filesystem::create_symlink(dir / c.pointsTo, target);
        const FileWriteResult result =
            replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 4, 's'); });
        ASSERT_TRUE(result.ok) << c.link << ": " << std::strerror(result.error);
        EXPECT_TRUE(S_ISREG(modeOf(target))) << c.link;
        EXPECT_EQ(modeOf(target) & 07777, newFileMode()) << c.link;
        EXPECT_EQ(readFile(target), "ssss");
    }
    EXPECT_EQ(readFile(dir / "victim"), "not the station's");
    EXPECT_EQ(modeOf(dir / "victim") & 0777, 0604u);
    EXPECT_EQ(readFile(dir / "locked"), "read-only elsewhere");
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

TEST(ReplaceFile, ReadOnlyFileAtTheTargetIsStillRefused) {
    TempDir dir;
    const auto target = dir / "kept.xls";
    writeFile(target, "operator's");
    ::chmod(target.c_str(), 0444);
    if (::access(target.c_str(), W_OK) == 0) GTEST_SKIP() << "read-only files are writable for this user (root)";
    const FileWriteResult result =
        replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 4, 'x'); });
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, EACCES);
    EXPECT_EQ(readFile(target), "operator's");
}

// Every name an earlier version would have tried, taken in advance (as files
// and as links): the write goes through all the same.
TEST(ReplaceFile, TemporaryNamesCannotBeTakenInAdvance) {
    TempDir dir;
    const auto target = dir / "bak20191129.xls";
    const std::string stem = ".bak20191129.xls.tmp" + std::to_string(::getpid()) + "-";
    for (int n = 0; n < 100; ++n) {
        if (n % 2)
            writeFile(dir / (stem + std::to_string(n)), "planted");
        else
            std::filesystem::create_symlink(dir / "elsewhere", dir / (stem + std::to_string(n)));
    }
    const FileWriteResult result =
        replaceFile(target.string(), [](ByteSink& sink) { return writeBytes(sink, 3, 'b'); });
    ASSERT_TRUE(result.ok) << std::strerror(result.error);
    EXPECT_EQ(readFile(target), "bbb");
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere"));
}

// An export killed mid-write leaves its temporary file; the next write into
// the directory removes it, and only what is surely the station's and dead.
TEST(ReplaceFile, StaleTemporariesOfFinishedWritersAreRemovedAtTheNextWrite) {
    TempDir dir;
    const std::string dead = std::to_string(pidOfAFinishedProcess());
    const std::string alive = std::to_string(::getppid());
    const std::vector<std::string> stale = {
        ".data.xls.tmp" + dead + "-0",              // the naming of earlier versions
        ".other.csv.tmp" + dead + "-aB3dE6gH9jK1",  // the present naming
    };
    const std::vector<std::string> kept = {
        ".data.xls.tmp" + alive + "-7",      // a write in progress elsewhere
        ".data.xls.tmp" + dead,              // not our pattern
        ".data.xls.tmp" + dead + "-suffix",  // not our pattern
        ".tmp" + dead + "-1",                // no file name before it
        "data.xls.tmp" + dead + "-1",        // not hidden
        "notes.txt",
    };
    for (const auto& name : stale) writeFile(dir / name, std::string(2048, 'p'));
    for (const auto& name : kept) writeFile(dir / name, "keep");
    std::filesystem::create_directory(dir / (".dir.tmp" + dead + "-2"));
    std::filesystem::create_symlink(dir / "notes.txt", dir / (".link.tmp" + dead + "-3"));

    const auto write = [](ByteSink& sink) { return writeBytes(sink, 1, 'd'); };
    ASSERT_TRUE(replaceFile((dir / "data.xls").string(), write).ok);
    std::vector<std::string> expected = kept;
    expected.push_back(".dir.tmp" + dead + "-2");
    expected.push_back(".link.tmp" + dead + "-3");
    expected.push_back("data.xls");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.entries(), expected);
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
