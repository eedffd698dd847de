#include "link/link_texts.h"

namespace gaugemon::link {

using core::Language;
using core::pick;

int baudRateOfCode(DataFormat format, unsigned code) {
    static constexpr int kFF[5] = {4800, 9600, 19200, 38400, 115200};
    static constexpr int k01[5] = {9600, 19200, 38400, 4800, 115200};
    if (code > 4) return 0;
    return format == DataFormat::FormatFF ? kFF[code] : k01[code];
}

int32_t pollPeriodFor(int baudRate, unsigned probes, int32_t previous) {
    const int32_t n = static_cast<int32_t>(probes);
    switch (baudRate) {
        case 4800: return n * 96 / 10 + 106 + 20;
        case 9600: return n * 48 / 10 + 68 + 20;
        case 19200: return n * 24 / 10 + 47 + 20;
        case 38400: return n * 12 / 10 + 33 + 20;
        case 115200: return n * 4 / 10 + 22 + 20;
        default: return previous + 20;
    }
}

namespace {

void appendDigits(std::string& out, uint32_t value, int width) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 10);
    for (int i = count; i < width; ++i) out.push_back('0');
    while (count > 0) out.push_back(digits[--count]);
}

// Tens and units always, the hundreds digit (and more) only when there is one.
void appendAtLeastTwoDigits(std::string& out, uint32_t value) { appendDigits(out, value, 2); }

void appendCount(std::string& out, uint32_t& count) {
    if (count > 999) {
        count = 999;
        out.push_back('>');
    }
    appendDigits(out, count, 3);
}

}  // namespace

void buildMessageLine(std::string& out, Language language, uint32_t& errorCount, uint32_t& missCount) {
    out.clear();
    out += pick(language, "Error：", "误码：");
    appendCount(out, errorCount);
    out += pick(language, " Miss:", " 漏码：");
    appendCount(out, missCount);
}

void buildCommStatus(std::string& out, unsigned portIndex, const char* separator, int baudRate, char parityLetter) {
    out.assign("COM");
    appendDigits(out, portIndex, 2);
    out += separator;
    if (baudRate != 0) appendDigits(out, static_cast<uint32_t>(baudRate), 1);
    out += ",8,";
    out.push_back(parityLetter);
    out += ",1";
}

void buildDeviceInfo(std::string& out, Language language, unsigned address, unsigned probes, int32_t cycleMs) {
    out.assign(pick(language, "Addr:", "地址:"));
    appendAtLeastTwoDigits(out, address);
    out += pick(language, "  Num:", "  数量:");
    appendDigits(out, probes, 2);
    out += pick(language, "; Sample cycle:", "; 查询周期");
    appendAtLeastTwoDigits(out, static_cast<uint32_t>(cycleMs < 0 ? 0 : cycleMs));
    out += pick(language, "ms", "毫秒");
}

void buildScanStatus(std::string& out, Language language, DataFormat format, unsigned portIndex) {
    out.assign("HV");
    out.push_back(format == DataFormat::FormatFF ? '2' : '1');
    out += pick(language, ",Scanning com", ",正在扫描com");
    appendDigits(out, portIndex, 1);
}

char parityLetter(uint8_t parityCode) {
    if (parityCode == 1) return 'O';
    if (parityCode == 2) return 'E';
    return 'N';
}

uint8_t variantBaudBits(uint8_t baudCode) {
    switch (baudCode) {
        case 0: return 3;
        case 3: return 4;
        case 4: return 0;
        default: return baudCode;
    }
}

uint8_t baudCodeFromVariant(uint8_t baudBits) {
    switch (baudBits) {
        case 0: return 4;
        case 3: return 0;
        case 4: return 3;
        default: return baudBits;
    }
}

}  // namespace gaugemon::link
