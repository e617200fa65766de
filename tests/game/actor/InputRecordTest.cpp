// The 15-byte input record: what every machine's fighters act on.
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "game/actor/tag_TOLQINPUTRECORD.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <vector>

namespace
{
tag_KVRPADSTATE ZeroPad()
{
    tag_KVRPADSTATE pad;
    std::memset(&pad, 0, sizeof(pad));
    return pad;
}
}

TEST(InputRecord, PacksButtonsSticksAndDeltas)
{
    tag_KVRPADSTATE pad = ZeroPad();
    pad.held.button[0] = 1;
    pad.held.button[55] = 1;
    pad.held.button[22] = 1;
    pad.current.button[9] = 1; // only held buttons travel
    pad.leftX = 0.999f;
    pad.leftY = -0.5f;
    pad.rightX = 1.0f;
    pad.rightY = -1.0f;
    pad.mouseDeltaX = -3.7f;
    pad.mouseDeltaY = 300.9f;
    tag_TOLQINPUTRECORD record;
    ASSERT_EQ(PackInputRecord(&record, &pad), 1u);
    const uint8_t expected[15] = {0x01, 0x00, 0x40, 0x00, 0x00, 0x00, 0x80, 99, 0xCE, 100, 0x9C, 0xFD, 0xFF, 0x2C, 0x01};
    EXPECT_EQ(std::memcmp(record.bytes, expected, sizeof(expected)), 0);
    EXPECT_EQ(PackInputRecord(nullptr, &pad), 0u);
    EXPECT_EQ(PackInputRecord(&record, nullptr), 0u);
}

TEST(InputRecord, UnpacksIntoPressesHoldsAndProcessedSticks)
{
    SetFrameTime(16);
    CInput input;
    tag_TOLQINPUTRECORD record;
    record.bytes[2] = 0x40; // button 22
    record.bytes[7] = 0xCE; // -50
    record.bytes[8] = 100;
    record.bytes[11] = 0xFD;
    record.bytes[12] = 0xFF; // -3
    tag_KVRPADSTATE pad = ZeroPad();
    ASSERT_EQ(UnpackInputRecord(&record, &pad, &input), 1u);
    EXPECT_EQ(pad.current.button[22], 1u);
    EXPECT_EQ(pad.pressed.button[22], 1u);
    EXPECT_EQ(pad.leftX, -0.5f);
    EXPECT_EQ(pad.leftY, 1.0f);
    EXPECT_EQ(pad.mouseDeltaX, -3.0f);
    EXPECT_GT(pad.leftMagnitude, 1.0f);
    // The same record again: still held, no new press.
    ASSERT_EQ(UnpackInputRecord(&record, &pad, &input), 1u);
    EXPECT_EQ(pad.pressed.button[22], 0u);
    EXPECT_EQ(pad.held.button[22], 1u);
    EXPECT_EQ(pad.heldMilliseconds.button[22], 16u);

    tag_KVRPADSTATE untouched = ZeroPad();
    EXPECT_EQ(UnpackInputRecord(nullptr, &untouched, &input), 0u);
    EXPECT_EQ(UnpackInputRecord(&record, nullptr, &input), 0u);
    EXPECT_EQ(UnpackInputRecord(&record, &untouched, nullptr), 0u);
    EXPECT_EQ(untouched.current.button[22], 0u);
}

// Feeding the kept bytes reproduces the pad exactly; re-packing the
// processed pad does not for every axis value, which is why recorders
// store the record a fighter was given rather than one made again.
TEST(InputRecord, KeptBytesReplayExactly)
{
    SetFrameTime(16);
    CInput input;
    int drifted = 0;
    for (int value = -100; value <= 100; ++value)
    {
        tag_TOLQINPUTRECORD record;
        record.bytes[7] = static_cast<uint8_t>(value);
        tag_KVRPADSTATE live = ZeroPad(), replayed = ZeroPad();
        UnpackInputRecord(&record, &live, &input);
        UnpackInputRecord(&record, &replayed, &input);
        ASSERT_EQ(std::bit_cast<uint32_t>(live.leftX), std::bit_cast<uint32_t>(replayed.leftX)) << value;
        ASSERT_EQ(std::bit_cast<uint32_t>(live.leftAngle), std::bit_cast<uint32_t>(replayed.leftAngle)) << value;
        tag_TOLQINPUTRECORD repacked;
        PackInputRecord(&repacked, &live);
        drifted += repacked.bytes[7] != record.bytes[7] ? 1 : 0;
    }
    EXPECT_GT(drifted, 0);
}
