// The seat and seed messages of an online match: their bytes, and what a
// receiver makes of lengths and texts that don't fit.
#include "game/scene/NetMatchMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{
const char* Found(const char* name)
{
    static const char* const known[] = {"Sabre", "Longbow", "Cape"};
    for (const char* candidate : known)
    {
        if (std::strcmp(candidate, name) == 0)
            return candidate;
    }
    return nullptr;
}

// Where each text's length byte lies when the name is n bytes long.
constexpr size_t kNameOffset = 22;
constexpr size_t kRadioSize = 12 * 35;
}

TEST(NetMatchMessages, ASeatSummaryIsNineBytesInItsOrder)
{
    NetSeatSummary summary;
    summary.slot = 3;
    summary.character = 5;
    summary.slotState = 9;
    summary.team = 2;
    summary.characterCount = 7;
    summary.confirmed = 0x01020304;
    uint8_t bytes[kNetSummarySize];
    WriteNetSeatSummary(summary, bytes);
    const uint8_t expected[] = {3, 5, 9, 2, 7, 4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(bytes, expected, sizeof(expected)), 0);
    NetSeatSummary back;
    ASSERT_TRUE(ReadNetSeatSummary(bytes, kNetSummarySize, &back));
    EXPECT_EQ(back.slotState, 9);
    EXPECT_EQ(back.confirmed, 0x01020304u);
    EXPECT_FALSE(ReadNetSeatSummary(bytes, kNetSummarySize - 1, &back));
    EXPECT_FALSE(ReadNetSeatSummary(bytes, kNetSummarySize + 1, &back));
}

TEST(NetMatchMessages, AWholeSeatTravelsAndItsNamesResolveToTheResourcesOwn)
{
    tag_TOLQBATTLEPLAYER entry;
    entry.name = "Mika";
    entry.character = 2;
    entry.randomCharacter = 4;
    entry.slotState = 3;
    entry.team = 1;
    entry.characterCount = 7;
    entry.cameraSensitivity = 4.5f;
    entry.mouseSensitivity = 1.5f;
    entry.roomWords[0] = 1;
    entry.roomWords[1] = 1;
    std::strcpy(entry.radioChat[11].text, "go!");
    entry.radioChat[11].phrase = 0x40;
    const std::string sabre = "Sabre"; // not the resource's own copy
    entry.weapons[0] = sabre.c_str();
    entry.weapons[1] = "X";          // one character: travels as none
    entry.weapons[2] = "Unknown";    // no such weapon: none
    entry.clothes[5] = "Cape";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 3), &bytes));
    ASSERT_EQ(bytes.size(), kNetEntrySize);
    EXPECT_EQ(bytes[kNameOffset], 5); // "Mika" and its NUL
    EXPECT_EQ(bytes[kNameOffset + 1 + 5 + kRadioSize + 6 + 1], 0) << "the one-letter weapon goes as none";

    NetSeatEntry received;
    ASSERT_TRUE(ReadNetSeatEntry(bytes.data(), static_cast<uint32_t>(bytes.size()), &received));
    tag_TOLQBATTLEPLAYER copy;
    std::string storage;
    ApplyNetSeatEntry(received, &copy, &storage, &Found, &Found);
    EXPECT_STREQ(copy.name, "Mika");
    EXPECT_EQ(copy.name, storage.c_str());
    EXPECT_EQ(copy.character, 2);
    EXPECT_EQ(copy.randomCharacter, 4);
    EXPECT_EQ(copy.slotState, 3);
    EXPECT_FLOAT_EQ(copy.cameraSensitivity, 4.5f);
    EXPECT_EQ(copy.roomWords[1], 1u);
    EXPECT_STREQ(copy.radioChat[11].text, "go!");
    EXPECT_EQ(copy.radioChat[11].phrase, 0x40);
    EXPECT_EQ(copy.weapons[0], Found("Sabre"));
    EXPECT_EQ(copy.weapons[1], nullptr);
    EXPECT_EQ(copy.weapons[2], nullptr);
    EXPECT_EQ(copy.clothes[5], Found("Cape"));
}

