#include "sim/options.h"

#include "link/port_directory.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <type_traits>

#include "sim/baud_codes.h"

namespace gaugemon::sim {

namespace {

// The station can name COM1..COM16; its sweep reaches COM1..COM15, and COM16
// only when it was stored as the last port used.
constexpr unsigned kLowestPortNumber = 1;
constexpr unsigned kHighestPortNumber = 16;

template <typename Number>
std::optional<Number> numberOf(std::string_view text) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
    if constexpr (std::is_floating_point_v<Number>) {
        if (!std::isfinite(value)) return std::nullopt;  // "nan" and "inf" parse, but mean nothing here
    }
    return value;
}

std::optional<int64_t> secondsAsMs(std::string_view text) {
    const auto seconds = numberOf<double>(text);
    if (!seconds || *seconds < 0 || *seconds > 1e9) return std::nullopt;
    return std::llround(*seconds * 1000.0);
}

// "all", or 1-based probe numbers and ranges: "1,3-5".
bool parseProbeList(std::string_view text, unsigned probeCount, std::vector<bool>& chosen, std::string& error) {
    chosen.assign(probeCount, false);
    if (text == "all") {
        chosen.assign(probeCount, true);
        return true;
    }
    while (!text.empty()) {
        const size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const size_t dash = item.find('-');
        const auto first = numberOf<unsigned>(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : numberOf<unsigned>(item.substr(dash + 1));
        if (!first || !last || *first < 1 || *last < *first || *last > probeCount) {
            error = "probe list \"" + std::string(item) + "\": probes are numbered 1.." + std::to_string(probeCount);
            return false;
        }
        for (unsigned k = *first; k <= *last; ++k) chosen[k - 1] = true;
    }
    return true;
}

// KIND[:LEVEL[:AMPLITUDE[:PERIOD_MS]]], micrometres and milliseconds.
bool parseSignal(std::string_view text, Signal& signal, std::string& error) {
    std::vector<std::string_view> parts;
    while (true) {
        const size_t colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos) break;
        text = text.substr(colon + 1);
    }
    const auto kind = signalKindNamed(parts[0]);
    if (!kind || parts.size() > 4) {
        error = "signal \"" + std::string(parts[0]) +
                "\": use constant, ramp, sine, noise or step, then :level:amplitude:period";
        return false;
    }
    signal = Signal{};
    signal.kind = *kind;
    const std::optional<double> level = parts.size() > 1 ? numberOf<double>(parts[1]) : 0.0;
    const std::optional<double> amplitude = parts.size() > 2 ? numberOf<double>(parts[2]) : 0.0;
    const std::optional<int64_t> period = parts.size() > 3 ? numberOf<int64_t>(parts[3]) : int64_t{2000};
    if (!level || !amplitude || !period || *period < 0) {
        error = "signal numbers: level and amplitude in micrometres, period in milliseconds";
        return false;
    }
    signal.levelUm = *level;
    signal.amplitudeUm = *amplitude;
    signal.periodMs = *period;
    return true;
}

// RATE | every:N | next:N | at:T[+D], seconds for T and D.
bool parseFaultPlan(std::string_view spec, FaultPlan& plan, std::string& error) {
    const auto fail = [&] {
        error = "fault \"" + std::string(spec) + "\": use a rate 0..1, every:N, next:N or at:SECONDS[+SECONDS]";
        return false;
    };
    if (spec.starts_with("every:") || spec.starts_with("next:")) {
        const auto n = numberOf<uint32_t>(spec.substr(spec.find(':') + 1));
        if (!n || *n == 0) return fail();
        (spec.starts_with("every:") ? plan.every : plan.next) = *n;
        return true;
    }
    if (spec.starts_with("at:")) {
        const std::string_view window = spec.substr(3);
        const size_t plus = window.find('+');
        const auto from = secondsAsMs(window.substr(0, plus));
        const auto length =
            plus == std::string_view::npos ? std::optional<int64_t>(-1) : secondsAsMs(window.substr(plus + 1));
        if (!from || !length) return fail();
        plan.fromMs = *from;
        plan.untilMs = *length < 0 ? -1 : *from + *length;
        return true;
    }
    const auto rate = numberOf<double>(spec);
    if (!rate || *rate < 0 || *rate > 1) return fail();
    plan.rate = *rate;
    return true;
}

struct Pending {
    std::vector<std::pair<std::string, std::string>> signals;  // probe list, signal
    std::string fine;
};

// A slow sine per probe, each with its own period and phase, swinging across
// the station's default tolerance band of 3 to 6 mm, so bars turn from green
// to red and back.
ProbeSetup movingProbe(unsigned k) {
    ProbeSetup setup;
    setup.signal.kind = SignalKind::Sine;
    setup.signal.levelUm = 4500;
    setup.signal.amplitudeUm = 1800;
    setup.signal.periodMs = 4000 + 370 * static_cast<int64_t>(k % 11);
    setup.signal.startMs = 613 * static_cast<int64_t>(k);
    return setup;
}

bool finishProbes(const Pending& pending, InstrumentConfig& config, std::string& error) {
    const unsigned count = config.probeCount;
    config.probes.clear();
    for (unsigned k = 0; k < count; ++k) config.probes.push_back(movingProbe(k));
    std::vector<bool> chosen;
    for (const auto& [list, text] : pending.signals) {
        Signal signal;
        if (!parseProbeList(list, count, chosen, error) || !parseSignal(text, signal, error)) return false;
        for (unsigned k = 0; k < count; ++k) {
            if (chosen[k]) config.probes[k].signal = signal;
        }
    }
    if (!pending.fine.empty()) {
        if (!parseProbeList(pending.fine, count, chosen, error)) return false;
        for (unsigned k = 0; k < count; ++k) config.probes[k].fine = chosen[k];
    }
    return true;
}

}  // namespace

