// The online match's own messages: the seed; and a seat whose name is too
// long for a signed length byte, as the setup's messages carry it.
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"
#include "game/scene/NetMatchMessages.h"

#include <gtest/gtest.h>

#include <string>

TEST(NetMatchMessages, TheSeedCarriesFramesPerBatchAndTheSendByte)
{
    NetSeed seed;
    seed.seed = 0xCAFEF00D;
    seed.framesPerBatch = 7;
    seed.sendByte = 3;
    uint8_t bytes[kNetSeedSize];
    WriteNetSeed(seed, bytes);
    const uint8_t expected[kNetSeedSize] = {0x0D, 0xF0, 0xFE, 0xCA, 7, 3};
    EXPECT_EQ(std::string(bytes, bytes + kNetSeedSize), std::string(expected, expected + kNetSeedSize));
    NetSeed back;
    ASSERT_TRUE(ReadNetSeed(bytes, kNetSeedSize, &back));
    EXPECT_EQ(back.seed, 0xCAFEF00Du);
    EXPECT_EQ(back.framesPerBatch, 7);
    EXPECT_EQ(back.sendByte, 3);
    EXPECT_FALSE(ReadNetSeed(bytes, 5, &back));
    EXPECT_FALSE(ReadNetSeed(bytes, 7, &back));
}

TEST(NetMatchMessages, TheLongestNameTravelsWholeNotAsANegativeLength)
{
    tag_TOLQBATTLEPLAYER entry;
    const std::string name(254, 'n');
    entry.name = name.c_str();
    const std::vector<uint8_t> bytes = SetupMessages::EncodeEntry(entry, 1);
    ASSERT_EQ(bytes.size(), SetupMessages::kEntrySize);
    EXPECT_EQ(bytes[22], 255);
    SetupMessages::PlayerEntryMessage read;
    ASSERT_TRUE(SetupMessages::DecodeEntry(bytes.data(), SetupMessages::kEntrySize, 8, 0, &read));
    EXPECT_TRUE(read.hasName);
    EXPECT_EQ(read.name, name);
}
