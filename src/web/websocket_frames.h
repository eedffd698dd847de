#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace gaugemon::web {

// The WebSocket frames (RFC 6455) of the live page's server side: it sends
// text and answers pings and closes; what a client sends is read only far
// enough to hold it to the standard.
namespace opcode {
inline constexpr uint8_t kText = 0x1;
inline constexpr uint8_t kClose = 0x8;
inline constexpr uint8_t kPing = 0x9;
inline constexpr uint8_t kPong = 0xA;
}  // namespace opcode

inline constexpr uint16_t kCloseProtocolError = 1002;
inline constexpr uint16_t kCloseTooBig = 1009;

// The Sec-WebSocket-Accept of a handshake's key.
std::string webSocketAccept(std::string_view key);

// The header of a whole, unmasked frame (a server never masks) of `length` bytes.
std::string frameHeader(uint8_t opcode, uint64_t length);

// One frame of a client at the start of `bytes`.
struct ClientFrame {
    enum class Outcome { Incomplete, Whole, Refused };
    Outcome outcome = Outcome::Incomplete;
    uint16_t closeCode = 0;  // Refused: why, as the close frame says it
    uint8_t opcode = 0;
    size_t bytes = 0;     // Whole: the frame's length
    std::string payload;  // Whole: unmasked, for control frames only
};

// A frame that is not masked, sets reserved bits, has an unknown opcode, or
// a control frame that is long or fragmented is refused (1002); a payload
// beyond `maxPayload` too (1009), before it arrives.
ClientFrame readClientFrame(std::string_view bytes, uint64_t maxPayload);

}  // namespace gaugemon::web