std::string canonicalPortName(std::string_view name) {
    constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.starts_with(kDevicePrefix)) name.remove_prefix(kDevicePrefix.size());
    if (name.size() < 4 || name.size() > 6) return {};
    for (size_t i = 0; i < 3; ++i) {
        if ((name[i] & ~0x20) != "COM"[i]) return {};
    }
    const auto number = numberOf<unsigned>(name.substr(3));
    if (!number || *number < kLowestPortNumber || *number > kHighestPortNumber) return {};
    return "COM" + std::to_string(*number);
}

std::filesystem::path defaultPortDirectory() { return link::PortDirectory::defaultDirectory(); }

ParsedOptions parseOptions(const std::vector<std::string_view>& args) {
    ParsedOptions result;
    SimOptions& o = result.options;
    InstrumentConfig& c = o.instrument;
    Pending pending;
    std::string& error = result.error;
    const auto fail = [&](std::string message) {
        error = std::move(message);
        return result;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view option = args[i];
        const auto needsValue = [&]() -> std::optional<std::string_view> {
            if (i + 1 >= args.size()) return std::nullopt;
            return args[++i];
        };
        if (option == "--help" || option == "-h") {
            o.help = true;
            continue;
        }
        if (option == "--trace") {
            o.trace = true;
            continue;
        }
        if (option == "--baud-variant") {
            c.baudCodeVariant = true;
            continue;
        }
        if (option == "--strict-stop-bits") {
            c.strictStopBits = true;
            continue;
        }
        if (option == "--replace") {
            o.replaceLink = true;
            continue;
        }
        const auto value = needsValue();
        if (!value) return fail("unknown option or missing value: " + std::string(option));
        const std::string_view v = *value;
        if (option == "--port") {
            o.portName = canonicalPortName(v);
            if (o.portName.empty()) return fail("--port: a port name COM1..COM16 (the station sweeps COM1..COM15)");
        } else if (option == "--port-dir") {
            o.portDirectory = std::filesystem::path(std::string(v));
        } else if (option == "--format") {
            if (v == "FF" || v == "ff") {
                c.format = link::DataFormat::FormatFF;
            } else if (v == "01") {
                c.format = link::DataFormat::Format01;
            } else {
                return fail("--format: FF or 01");
            }
        } else if (option == "--address") {
            const auto n = numberOf<unsigned>(v);
            if (!n || *n < 1 || *n > 254) return fail("--address: 1..254");
            c.address = static_cast<uint8_t>(*n);
        } else if (option == "--probes") {
            const auto n = numberOf<unsigned>(v);
            if (!n || *n < 1 || *n > 255) return fail("--probes: 1..255");
            c.probeCount = *n;
        } else if (option == "--baud") {
            const auto n = numberOf<int>(v);
            if (!n || !isInstrumentBaudRate(*n)) return fail("--baud: 4800, 9600, 19200, 38400 or 115200");
            c.baudRate = *n;
        } else if (option == "--parity") {
            if (v == "none" || v == "N") {
                c.parityCode = 0;
            } else if (v == "odd" || v == "O") {
                c.parityCode = 1;
            } else if (v == "even" || v == "E") {
                c.parityCode = 2;
            } else {
                return fail("--parity: none, odd or even");
            }
        } else if (option == "--stop-bits") {
            if (v != "1" && v != "2") return fail("--stop-bits: 1 or 2");
            c.twoStopBits = v == "2" ? 1 : 0;
        } else if (option == "--flags") {
            const auto n = numberOf<unsigned>(v);
            if (!n || *n > 0xFF) return fail("--flags: 0..255");
            c.formatFlags = static_cast<uint8_t>(*n);
        } else if (option == "--signal") {
            const size_t equals = v.find('=');
            if (equals == std::string_view::npos) {
                pending.signals.emplace_back("all", std::string(v));
            } else {
                pending.signals.emplace_back(std::string(v.substr(0, equals)), std::string(v.substr(equals + 1)));
            }
        } else if (option == "--fine") {
            pending.fine = std::string(v);
        } else if (option == "--negative") {
            if (v == "sign") {
                c.negatives = NegativeEncoding::SignExtended;
            } else if (v == "marker") {
                c.negatives = NegativeEncoding::Marker;
            } else if (v == "alternate") {
                c.negatives = NegativeEncoding::Alternating;
            } else {
                return fail("--negative: sign, marker or alternate");
            }
        } else if (option == "--turnaround") {
            const auto ms = numberOf<double>(v);
            if (!ms || *ms < 0 || *ms > 10000) return fail("--turnaround: milliseconds, 0..10000");
            c.turnaroundUs = std::llround(*ms * 1000.0);
        } else if (option == "--seed") {
            const auto n = numberOf<uint64_t>(v);
            if (!n) return fail("--seed: a whole number");
            c.seed = *n;
        } else if (option == "--fault") {
            const size_t equals = v.find('=');
            const auto kind = faultKindNamed(v.substr(0, equals));
            if (!kind || equals == std::string_view::npos) {
                return fail("--fault: KIND=SPEC with KIND drop, crc, truncate, stray, late, noise, silent or vanish");
            }
            if (!parseFaultPlan(v.substr(equals + 1), c.faults[*kind], error)) return result;
        } else if (option == "--late-ms") {
            const auto n = numberOf<int64_t>(v);
            if (!n || *n < 0) return fail("--late-ms: milliseconds");
            c.faults.lateByMs = *n;
        } else if (option == "--silent-for") {
            const auto ms = secondsAsMs(v);
            if (!ms) return fail("--silent-for: seconds");
            c.faults.silentForMs = *ms;
        } else if (option == "--vanish-for") {
            const auto ms = secondsAsMs(v);
            if (!ms) return fail("--vanish-for: seconds");
            c.faults.vanishForMs = *ms == 0 ? -1 : *ms;
        } else if (option == "--foot-switch-every") {
            const auto ms = secondsAsMs(v);
            if (!ms || *ms == 0) return fail("--foot-switch-every: seconds, above 0");
            o.footSwitchEveryMs = *ms;
        } else {
            return fail("unknown option: " + std::string(option));
        }
    }
    if (!finishProbes(pending, c, error)) return result;
    if (const std::string problem = validate(c); !problem.empty()) return fail(problem);
    if (o.portDirectory.empty()) o.portDirectory = defaultPortDirectory();
    if (o.portDirectory.empty()) return fail("no port directory: HOME is not set, use --port-dir");
    return result;
}

