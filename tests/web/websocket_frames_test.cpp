// The WebSocket frames of the live page's server side, byte by byte.
#include <gtest/gtest.h>

#include "web/websocket_frames.h"

using namespace gaugemon::web;

namespace {

constexpr uint64_t kMax = 1024;
const std::string kMask = "\x01\x02\x03\x04";

// A client's frame: `first` byte, masked `payload`.
std::string masked(uint8_t first, const std::string& payload) {
    std::string frame{static_cast<char>(first), static_cast<char>(0x80 | payload.size())};
    frame += kMask;
    for (size_t k = 0; k < payload.size(); ++k) frame += static_cast<char>(payload[k] ^ kMask[k % 4]);
    return frame;
}

struct FrameCase {
    const char* what;
    std::string bytes;
    ClientFrame::Outcome outcome;
    uint16_t closeCode = 0;
};

TEST(WebSocketFrames, AClientsFrameIsHeldToTheStandard) {
    using Outcome = ClientFrame::Outcome;
    const FrameCase cases[] = {
        {"a masked text", masked(0x81, "hi"), Outcome::Whole},
        {"an unmasked text", std::string("\x81\x02hi", 4), Outcome::Refused, kCloseProtocolError},
        {"a reserved bit", masked(0xC1, "hi"), Outcome::Refused, kCloseProtocolError},
        {"an unknown opcode", masked(0x83, "hi"), Outcome::Refused, kCloseProtocolError},
        {"a fragmented ping", masked(0x09, "hi"), Outcome::Refused, kCloseProtocolError},
        {"a ping of 126 bytes", std::string("\x89\xFE\x00\x7E", 4) + kMask, Outcome::Refused, kCloseProtocolError},
        {"a message beyond the limit, refused before it arrives", std::string("\x81\xFE\x04\x01", 4), Outcome::Refused,
         kCloseTooBig},
        {"a 64-bit length", std::string("\x82\xFF\x00\x00\x00\x01\x00\x00\x00\x00", 10), Outcome::Refused,
         kCloseTooBig},
        {"one byte", "\x81", Outcome::Incomplete},
        {"a header without its mask", std::string("\x81\x82\x01", 3), Outcome::Incomplete},
        {"half a payload", masked(0x81, "hello").substr(0, 8), Outcome::Incomplete},
    };
    for (const FrameCase& c : cases) {
        const ClientFrame frame = readClientFrame(c.bytes, kMax);
        EXPECT_EQ(frame.outcome, c.outcome) << c.what;
        EXPECT_EQ(frame.closeCode, c.closeCode) << c.what;
    }
    const std::string ping = masked(0x89, "ab");
    const ClientFrame frame = readClientFrame(ping + masked(0x81, "next"), kMax);
    EXPECT_EQ(frame.opcode, opcode::kPing);
    EXPECT_EQ(frame.payload, "ab");
    EXPECT_EQ(frame.bytes, ping.size());
}

TEST(WebSocketFrames, TheServersOwnAreUnmaskedWithTheShortestLength) {
    EXPECT_EQ(frameHeader(opcode::kText, 5), std::string("\x81\x05", 2));
    EXPECT_EQ(frameHeader(opcode::kText, 126), std::string("\x81\x7E\x00\x7E", 4));
    EXPECT_EQ(frameHeader(opcode::kPong, 65535), std::string("\x8A\x7E\xFF\xFF", 4));
    EXPECT_EQ(frameHeader(opcode::kText, 70000), std::string("\x81\x7F\x00\x00\x00\x00\x00\x01\x11\x70", 10));
    // The example of RFC 6455, 1.3.
    EXPECT_EQ(webSocketAccept("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");
}

}  // namespace
