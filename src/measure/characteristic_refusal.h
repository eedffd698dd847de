#pragma once
#include <cstdint>
#include <string>

#include "core/language.h"

namespace gaugemon::measure {

// Why a characteristic, a line of a setup text or a whole text was refused.
enum class RefusalReason : uint8_t {
    EmptyName,
    NameTooLong,
    NameNotAllowed,   // a control character, ; , " or a leading #, or not UTF-8
    NameLikeFormula,  // begins with = + - or @, which a spreadsheet takes for a formula
    NameInvisible,    // a zero-width character or one that turns the writing direction
    NameAlreadyUsed,
    BadDecimals,
    BadLimit,       // not a number, or too large
    LimitDecimals,  // more decimals than the unit stores
    LowerAboveUpper,
    EmptyList,            // a formula without any probe
    UnknownProbe,         // not p1..p60
    ProbeNumberTooLarge,  // more digits than any probe number has
    ProbeBeyondCount,     // beyond the probes of the connected instrument
    TooManyTerms,
    BadWeight,         // not a finite number up to 1000
    BadConstant,       // not a number below 1000 mm with at most 4 decimals
    BadFormula,        // no formula of the known forms
    ValueBeyondRange,  // the value can leave what a row holds at the probes' full scale
    BadLine,           // not five fields separated by ;
    BadUnit,
    TooManyCharacteristics,
    TextTooLarge,
    CannotRead,
};
inline constexpr unsigned kRefusalReasons = static_cast<unsigned>(RefusalReason::CannotRead) + 1;

// A refusal and what it points at: the 1-based line of a setup text (0 when
// not from a text) and the probe number a probe refusal is about.
struct Refusal {
    RefusalReason reason = RefusalReason::BadLine;
    unsigned line = 0;
    unsigned probe = 0;
    friend bool operator==(const Refusal&, const Refusal&) = default;
};

// The message for the operator, in the language of the moment (UTF-8):
// "Line 4: probe 61 does not exist (p1..p60)."
std::string refusalText(const Refusal& refusal, core::Language language);

}  // namespace gaugemon::measure
