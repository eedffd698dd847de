#include "sim/pty_host.h"

#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <string>

#include "sim/line_timing.h"

namespace gaugemon::sim {

namespace {

// A pseudo-terminal may hand one write over in pieces a little apart; a gap
// shorter than this is not taken as the end of a frame.
constexpr int64_t kMinFrameGapUs = 2000;
// While the line is gone or may go, the loop looks at the clock this often.
constexpr int kVanishCheckMs = 100;

const char* outcomeText(RequestOutcome outcome) {
    switch (outcome) {
        case RequestOutcome::Answered: return "answered";
        case RequestOutcome::Rejected: return "refused with an exception";
        case RequestOutcome::NotUnderstood: return "not understood: other line settings";
        case RequestOutcome::TooShort: return "too short, ignored";
        case RequestOutcome::BadCrc: return "bad CRC, ignored";
        case RequestOutcome::OtherAddress: return "for another address, ignored";
        case RequestOutcome::Malformed: return "malformed, ignored";
        case RequestOutcome::Unanswered: return "not answered";
        case RequestOutcome::Silent: return "silent (fault)";
        case RequestOutcome::Vanished: return "vanished (fault)";
    }
    return "";
}

std::string lineText(int baudRate, link::LineSettings line) {
    const char parity[] = {'N', 'O', 'E'};
    return std::to_string(baudRate) + " 8" + parity[static_cast<int>(link::parityOf(line))] +
           (link::stopBitsOf(line) == link::StopBits::Two ? "2" : "1");
}

std::string masterText(const MasterLine& master) {
    std::string parities;
    if (master.parities & parityBit(link::Parity::None)) parities += "N";
    if (master.parities & parityBit(link::Parity::Odd)) parities += parities.empty() ? "O" : "/O";
    if (master.parities & parityBit(link::Parity::Even)) parities += parities.empty() ? "E" : "/E";
    return std::to_string(master.baudRate) + " 8" + parities + (master.stopBits == link::StopBits::Two ? "2" : "1");
}

// The keyboard hands over single keys without echo while the program runs.
class KeyMode {
public:
    KeyMode() {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_) != 0) return;
        termios keys = saved_;
        keys.c_lflag &= ~(ICANON | ECHO);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        active_ = tcsetattr(STDIN_FILENO, TCSANOW, &keys) == 0;
    }
    ~KeyMode() {
        if (active_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    KeyMode(const KeyMode&) = delete;
    KeyMode& operator=(const KeyMode&) = delete;

private:
    termios saved_{};
    bool active_ = false;
};

int64_t monotonicUs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

}  // namespace

PtyHost::PtyHost(SimOptions options, std::FILE* out, std::FILE* trace)
    : options_(std::move(options)),
      instrument_(options_.instrument, 0),
      // Not nowUs(): it subtracts the start, which is not set yet here.
      startUs_(monotonicUs()),
      trace_(options_.trace),
      out_(out),
      traceOut_(trace) {}

int64_t PtyHost::nowUs() const { return monotonicUs() - startUs_; }

bool PtyHost::openPort() {
    std::string error;
    if (!port_.open(options_.portDirectory, options_.portName, options_.replaceLink, instrument_.baudRate(),
                    instrument_.line(), error)) {
        say(stderr, "gaugesim: %s\n", error.c_str());
        return false;
    }
    options_.replaceLink = true;  // coming back after a vanish takes our own name again
    return true;
}

int PtyHost::run(const volatile std::sig_atomic_t& stop, int wakeFd) {
    stop_ = &stop;
    if (!openPort()) return 1;
    const InstrumentConfig& c = instrument_.config();
    say(out_, "gaugesim: %s -> %s (format %s, address %d, %u probes, %s)\n", port_.linkPath().c_str(),
        port_.farEndPath().c_str(), c.format == link::DataFormat::FormatFF ? "FF" : "01", c.address, c.probeCount,
        lineText(c.baudRate, instrument_.line()).c_str());
    KeyMode keys;
    watchStdin_ = true;
    if (isatty(STDIN_FILENO)) say(out_, "keys: r foot switch, t trace on/off, q quit\n");
    if (options_.footSwitchEveryMs > 0) nextFootSwitchUs_ = options_.footSwitchEveryMs * 1000;

    while (!stop && !quit_) {
        int64_t now = nowUs();
        followVanish(now);
        serveFrame(now);
        sendDue(now);
        if (nextFootSwitchUs_ >= 0 && now >= nextFootSwitchUs_) {
            pressFootSwitch("timer");
            nextFootSwitchUs_ += options_.footSwitchEveryMs * 1000;
        }
        pollfd fds[3]{};
        nfds_t count = 0;
        fds[count++] = {wakeFd, POLLIN, 0};
        const int masterIndex = port_.isOpen() ? static_cast<int>(count++) : -1;
        if (masterIndex >= 0) fds[masterIndex] = {port_.masterFd(), POLLIN, 0};
        const int stdinIndex = watchStdin_ ? static_cast<int>(count++) : -1;
        if (stdinIndex >= 0) fds[stdinIndex] = {STDIN_FILENO, POLLIN, 0};
        const int64_t waitUs = timeoutUs(now);
        timespec wait{static_cast<time_t>(waitUs / 1'000'000), static_cast<long>(waitUs % 1'000'000) * 1000};
        const int ready = ppoll(fds, count, waitUs < 0 ? nullptr : &wait, nullptr);
        if (ready <= 0) continue;  // a signal or the time of the next step
        now = nowUs();
        if (masterIndex >= 0 && (fds[masterIndex].revents & (POLLIN | POLLHUP | POLLERR))) readMaster(now);
        if (stdinIndex >= 0 && fds[stdinIndex].revents) handleKeys();
    }
    port_.close();
    // Output nobody reads may block this last word; a stop signal has armed
    // an alarm that breaks the write off.
    std::fprintf(out_, "gaugesim: stopped, %s removed\n", options_.portName.c_str());
    std::fflush(out_);
    return 0;
}

void PtyHost::followVanish(int64_t nowUs) {
    const bool gone = instrument_.vanishedAt(msOf(nowUs));
    if (gone && port_.isOpen()) {
        port_.close();
        outgoing_.clear();
        frames_ = FrameAssembler{};
        say(out_, "gaugesim: the line has vanished (fault)\n");
    } else if (!gone && !port_.isOpen()) {
        if (openPort()) {
            say(out_, "gaugesim: back on %s -> %s\n", port_.linkPath().c_str(), port_.farEndPath().c_str());
        }
    }
}

void PtyHost::readMaster(int64_t nowUs) {
    uint8_t buffer[512];
    const ssize_t count = ::read(port_.masterFd(), buffer, sizeof buffer);
    if (count > 0) {
        frames_.add(buffer, static_cast<size_t>(count), nowUs);
    } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
        // The pseudo-terminal broke: start on a fresh one under the same name.
        say(stderr, "gaugesim: read failed, reopening the port\n");
        port_.close();
        openPort();
    }
}

