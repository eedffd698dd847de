#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <functional>

namespace gaugemon::testing {

// Runs the Qt event loop until `done` holds or `limitMs` of real time passed.
// The loop sleeps between events; `done` is looked at every 5 ms.
inline bool runEventsUntil(const std::function<bool()>& done, int limitMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    check.start(5);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

// Runs the Qt event loop for `ms` of real time, waking only for its events.
inline void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The gaugesim program on a pseudo-terminal, its COMn link in a private
// port directory; stopped when this goes away.
class GaugesimProcess {
public:
    GaugesimProcess(const std::filesystem::path& portDirectory, QStringList arguments) : directory_(portDirectory) {
        std::filesystem::create_directories(directory_);
        arguments << "--port-dir" << QString::fromStdString(directory_.string());
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(GAUGESIM_PATH), arguments);
    }
    ~GaugesimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) process_.kill();
        process_.waitForFinished(1000);
    }
    // Waits (bounded) for the link named `port` to appear.
    bool waitForLink(const char* port, int limitMs = 5000) {
        return runEventsUntil([&] { return std::filesystem::exists(directory_ / port); }, limitMs);
    }
    QProcess& process() { return process_; }

private:
    std::filesystem::path directory_;
    QProcess process_;
};

}  // namespace gaugemon::testing
