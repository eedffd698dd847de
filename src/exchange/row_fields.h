#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "records/gbk.h"

namespace gaugemon::exchange {

enum class RowVerdict : uint8_t { Ok, Ng, Unknown };

// The verdict of a row from its 4-byte result cell, in either language of
// recording.
RowVerdict verdictOf(std::string_view resultCell);

// The result text of a row as UTF-8, in the language it was recorded in
// ("OK", "合格"); empty for a cell that is neither.
std::string_view verdictText(std::string_view resultCell);

// The time of a row from its stamp "2019-11-29; 13:52:30"; nothing when the
// stamp is not a real moment (a clock gone wrong writes month 00 or 99).
std::optional<core::LocalDateTime> parseTimeStamp(std::string_view stamp);

// The workpiece code as UTF-8; a byte that is no GBK character becomes U+FFFD.
std::string codeText(std::string_view gbk, const records::GbkDecoder& decoder);

// True when the text holds a control character or a decoder's replacement
// for a damaged byte: a line-oriented file cannot carry it as it is.
bool holdsUncarriableCharacter(std::string_view utf8);

}  // namespace gaugemon::exchange