int64_t PtyHost::frameGap() const {
    return std::max(kMinFrameGapUs, frameGapUs(instrument_.baudRate(), instrument_.line()));
}

void PtyHost::serveFrame(int64_t nowUs) {
    if (!frames_.take(nowUs, frameGap())) return;
    const uint8_t* frame = frames_.frame();
    const size_t length = frames_.frameLength();
    if (frames_.frameOverflowed() || !port_.isOpen()) {
        traceBytes(frames_.frameStartUs(), "<-", frame, length, "too long, ignored");
        return;
    }
    const MasterLine master = port_.masterLine().value_or(MasterLine{});
    const Reply reply = instrument_.handleRequest(frame, length, master, msOf(nowUs));
    std::string note = outcomeText(reply.outcome);
    if (reply.outcome == RequestOutcome::NotUnderstood) {
        note +=
            " (" + masterText(master) + ", instrument " + lineText(instrument_.baudRate(), instrument_.line()) + ")";
    }
    traceBytes(frames_.frameStartUs(), "<-", frame, length, note);
    if (!reply.sent) return;
    // A pseudo-terminal passes bytes at once; a real line would have taken
    // the request, the turnaround and the answer at this baud rate.
    int64_t dueUs = frames_.frameStartUs() + wireTimeUs(length, reply.baudRate, reply.line) + reply.delayUs +
                    wireTimeUs(reply.length, reply.baudRate, reply.line);
    if (!outgoing_.empty()) dueUs = std::max(dueUs, outgoing_.back().dueUs);
    outgoing_.push_back(
        {dueUs, std::vector<uint8_t>(reply.bytes.begin(), reply.bytes.begin() + static_cast<long>(reply.length))});
}

