#pragma once
#include <cstdint>

#include "link/link_state.h"

namespace gaugemon::link {

// The choices of the communication-parameters dialog, as list indices:
// baud 0..4 = 115200, 38400, 19200, 9600, 4800; parity 0..2 = None, Odd,
// Even; format 0..1 = "01", "FF"; -1 = nothing selected.
struct ParameterChoice {
    int baudIndex = -1;
    int parityIndex = -1;
    int formatIndex = -1;
    uint32_t address = 0;
};

constexpr int kFormatIndex01 = 0;
constexpr int kFormatIndexFF = 1;

// The dialog's filling from the link state; remembers it in `remembered`,
// which lives from one opening of the dialog to the next. Opening it on a
// format "01" instrument also asks the poll cycle to read the format flags.
ParameterChoice fillParameterChoice(LinkState& link, ParameterChoice& remembered);

// The format list's entry once the format flags have been read; -1 while not.
int formatIndexFromFlags(uint8_t deviceFlags);

enum class ParameterOk { Close, AddressOutOfRange };

// OK: raises the requests the changed choices need. An address outside
// 1..254 keeps the dialog open; requests raised before that check stay raised.
ParameterOk applyParameterChoice(LinkState& link, const ParameterChoice& remembered, const ParameterChoice& choice);

// The display mode selector (4 modes): without a connection nothing is
// raised; an index outside the list is ignored; otherwise the mode write is
// raised behind a write unlock.
enum class ModeRequest : uint8_t { Raised, Ignored, NotConnected };
inline constexpr unsigned kDisplayModes = 4;
ModeRequest raiseDisplayModeChange(LinkState& link, int selectedIndex);

inline constexpr const char* kAddressRangeMessage = "超出地址设置范围1~254!";

}  // namespace gaugemon::link
