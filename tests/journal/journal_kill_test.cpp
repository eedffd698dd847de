#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "records/record_sources.h"
#include "records/records_test_support.h"
#include "records/table_file.h"
#include "sample_rows.h"

namespace gaugemon::journal {
namespace {

using records::test::readFile;
using records::test::TempDir;

// A started journal_recorder with its standard output on a pipe.
class Recorder {
public:
    explicit Recorder(const std::vector<std::string>& arguments) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeFds[1], STDOUT_FILENO);
            ::close(pipeFds[0]);
            ::close(pipeFds[1]);
            std::vector<char*> argv{const_cast<char*>(JOURNAL_RECORDER)};
            for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            ::execv(JOURNAL_RECORDER, argv.data());
            ::_exit(127);
        }
        ::close(pipeFds[1]);
        output_ = ::fdopen(pipeFds[0], "r");
    }
    ~Recorder() {
        if (output_) std::fclose(output_);
        if (pid_ > 0 && status_ < 0) {
            ::kill(pid_, SIGKILL);
            wait();
        }
    }
    std::string line() {
        char text[128] = {};
        if (!output_ || !std::fgets(text, sizeof text, output_)) return {};
        return text;
    }
    void kill() { ::kill(pid_, SIGKILL); }
    int wait() {
        ::waitpid(pid_, &status_, 0);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    FILE* output_ = nullptr;
};

TEST(JournalKill, RowsOfAKilledStationAreOfferedAllAndExportAsTheRowsRecorded) {
    constexpr uint32_t kRows = 25;
    TempDir dir;
    {
        Recorder recorder({"record", dir.path().string(), std::to_string(kRows)});
        ASSERT_EQ(recorder.line(), "written " + std::to_string(kRows) + "\n");
        recorder.kill();
        const int status = recorder.wait();
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    const auto restoredFile = dir / "restored.xls";
    {
        Recorder restorer({"restore", dir.path().string(), restoredFile.string()});
        EXPECT_EQ(restorer.line(), "offered " + std::to_string(kRows) + "\n");
        const int status = restorer.wait();
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    records::RecordTable table;
    table.prepareColumns(test::sampleLayout());
    for (uint32_t k = 0; k < kRows; ++k) test::appendSampleRow(table, k);
    records::PlainRecordSources sources;
    sources.probes = 60;
    const auto expectedFile = dir / "expected.xls";
    ASSERT_TRUE(records::writeTableFile(table, sources, true, records::kTabFormat, expectedFile.string()).ok);
    const std::string expected = readFile(expectedFile);
    EXPECT_EQ(readFile(restoredFile), expected);
    EXPECT_GT(expected.size(), kRows * records::lineBytes(table.shape(), records::kTabFormat));
}

}  // namespace
}  // namespace gaugemon::journal
