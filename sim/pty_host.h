#pragma once
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string_view>
#include <vector>

#include "sim/frame_assembler.h"
#include "sim/instrument.h"
#include "sim/options.h"
#include "sim/pty_port.h"

namespace gaugemon::sim {

// The gaugesim program: one instrument on a pseudo-terminal, served from a
// single poll() loop. The pseudo-terminal passes bytes at once, so each answer
// is held back until the request and the answer would have crossed a real line
// at the station's baud rate, plus the instrument's turnaround.
class PtyHost {
public:
    PtyHost(SimOptions options, std::FILE* out, std::FILE* trace);

    // Runs until `stop` is set (by a signal, which also makes `wakeFd`
    // readable to end the wait) or the operator presses q. The link is gone
    // when it returns. Returns the program's exit status.
    int run(const volatile std::sig_atomic_t& stop, int wakeFd);

private:
    struct Outgoing {
        int64_t dueUs = 0;
        std::vector<uint8_t> bytes;
    };
    int64_t nowUs() const;
    int64_t msOf(int64_t us) const { return us / 1000; }
    bool openPort();
    void followVanish(int64_t nowUs);
    void readMaster(int64_t nowUs);
    void serveFrame(int64_t nowUs);
    void sendDue(int64_t nowUs);
    void pressFootSwitch(const char* how);
    void handleKeys();
    int64_t frameGap() const;
    int64_t timeoutUs(int64_t nowUs) const;
    bool stopping() const { return stop_ != nullptr && *stop_; }
    void say(std::FILE* to, const char* format, ...) __attribute__((format(printf, 3, 4)));
    void traceBytes(int64_t atUs, const char* direction, const uint8_t* bytes, size_t count, std::string_view note);

    SimOptions options_;
    Instrument instrument_;
    PtyPort port_;
    FrameAssembler frames_;
    std::deque<Outgoing> outgoing_;
    int64_t startUs_ = 0;
    int64_t nextFootSwitchUs_ = -1;
    bool watchStdin_ = false;
    bool quit_ = false;
    bool trace_ = false;
    std::FILE* out_;
    std::FILE* traceOut_;
    const volatile std::sig_atomic_t* stop_ = nullptr;
};

}  // namespace gaugemon::sim
