#include "web/websocket_frames.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace gaugemon::web {

namespace {

constexpr std::string_view kHandshakeGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr uint8_t kFin = 0x80;
constexpr uint8_t kReserved = 0x70;
constexpr uint8_t kOpcodeBits = 0x0F;
constexpr uint8_t kMasked = 0x80;
constexpr uint8_t kLengthBits = 0x7F;
constexpr uint8_t kLength16 = 126;
constexpr uint8_t kLength64 = 127;
constexpr uint64_t kMaxControlPayload = 125;
constexpr size_t kMaskBytes = 4;

uint8_t byteAt(std::string_view bytes, size_t at) { return static_cast<uint8_t>(bytes[at]); }

uint64_t bigEndian(std::string_view bytes, size_t at, size_t count) {
    uint64_t value = 0;
    for (size_t k = 0; k < count; ++k) value = (value << 8) | byteAt(bytes, at + k);
    return value;
}

// Continuation, text, binary, close, ping and pong.
bool knownOpcode(uint8_t code) {
    return code <= opcode::kText + 1 || (code >= opcode::kClose && code <= opcode::kPong);
}

ClientFrame refused(uint16_t closeCode) {
    ClientFrame frame;
    frame.outcome = ClientFrame::Outcome::Refused;
    frame.closeCode = closeCode;
    return frame;
}

}  // namespace

std::string webSocketAccept(std::string_view key) {
    QByteArray text(key.data(), static_cast<qsizetype>(key.size()));
    text.append(kHandshakeGuid.data(), static_cast<qsizetype>(kHandshakeGuid.size()));
    return QCryptographicHash::hash(text, QCryptographicHash::Sha1).toBase64().toStdString();
}

std::string frameHeader(uint8_t code, uint64_t length) {
    std::string header(1, static_cast<char>(kFin | code));
    size_t lengthBytes = 0;
    if (length < kLength16) {
        header += static_cast<char>(length);
    } else if (length <= UINT16_MAX) {
        header += static_cast<char>(kLength16);
        lengthBytes = 2;
    } else {
        header += static_cast<char>(kLength64);
        lengthBytes = 8;
    }
    for (size_t k = lengthBytes; k > 0; --k) header += static_cast<char>((length >> (8 * (k - 1))) & 0xFF);
    return header;
}

ClientFrame readClientFrame(std::string_view bytes, uint64_t maxPayload) {
    if (bytes.size() < 2) return {};
    const uint8_t first = byteAt(bytes, 0);
    const uint8_t second = byteAt(bytes, 1);
    const uint8_t code = first & kOpcodeBits;
    // A client masks every frame: one that does not is not a browser's.
    if ((first & kReserved) != 0 || (second & kMasked) == 0 || !knownOpcode(code)) return refused(kCloseProtocolError);
    size_t header = 2;
    uint64_t length = second & kLengthBits;
    if (length == kLength16 || length == kLength64) {
        const size_t count = length == kLength16 ? 2 : 8;
        if (bytes.size() < header + count) return {};
        length = bigEndian(bytes, header, count);
        header += count;
    }
    const bool control = code >= opcode::kClose;
    if (control && (length > kMaxControlPayload || (first & kFin) == 0)) return refused(kCloseProtocolError);
    if (length > maxPayload) return refused(kCloseTooBig);
    header += kMaskBytes;
    if (bytes.size() < header + length) return {};
    ClientFrame frame;
    frame.outcome = ClientFrame::Outcome::Whole;
    frame.opcode = code;
    frame.bytes = header + static_cast<size_t>(length);
    if (control) {
        frame.payload.assign(bytes.substr(header, static_cast<size_t>(length)));
        for (size_t k = 0; k < frame.payload.size(); ++k)
            frame.payload[k] = static_cast<char>(frame.payload[k] ^ bytes[header - kMaskBytes + k % kMaskBytes]);
    }
    return frame;
}

}  // namespace gaugemon::web
