// Every byte sequence the line can deliver goes through the answer code
// without a read outside the bytes received. Each answer sits in a heap block
// of exactly its own size, so the sanitizer build catches any stray read.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "codec_test_support.h"
#include "link/answers.h"
#include "link/crc.h"
#include "link/decode.h"
#include "link/frames.h"

using namespace gaugemon::link;
using gaugemon::link::testing::withCrc;

namespace {

constexpr int kAnswers = 120000;
constexpr size_t kMaxAnswerBytes = kMaxReadBytes;

class AnswerSource {
public:
    explicit AnswerSource(uint32_t seed) : random_(seed) {}

    LinkState link() {
        LinkState link;
        link.connected = true;
        link.deviceAddress = pick({1, 1, 1, 7, 0xFF, byte()});
        // Mostly sound counts, now and then one the instrument should never report.
        link.probeCount = pick({1, 2, 8, 60, 60, 0, 61, 64, 200});
        link.expectedLength = pick({readingsAnswerLength(link.probeCount), 7, 8, 0, 5, upTo(300)});
        link.pending.flagsReadsLeft = static_cast<uint8_t>(upTo(2));
        link.pending.newAddress = pick({0, 2, link.deviceAddress, byte()});
        return link;
    }

    std::vector<uint8_t> answer(const LinkState& link) {
        switch (upTo(7)) {
            case 0: return randomBytes(upTo(kMaxAnswerBytes));
            case 1: return withCrc(randomBytes(upTo(kMaxAnswerBytes - 2)));
            case 2: return truncated(readingAnswer(link));
            case 3: return oversized(readingAnswer(link));
            case 4: return damaged(readingAnswer(link));
            case 5: return echo(link);
            case 6: return withCrc(header(link, byte()));
            default: return readingAnswer(link);
        }
    }

private:
    unsigned upTo(size_t most) {
        return static_cast<unsigned>(std::uniform_int_distribution<size_t>(0, most)(random_));
    }
    uint8_t byte() { return static_cast<uint8_t>(random_()); }
    unsigned pick(std::initializer_list<unsigned> choices) { return choices.begin()[upTo(choices.size() - 1)]; }

    std::vector<uint8_t> randomBytes(size_t count) {
        std::vector<uint8_t> bytes(count);
        for (auto& b : bytes) b = byte();
        return bytes;
    }

    // Address, function and byte count, each now and then wrong.
    std::vector<uint8_t> header(const LinkState& link, uint8_t byteCount) {
        const uint8_t address = upTo(5) == 0 ? byte() : link.deviceAddress;
        const uint8_t function =
            static_cast<uint8_t>(pick({kFunctionRead, kFunctionRead, kFunctionReadRecord, 0x86, byte()}));
        return {address, function, byteCount};
    }

    std::vector<uint8_t> readingAnswer(const LinkState& link) {
        const unsigned polled = 4 * clampProbeCount(link.probeCount);
        const unsigned dataBytes = pick({polled, polled, 256, 2, 0, upTo(kMaxAnswerBytes - 5)});
        const unsigned honest = dataBytes == 256 ? 0xFF : dataBytes & 0xFF;
        const uint8_t byteCount = static_cast<uint8_t>(pick({honest, honest, 0xFF, 2, polled, byte()}));
        auto frame = header(link, byteCount);
        const auto data = randomBytes(dataBytes);
        frame.insert(frame.end(), data.begin(), data.end());
        return withCrc(std::move(frame));
    }

    std::vector<uint8_t> echo(const LinkState& link) {
        const uint8_t address = static_cast<uint8_t>(pick({link.deviceAddress, link.pending.newAddress, byte()}));
        const uint16_t reg = static_cast<uint16_t>(pick({reg::kAddressFF, reg::kUnlockFF, reg::kDisplayMode, byte()}));
        return withCrc({address, static_cast<uint8_t>(pick({kFunctionWrite, byte()})), static_cast<uint8_t>(reg >> 8),
                        static_cast<uint8_t>(reg & 0xFF), byte(), byte()});
    }

    std::vector<uint8_t> truncated(std::vector<uint8_t> bytes) {
        bytes.resize(upTo(bytes.size()));
        return bytes;
    }

