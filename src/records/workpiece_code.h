#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/language.h"

namespace gaugemon::records {

// A row keeps its code in a 36-byte slot: the code, a terminator, zero bytes.
// An all-digit code recorded with a row gets a '/' in front in the slot (so a
// spreadsheet keeps its leading zeros), which leaves 34 bytes for the code.
inline constexpr size_t kCodeSlotBytes = 36;
inline constexpr size_t kMaxCodeBytes = kCodeSlotBytes - 2;
inline constexpr char kDigitCodePrefix = '/';

// An accepted workpiece code in GBK bytes, the encoding of the record files.
class WorkpieceCode {
public:
    WorkpieceCode() = default;
    // Keeps at most kMaxCodeBytes bytes; callers pass codes checked by checkCode.
    static WorkpieceCode fromGbk(std::string_view gbk);

    std::string_view gbk() const { return {bytes_.data(), length_}; }
    bool allDigits() const;

private:
    std::array<char, kMaxCodeBytes> bytes_{};
    uint8_t length_ = 0;
};

// Why a typed code cannot be stored.
enum class CodeProblem : uint8_t {
    None,
    ForbiddenCharacter,  // comma, quotation mark, tab, line break or another control character: breaks the file layout
    FormulaStart,        // first non-blank character = + - or @: a spreadsheet opening the file evaluates it
    NotStorable,         // not valid UTF-8, or a character that GBK does not hold
    TooLong,             // more than kMaxCodeBytes bytes in GBK
};

struct CodeCheck {
    CodeProblem problem = CodeProblem::None;
    WorkpieceCode code;  // the accepted code when problem is None
};

// Checks a code as the operator typed it (UTF-8) and turns it into GBK.
CodeCheck checkCode(std::string_view utf8);

// The message that refuses a code, in the language of the moment.
const char* codeProblemMessage(CodeProblem problem, core::Language language);

}  // namespace gaugemon::records
