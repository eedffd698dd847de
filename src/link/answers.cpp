#include "link/answers.h"

#include "link/crc.h"

namespace gaugemon::link {

std::optional<DeviceInfoFF> parseDeviceInfoFF(const uint8_t* bytes, size_t count) {
    if (count != kInfoAnswerLengthFF || !crcMatches(bytes, count)) return std::nullopt;
    return DeviceInfoFF{bytes[3], bytes[4], bytes[5], bytes[6]};
}

std::optional<DeviceInfo01> parseDeviceInfo01(const uint8_t* bytes, size_t count) {
    if (count != kInfoAnswerLength01 || !crcMatches(bytes, count)) return std::nullopt;
    return DeviceInfo01{bytes[4], bytes[6], bytes[8], static_cast<uint16_t>(bytes[9] << 8 | bytes[10])};
}

namespace {

uint16_t word(const uint8_t* at) { return static_cast<uint16_t>(at[0] << 8 | at[1]); }

Answer readAnswer(const uint8_t* bytes, size_t count, const LinkState& link) {
    Answer answer{AnswerKind::Ignored};
    answer.recordRequest = bytes[1] == kFunctionReadRecord;
    const uint8_t byteCount = bytes[2];
    const size_t dataBytes = count - 5;  // address, function, byte count, 2 CRC bytes
    // Byte count 0xFF stands for a full block of 256 reading bytes; it is only
    // believed when the frame really carries them.
    if (byteCount == 0xFF) {
        if (dataBytes == kRawReadingBytes) {
            answer.kind = AnswerKind::Readings;
            answer.payload = bytes + 3;
            answer.payloadLength = kRawReadingBytes;
        }
    } else if (byteCount == 2 && link.expectedLength == kFlagsAnswerLength && dataBytes >= 2) {
        // Only the answer to a flags read in flight: its count of reads left
        // has already gone down when the read was sent.
        answer.kind = AnswerKind::FormatFlags;
        answer.data = word(bytes + 3);
    } else if (byteCount == 4 * clampProbeCount(link.probeCount) && dataBytes >= byteCount) {
        answer.kind = AnswerKind::Readings;
        answer.payload = bytes + 3;
        answer.payloadLength = byteCount;
    }
    if (answer.kind != AnswerKind::Readings) answer.recordRequest = false;
    return answer;
}

}  // namespace

Answer classifyAnswer(const uint8_t* bytes, size_t count, const LinkState& link) {
    Answer answer;
    if (count < 5 || count < link.expectedLength || !crcMatches(bytes, count)) return answer;
    const uint8_t address = bytes[0];
    const uint8_t function = bytes[1];
    if (address == link.deviceAddress && (function == kFunctionRead || function == kFunctionReadRecord)) {
        return readAnswer(bytes, count, link);
    }
    answer.kind = AnswerKind::Ignored;
    if (address == link.deviceAddress && function == kFunctionWrite && count >= 8) {
        answer.kind = AnswerKind::WriteEcho;
        answer.reg = word(bytes + 2);
        answer.data = word(bytes + 4);
    } else if (address == link.pending.newAddress && address != link.deviceAddress && count >= 8 &&
               word(bytes + 2) == reg::kAddressFF) {
        // The instrument answers an address write from its new address.
        answer.kind = AnswerKind::NewAddressEcho;
        answer.reg = reg::kAddressFF;
        answer.data = word(bytes + 4);
    }
    return answer;
}

}  // namespace gaugemon::link
