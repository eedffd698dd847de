// gaugesim: a simulated measuring instrument on a pseudo-terminal.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "sim/options.h"
#include "sim/pty_host.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
int wakeWriteFd = -1;

void requestStop(int) {
    const int interruptedErrno = errno;  // the code it interrupted may be about to read errno
    stopRequested = 1;
    // Wakes the loop's wait, should the signal come between its look at the
    // flag and the wait.
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wakeWriteFd, &byte, 1);
    // A write already blocked on output nobody reads is broken off within a
    // second by the alarm, so the program gets round to removing its link.
    alarm(1);
    errno = interruptedErrno;
}

void breakOffWrite(int) {}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const gaugemon::sim::ParsedOptions parsed = gaugemon::sim::parseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "gaugesim: %s\n(gaugesim --help lists the options)\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(gaugemon::sim::usageText().c_str(), stdout);
        return 0;
    }

    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        std::perror("gaugesim: pipe");
        return 1;
    }
    wakeWriteFd = wake[1];
    // A stop signal is taken at any moment: without SA_RESTART it also breaks
    // a write to a terminal or pipe nobody reads, so the program still stops
    // and removes its link.
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    action.sa_handler = breakOffWrite;
    sigaction(SIGALRM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    gaugemon::sim::PtyHost host(parsed.options, stdout, stderr);
    return host.run(stopRequested, wake[0]);
}