    std::vector<uint8_t> oversized(std::vector<uint8_t> bytes) {
        const size_t room = bytes.size() < kMaxAnswerBytes ? kMaxAnswerBytes - bytes.size() : 0;
        const auto extra = randomBytes(upTo(room));
        bytes.insert(bytes.end(), extra.begin(), extra.end());
        return bytes;
    }

    std::vector<uint8_t> damaged(std::vector<uint8_t> bytes) {
        if (!bytes.empty()) bytes[upTo(bytes.size() - 1)] ^= static_cast<uint8_t>(1 << upTo(7));
        return bytes;
    }

    std::mt19937 random_;
};

// A heap block of exactly the answer's size: one byte more is out of bounds.
std::unique_ptr<uint8_t[]> exactCopy(const std::vector<uint8_t>& bytes) {
    auto copy = std::make_unique<uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    return copy;
}

void checkAnswer(const uint8_t* bytes, size_t count, LinkState& link) {
    const Answer answer = classifyAnswer(bytes, count, link);
    const bool sound = count >= 5 && count >= link.expectedLength && crcMatches(bytes, count);
    ASSERT_EQ(answer.kind != AnswerKind::Invalid, sound);
    if (answer.recordRequest) {
        ASSERT_EQ(answer.kind, AnswerKind::Readings);
    }
    if (answer.kind == AnswerKind::Readings) {
        // The readings lie between the header and the CRC, and fit the block.
        ASSERT_GE(answer.payload, bytes + 3);
        ASSERT_LE(answer.payload + answer.payloadLength, bytes + count - 2);
        ASSERT_LE(answer.payloadLength, link.rawReadings.size());
        std::copy(answer.payload, answer.payload + answer.payloadLength, link.rawReadings.begin());
        decodeReadings(link);
    } else {
        ASSERT_EQ(answer.payload, nullptr);
    }
    if (parseDeviceInfoFF(bytes, count)) {
        ASSERT_EQ(count, kInfoAnswerLengthFF);
    }
    if (parseDeviceInfo01(bytes, count)) {
        ASSERT_EQ(count, kInfoAnswerLength01);
    }
}

}  // namespace

TEST(AnswerFuzz, NoGeneratedAnswerIsReadOutOfBoundsOrMisjudged) {
    AnswerSource source(0x6A06E);
    std::array<int, 6> kinds{};
    for (int i = 0; i < kAnswers; ++i) {
        LinkState link = source.link();
        const std::vector<uint8_t> answer = source.answer(link);
        ASSERT_LE(answer.size(), kMaxAnswerBytes);
        const auto bytes = exactCopy(answer);
        checkAnswer(bytes.get(), answer.size(), link);
        if (::testing::Test::HasFatalFailure()) {
            FAIL() << "answer " << i << " of " << answer.size() << " bytes";
        }
        ++kinds[static_cast<size_t>(classifyAnswer(bytes.get(), answer.size(), link).kind)];
    }
    // The generator reaches every kind of answer, refused ones most of all.
    EXPECT_GT(kinds[static_cast<size_t>(AnswerKind::Invalid)], kAnswers / 5);
    EXPECT_GT(kinds[static_cast<size_t>(AnswerKind::Readings)], kAnswers / 100);
    for (const AnswerKind kind :
         {AnswerKind::FormatFlags, AnswerKind::WriteEcho, AnswerKind::NewAddressEcho, AnswerKind::Ignored}) {
        EXPECT_GT(kinds[static_cast<size_t>(kind)], 10) << static_cast<int>(kind);
    }
}

TEST(AnswerFuzz, EveryLengthOfAValidFullBlockIsHandled) {
    // Cutting a 0xFF block answer at every length: only the whole one is taken.
    LinkState link;
    link.expectedLength = 0;
    std::vector<uint8_t> frame = {0x01, 0x03, 0xFF};
    for (int i = 0; i < 256; ++i) frame.push_back(static_cast<uint8_t>(255 - i));
    frame = withCrc(std::move(frame));
    for (size_t count = 0; count <= frame.size(); ++count) {
        const auto bytes = exactCopy(std::vector<uint8_t>(frame.begin(), frame.begin() + count));
        const Answer answer = classifyAnswer(bytes.get(), count, link);
        EXPECT_EQ(answer.kind == AnswerKind::Readings, count == frame.size()) << count;
    }
}
