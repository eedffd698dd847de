#include "sim/baud_codes.h"

namespace gaugemon::sim {

namespace {

constexpr int kRatesFF[5] = {4800, 9600, 19200, 38400, 115200};
constexpr int kRatesFFVariant[5] = {115200, 9600, 19200, 4800, 38400};
constexpr int kRates01[5] = {9600, 19200, 38400, 4800, 115200};

const int* tableOf(link::DataFormat format, bool variant) {
    if (format == link::DataFormat::Format01) return kRates01;
    return variant ? kRatesFFVariant : kRatesFF;
}

}  // namespace

std::optional<uint8_t> baudCodeOf(link::DataFormat format, bool variant, int baudRate) {
    const int* rates = tableOf(format, variant);
    for (uint8_t code = 0; code < 5; ++code) {
        if (rates[code] == baudRate) return code;
    }
    return std::nullopt;
}

std::optional<int> baudRateOf(link::DataFormat format, bool variant, uint8_t code) {
    if (code >= 5) return std::nullopt;
    return tableOf(format, variant)[code];
}

bool isInstrumentBaudRate(int baudRate) { return baudCodeOf(link::DataFormat::FormatFF, false, baudRate).has_value(); }

}  // namespace gaugemon::sim