void PtyHost::sendDue(int64_t nowUs) {
    while (!outgoing_.empty() && outgoing_.front().dueUs <= nowUs) {
        const Outgoing& next = outgoing_.front();
        if (port_.isOpen()) {
            // A station that does not read lets the far end fill up; what
            // does not fit is lost, as on a line nobody listens to.
            // Traced before the write, so whoever reads the answer also
            // finds it in the trace.
            traceBytes(nowUs, "->", next.bytes.data(), next.bytes.size(), "");
            const ssize_t written = ::write(port_.masterFd(), next.bytes.data(), next.bytes.size());
            if (written != static_cast<ssize_t>(next.bytes.size())) {
                traceBytes(nowUs, "->", next.bytes.data(), 0, "(not all written)");
            }
        }
        outgoing_.pop_front();
    }
}

void PtyHost::pressFootSwitch(const char* how) {
    instrument_.pressFootSwitch();
    say(out_, "gaugesim: foot switch pressed (%s)\n", how);
}

void PtyHost::handleKeys() {
    char keys[16];
    const ssize_t count = ::read(STDIN_FILENO, keys, sizeof keys);
    if (count <= 0) {
        // End of input (started in the background): keys are off, the
        // instrument goes on.
        if (count == 0 || (errno != EAGAIN && errno != EINTR)) watchStdin_ = false;
        return;
    }
    for (ssize_t i = 0; i < count; ++i) {
        switch (keys[i]) {
            case 'r':
            case 'R':
            case ' ':
            case '\n':
            case '\r': pressFootSwitch("key"); break;
            case 't':
            case 'T':
                trace_ = !trace_;
                say(out_, "gaugesim: trace %s\n", trace_ ? "on" : "off");
                break;
            case 'q':
            case 'Q': quit_ = true; break;
            default: break;
        }
    }
}

int64_t PtyHost::timeoutUs(int64_t nowUs) const {
    int64_t nextUs = -1;
    const auto consider = [&](int64_t atUs) {
        if (atUs >= 0 && (nextUs < 0 || atUs < nextUs)) nextUs = atUs;
    };
    consider(frames_.completesAtUs(frameGap()));
    if (!outgoing_.empty()) consider(outgoing_.front().dueUs);
    consider(nextFootSwitchUs_);
    const FaultPlan& vanish = instrument_.faults()[FaultKind::Vanish];
    const bool mayVanish = !port_.isOpen() || vanish.fromMs >= 0 || vanish.rate > 0 || vanish.every > 0 ||
                           vanish.next > 0 || instrument_.vanishedAt(msOf(nowUs));
    if (mayVanish) consider(nowUs + kVanishCheckMs * 1000);
    if (nextUs < 0) return -1;
    // To the microsecond: an answer sent up to a millisecond late would slow
    // every master that polls as fast as the line allows.
    return std::clamp<int64_t>(nextUs - nowUs, 0, 60'000'000);
}

void PtyHost::traceBytes(int64_t atUs, const char* direction, const uint8_t* bytes, size_t count,
                         std::string_view note) {
    if (!trace_ || stopping()) return;
    std::fprintf(traceOut_, "%10.3f %s", static_cast<double>(atUs) / 1e6, direction);
    for (size_t i = 0; i < count; ++i) std::fprintf(traceOut_, " %02X", bytes[i]);
    if (!note.empty()) std::fprintf(traceOut_, "  %.*s", static_cast<int>(note.size()), note.data());
    std::fputc('\n', traceOut_);
    std::fflush(traceOut_);
}

// Once a stop is asked for, nothing more is written: output nobody reads
// would block, and the loop must get round to removing the link.
void PtyHost::say(std::FILE* to, const char* format, ...) {
    if (stopping()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(to, format, args);
    va_end(args);
    std::fflush(to);
}

}  // namespace gaugemon::sim