TEST(NetMatchMessages, ASeatWithoutANameKeepsNoName)
{
    tag_TOLQBATTLEPLAYER entry;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 1), &bytes));
    EXPECT_EQ(bytes[kNameOffset], 0);
    NetSeatEntry received;
    ASSERT_TRUE(ReadNetSeatEntry(bytes.data(), kNetEntrySize, &received));
    tag_TOLQBATTLEPLAYER copy;
    copy.name = "old";
    std::string storage = "old";
    ApplyNetSeatEntry(received, &copy, &storage, &Found, &Found);
    EXPECT_EQ(copy.name, nullptr);
}

TEST(NetMatchMessages, LongTextsTravelWholeUpToWhatALengthByteHolds)
{
    tag_TOLQBATTLEPLAYER entry;
    const std::string long200(200, 'n');
    entry.name = long200.c_str();
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 1), &bytes));
    EXPECT_EQ(bytes[kNameOffset], 201) << "not a negative length";
    NetSeatEntry received;
    ASSERT_TRUE(ReadNetSeatEntry(bytes.data(), kNetEntrySize, &received));
    EXPECT_EQ(received.name, long200);

    // Longer than a length byte holds: cut at a whole character.
    std::string long300(299, 'a');
    long300 += "\x82\xa0"; // a double-byte character across the cut
    entry.name = long300.c_str();
    ASSERT_TRUE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 1), &bytes));
    EXPECT_EQ(bytes[kNameOffset], 255);
    ASSERT_TRUE(ReadNetSeatEntry(bytes.data(), kNetEntrySize, &received));
    EXPECT_EQ(received.name, std::string(254, 'a'));

    // Sixteen long item names don't fit 1280 bytes: nothing is written.
    const std::string item(200, 'w');
    for (const char*& weapon : entry.weapons)
        weapon = item.c_str();
    bytes.assign(3, 7);
    EXPECT_FALSE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 1), &bytes));
    EXPECT_EQ(bytes.size(), 3u);
}

TEST(NetMatchMessages, AReceiverRefusesLengthsThatRunPastTheMessage)
{
    tag_TOLQBATTLEPLAYER entry;
    entry.name = "Ann";
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteNetSeatEntry(MakeNetSeatEntry(entry, 1), &bytes));
    NetSeatEntry received;
    EXPECT_FALSE(ReadNetSeatEntry(bytes.data(), kNetEntrySize - 1, &received));
    // Every length byte of the padding at 255: the texts run off the end.
    std::vector<uint8_t> hostile(kNetEntrySize, 0xFF);
    EXPECT_FALSE(ReadNetSeatEntry(hostile.data(), kNetEntrySize, &received));
    // A text without its NUL ends at the length byte's count.
    bytes[kNameOffset] = 2;
    bytes[kNameOffset + 1] = 'A';
    bytes[kNameOffset + 2] = 'n';
    ASSERT_TRUE(ReadNetSeatEntry(bytes.data(), kNetEntrySize, &received));
    EXPECT_EQ(received.name, "An");
}

TEST(NetMatchMessages, TheSeedCarriesFramesPerBatchAndTheSendByte)
{
    NetSeed seed;
    seed.seed = 0xCAFEF00D;
    seed.framesPerBatch = 7;
    seed.sendByte = 3;
    uint8_t bytes[kNetSeedSize];
    WriteNetSeed(seed, bytes);
    NetSeed back;
    ASSERT_TRUE(ReadNetSeed(bytes, kNetSeedSize, &back));
    EXPECT_EQ(back.seed, 0xCAFEF00Du);
    EXPECT_EQ(back.framesPerBatch, 7);
    EXPECT_EQ(back.sendByte, 3);
    EXPECT_FALSE(ReadNetSeed(bytes, 5, &back));
}
