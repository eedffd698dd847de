#include <gtest/gtest.h>

#include <cstring>

#include "link/crc.h"
#include "link/decode.h"
#include "link/frames.h"

using namespace gaugemon::link;

TEST(Crc, PublishedCheckValue) {
    const char* text = "123456789";
    EXPECT_EQ(crc16(reinterpret_cast<const uint8_t*>(text), std::strlen(text)), 0x374B);
}

TEST(Frames, InfoQueriesCarryKnownCrc) {
    const RequestFrame ff = deviceInfoQuery(DataFormat::FormatFF);
    EXPECT_EQ(ff, (RequestFrame{0xFF, 0x03, 0xAA, 0x30, 0x00, 0x03, 0x31, 0xC2}));
    const RequestFrame f01 = deviceInfoQuery(DataFormat::Format01);
    EXPECT_EQ(f01, (RequestFrame{0xFF, 0x03, 0x02, 0x00, 0x00, 0x04, 0x50, 0x6F}));
}