std::string usageText() {
    return R"(gaugesim: a simulated measuring instrument on a pseudo-terminal.

It links the pseudo-terminal as COMn into the station's port directory, so the
station finds it by discovery, and answers as a real instrument does.

  --port COMn            port name COM1..COM16 (default COM3); discovery sweeps
                         COM1..COM15 and tries COM16 only as the last port used
  --port-dir DIR         port directory (default ~/.local/share/gaugemon/ports)
  --replace              take over an entry COMn that is already there
  --format FF|01         data format (default FF)
  --address N            slave address 1..254 (default 1)
  --probes N             probes 1..255 (default 8)
  --baud N               4800, 9600, 19200, 38400, 115200 (default 19200)
  --parity none|odd|even (default none)
  --stop-bits 1|2        stop bits with no parity (default 2)
  --strict-stop-bits     do not understand a master with other stop bits
  --baud-variant         format FF: number the baud rates the alternative way
  --flags N              other bits of the format-flags register
  --signal [P=]KIND[:LEVEL[:AMPLITUDE[:PERIOD]]]
                         probe signal; KIND constant, ramp, sine, noise, step;
                         micrometres and milliseconds; P a probe list such as
                         1,3-5 (default all); repeatable; without it each
                         probe swings slowly between about 2.7 and 6.3 mm
  --fine P               probes with 0.0005 mm resolution, e.g. 2,4 or all
  --negative sign|marker|alternate   encoding of negative readings
  --turnaround MS        pause before an answer (default 3)
  --seed N               seed of noise and random faults
  --fault KIND=SPEC      KIND drop, crc, truncate, stray, late, noise, silent,
                         vanish; SPEC a rate 0..1, every:N, next:N, or
                         at:T[+D] (from T seconds after start, for D seconds);
                         repeatable
  --late-ms MS           delay of a late answer (default 1000)
  --silent-for S         length of a silence started by a rate (default 5)
  --vanish-for S         length of a vanish started by a rate (default and 0:
                         for good)
  --foot-switch-every S  press the foot switch every S seconds
  --trace                hex trace of what is received and sent (stderr)
  -h, --help             this text

Keys while running: r, space or Enter press the foot switch; t toggles the
trace; q quits. The link is removed when the program stops.

A pseudo-terminal hides the parity-enable flag: two stop bits are taken as no
parity, the odd flag as odd (or none), neither as even (or none).
)";
}

}  // namespace gaugemon::sim
