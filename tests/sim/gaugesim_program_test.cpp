// The gaugesim program driven over its pseudo-terminal by mbpoll, a Modbus
// master written elsewhere: proof that the simulator is a Modbus RTU slave
// a stranger can talk to, with the station's line-setting rules.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "link/protocol.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Command {
    int status = -1;
    std::string output;
};

Command runCommand(const std::string& command) {
    Command result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[512];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

// The values mbpoll prints as "[ref]: 0x1234".
std::vector<unsigned> registersIn(const std::string& output) {
    std::vector<unsigned> values;
    const std::regex line(R"(\[\d+\]:\s+0x([0-9A-Fa-f]{4}))");
    for (auto it = std::sregex_iterator(output.begin(), output.end(), line); it != std::sregex_iterator(); ++it) {
        values.push_back(static_cast<unsigned>(std::stoul((*it)[1].str(), nullptr, 16)));
    }
    return values;
}

class GaugesimProgram : public ::testing::Test {
protected:
    void SetUp() override {
        if (runCommand("command -v mbpoll").status != 0) {
            FAIL() << "mbpoll is missing: scripts/setup installs it (Debian package mbpoll)";
        }
        char pattern[] = "/tmp/gaugesim-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }

    void TearDown() override {
        stop();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // `stdoutPath`: where the program's messages go (a file by default).
    void start(std::vector<std::string> options, const fs::path& stdoutPath = {}) {
        std::vector<std::string> args = {GAUGESIM_PATH, "--port-dir", (dir_ / "ports").string(),
                                         "--port",      "COM7",       "--trace"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        const fs::path out = stdoutPath.empty() ? dir_ / "out.txt" : stdoutPath;
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, (dir_ / "trace.txt").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_EQ(posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        // Bounded wait for the program to link its port.
        for (int attempt = 0; attempt < 500 && !fs::is_symlink(fs::symlink_status(port())); ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(fs::is_symlink(fs::symlink_status(port()))) << contents("trace.txt");
    }

    // Stops the program; true when it went within its bounded wait.
    bool stop() {
        if (pid_ <= 0) return true;
        kill(pid_, SIGTERM);
        int status = 0;
        bool exited = false;
        for (int attempt = 0; attempt < 250 && !exited; ++attempt) {
            exited = waitpid(pid_, &status, WNOHANG) == pid_;
            if (!exited) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!exited) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        pid_ = -1;
        return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Values to write come after the device.
    Command mbpoll(const std::string& args, const std::string& values = "") {
        return runCommand("mbpoll -m rtu -0 -1 " + args + " " + port().string() + " " + values);
    }

    fs::path port() const { return dir_ / "ports" / "COM7"; }
    std::string contents(const std::string& name) const {
        std::ifstream in(dir_ / name);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path dir_;
    pid_t pid_ = -1;
};

}  // namespace

TEST_F(GaugesimProgram, HoldingRegistersCarryTheSimulatedReadings) {
    start({"--probes", "4", "--signal", "1=constant:1234", "--signal", "2=constant:-20", "--signal", "3=constant:-7.5",
           "--fine", "3", "--signal", "4=constant:5"});
    const Command read = mbpoll("-a 1 -b 19200 -P none -s 2 -t 4:hex -r 0 -c 8");
    ASSERT_EQ(read.status, 0) << read.output;
    // 1234 um; -20 um sign-extended; -7.5 um on a fine probe as 15 x 0.0005 mm
    // behind the negative fine marker; 5 um.
    EXPECT_EQ(registersIn(read.output),
              (std::vector<unsigned>{0x0000, 0x04D2, 0xFFFF, 0xFFEC, 0x1100, 0x000F, 0x0000, 0x0005}));
    EXPECT_TRUE(stop());
    EXPECT_FALSE(fs::exists(fs::symlink_status(port()))) << "the link outlived the program";
}

TEST_F(GaugesimProgram, DisplayModeWriteIsEchoedAndTakesEffect) {
    start({"--format", "FF", "--probes", "2", "--baud", "38400", "--parity", "even"});
    const std::string line = "-a 1 -b 38400 -P even -s 1 ";
    // Format "FF" wants the unlock ahead of the mode write.
    const Command unlock =
        mbpoll(line + "-t 4 -r " + std::to_string(0x7010), std::to_string(gaugemon::link::kUnlockCode));
    ASSERT_EQ(unlock.status, 0) << unlock.output;
    const Command write = mbpoll(line + "-t 4 -r " + std::to_string(0x3036), "2");
    ASSERT_EQ(write.status, 0) << write.output;
    EXPECT_NE(write.output.find("Written 1 references"), std::string::npos) << write.output;
    EXPECT_NE(contents("trace.txt").find("-> 01 06 30 36 00 02"), std::string::npos) << contents("trace.txt");
    const Command mode = mbpoll(line + "-t 4:hex -r " + std::to_string(0x3036));
    ASSERT_EQ(mode.status, 0) << mode.output;
    EXPECT_EQ(registersIn(mode.output), std::vector<unsigned>{0x0002});
}

TEST_F(GaugesimProgram, AnswersOnlyOnItsOwnLineSettings) {
    start({"--format", "01", "--address", "9", "--baud", "9600", "--parity", "odd"});
    const std::string info = "-a 9 -t 4:hex -r " + std::to_string(0x0200) + " -c 4 -o 0.3 ";
    EXPECT_NE(mbpoll(info + "-b 19200 -P odd -s 1").status, 0);
    EXPECT_NE(mbpoll(info + "-b 9600 -P none -s 2").status, 0);
    const Command right = mbpoll(info + "-b 9600 -P odd -s 1");
    ASSERT_EQ(right.status, 0) << right.output;
    // Address 9, baud code 0 (9600 in format "01"), odd parity, 8 probes x 4.
    EXPECT_EQ(registersIn(right.output), (std::vector<unsigned>{9, 0, 1, 32}));
    EXPECT_NE(contents("trace.txt").find("not understood"), std::string::npos);
}

// Messages to a pipe nobody reads block the program; a stop signal must still
// end it and take its link away, or the next start finds the name taken.
TEST_F(GaugesimProgram, StopsOnASignalWhileItsOutputIsBlocked) {
    const fs::path fifo = dir_ / "out.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);  // holds the pipe open, never reads
    ASSERT_GE(reader, 0);
    fcntl(reader, F_SETPIPE_SZ, 4096);
    start({"--foot-switch-every", "0.001"}, fifo);
    // Bounded wait until the pipe is full and the program is stuck writing.
    int queued = 0;
    for (int attempt = 0; attempt < 500 && queued < 4000; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ioctl(reader, FIONREAD, &queued);
    }
    ASSERT_GE(queued, 4000);
    EXPECT_TRUE(stop());
    EXPECT_FALSE(fs::exists(fs::symlink_status(port()))) << "the link outlived the program";
    ::close(reader);
}
