#pragma once
// What the tests of the unattended station share: the files it writes and
// the real program run with a home of its own.
#include <signal.h>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifdef GAUGEMON_PATH
#include "support/gaugesim_process.h"
#endif

namespace gaugemon::testing {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

inline size_t lineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The real program (tests that name it).
#ifdef GAUGEMON_PATH
// The program with a home of its own, so nothing of the machine's is read or written.
class HeadlessProgram {
public:
    explicit HeadlessProgram(const QString& home) : home_(home) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home);
        environment.insert("XDG_CONFIG_HOME", home + "/.config");
        environment.insert("XDG_DATA_HOME", home + "/.local/share");
        environment.remove("JOURNAL_STREAM");
        process_.setProcessEnvironment(environment);
    }
    ~HeadlessProgram() {
        if (process_.state() != QProcess::NotRunning) process_.kill();
        process_.waitForFinished(3000);
    }
    void start(const QStringList& arguments) { process_.start(QStringLiteral(GAUGEMON_PATH), arguments); }
    // Sends `signal` and waits (bounded) for the end; the exit status, or -1.
    int stop(int signal = SIGTERM) {
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        if (!runEventsUntil([&] { return process_.state() == QProcess::NotRunning; }, 15'000)) return -1;
        return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    }
    QString log() { return QString::fromUtf8(process_.readAllStandardError()); }
    QProcess& process() { return process_; }

private:
    QString home_;
    QProcess process_;
};
#endif

}  // namespace gaugemon::testing
