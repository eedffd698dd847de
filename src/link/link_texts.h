#pragma once
#include <string>

#include "core/language.h"
#include "link/link_state.h"

namespace gaugemon::link {

// Baud rate of an instrument baud code in the numbering of `format`; 0 for a
// code outside 0..4.
int baudRateOfCode(DataFormat format, unsigned code);

// Time allowed for one exchange of `probes` readings at `baudRate`, 20 ms
// included; `previous` + 20 for a rate the instrument cannot have.
int32_t pollPeriodFor(int baudRate, unsigned probes, int32_t previous);

// "Error：000 Miss:012"; a count above 999 is clamped to 999 and shown as ">999".
void buildMessageLine(std::string& out, core::Language language, uint32_t& errorCount, uint32_t& missCount);

// "COM03 19200,8,N,1". `separator` is the blank(s) after the port number;
// `baudRate` 0 leaves the rate out.
void buildCommStatus(std::string& out, unsigned portIndex, const char* separator, int baudRate, char parityLetter);

// "Addr:01  Num:08; Sample cycle:109ms" with the cycle figure given.
void buildDeviceInfo(std::string& out, core::Language language, unsigned address, unsigned probes, int32_t cycleMs);

// "HV2,Scanning com3".
void buildScanStatus(std::string& out, core::Language language, DataFormat format, unsigned portIndex);

char parityLetter(uint8_t parityCode);

// Some format "FF" instruments number their baud rates 115200, 9600, 19200,
// 4800, 38400. The station keeps the usual numbering and translates at the
// line, both ways, for every rate.
uint8_t variantBaudBits(uint8_t baudCode);
uint8_t baudCodeFromVariant(uint8_t baudBits);

}  // namespace gaugemon::link
