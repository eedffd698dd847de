// gaugesim: a simulated measuring instrument on a pseudo-terminal.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <string_view>
#include <vector>

#include "sim/options.h"
#include "sim/pty_host.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int) { stopRequested = 1; }

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

    // The stop signals are held back except while the loop waits, so none
    // slips in between its look at the flag and the wait.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stopSignals, sig);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&waitMask, sig);
    struct sigaction action {};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    gaugemon::sim::PtyHost host(parsed.options, stdout, stderr);
    return host.run(stopRequested, &waitMask);
}
