// The setup's messages 3-6 byte by byte, and what a receiver refuses.
#include "game/battle/SetupMessages.h"
#include "game/battle/tag_TOLQBATTLEPLAYER.h"

#include <gtest/gtest.h>

#include <string>

using namespace SetupMessages;

TEST(SetupMessages, ACursorAndASummaryAreLittleEndianFieldsInTheirOrder)
{
    EXPECT_EQ(EncodeCursor({5, 7}), (std::vector<uint8_t>{5, 0, 0, 0, 7, 0, 0, 0}));
    tag_TOLQBATTLEPLAYER entry;
    entry.character = 3;
    entry.slotState = tag_TOLQBATTLEPLAYER::SLOT_COMPUTER;
    entry.team = 2;
    entry.characterCount = 8;
    entry.roomWords[0] = 0x01020304;
    const std::vector<uint8_t> bytes = EncodeSummary(SummaryOf(entry, 6));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{6, 3, 8, 2, 8, 4, 3, 2, 1}));
    PlayerSummary read;
    ASSERT_TRUE(DecodeSummary(bytes.data(), kSummarySize, 8, 8, &read));
    EXPECT_EQ(read.slot, 6);
    EXPECT_EQ(read.confirmed, 0x01020304u);
}

TEST(SetupMessages, SummariesOutOfRangeOrOfAnotherLengthAreRefused)
{
    tag_TOLQBATTLEPLAYER entry;
    entry.characterCount = 8;
    entry.character = 8; // random
    std::vector<uint8_t> bytes = EncodeSummary(SummaryOf(entry, 1));
    PlayerSummary read;
    EXPECT_TRUE(DecodeSummary(bytes.data(), 9, 8, 8, &read));
    EXPECT_FALSE(DecodeSummary(bytes.data(), 8, 8, 8, &read));
    EXPECT_FALSE(DecodeSummary(bytes.data(), 9, 1, 8, &read)); // slot 1 of one player
    EXPECT_FALSE(DecodeSummary(bytes.data(), 9, 8, 7, &read)); // more characters than this side has
    bytes[2] = 10; // no such seat
    EXPECT_FALSE(DecodeSummary(bytes.data(), 9, 8, 8, &read));
    bytes[2] = 9;
    bytes[3] = 5; // no such team
    EXPECT_FALSE(DecodeSummary(bytes.data(), 9, 8, 8, &read));
    bytes[3] = 0;
    bytes[1] = 9; // past random
    EXPECT_FALSE(DecodeSummary(bytes.data(), 9, 8, 8, &read));
}

TEST(SetupMessages, AWholeEntryRoundTripsInTwelveHundredAndEightyBytes)
{
    tag_TOLQBATTLEPLAYER entry;
    entry.name = "Player One";
    entry.character = 2;
    entry.randomCharacter = 5;
    entry.slotState = 1;
    entry.team = 3;
    entry.characterCount = 8;
    entry.cameraSensitivity = 4.5f;
    entry.mouseSensitivity = 1.25f;
    entry.roomWords[0] = 1;
    entry.roomWords[1] = 1;
    entry.radioChat[11].scope = 1;
    std::snprintf(entry.radioChat[11].text, sizeof entry.radioChat[11].text, "Go!");
    entry.radioChat[11].phrase = 0x3F;
    entry.weapons[0] = "Sword";
    entry.weapons[3] = "X"; // shorter than two characters: sent as none
    entry.clothes[5] = "Coat";
    const std::vector<uint8_t> bytes = EncodeEntry(entry, 1);
    ASSERT_EQ(bytes.size(), kEntrySize);
    EXPECT_EQ(bytes[2], 5); // the random pick follows the character
    EXPECT_EQ(bytes[22], 11); // "Player One" and its NUL
    PlayerEntryMessage read;
    ASSERT_TRUE(DecodeEntry(bytes.data(), kEntrySize, 8, 8, &read));
    EXPECT_EQ(read.summary.slot, 1);
    EXPECT_EQ(read.randomCharacter, 5);
    EXPECT_EQ(read.name, "Player One");
    EXPECT_TRUE(read.hasName);
    EXPECT_FLOAT_EQ(read.mouseSensitivity, 1.25f);
    EXPECT_EQ(read.ready, 1u);
    EXPECT_STREQ(read.radioChat[11].text, "Go!");
    EXPECT_EQ(read.radioChat[11].phrase, 0x3F);
    EXPECT_EQ(read.weapons[0], "Sword");
    EXPECT_EQ(read.weapons[3], "");
    EXPECT_EQ(read.clothes[5], "Coat");
    EXPECT_FALSE(DecodeEntry(bytes.data(), kEntrySize - 1, 8, 8, &read));

    entry.name = nullptr;
    const std::vector<uint8_t> nameless = EncodeEntry(entry, 1);
    ASSERT_TRUE(DecodeEntry(nameless.data(), kEntrySize, 8, 8, &read));
    EXPECT_FALSE(read.hasName);
}

TEST(SetupMessages, AnEntryThatDoesNotFitIsNotSentAndOneThatLiesIsRefused)
{
    const std::string long_(200, 'w');
    tag_TOLQBATTLEPLAYER entry;
    entry.characterCount = 8;
    for (const char*& weapon : entry.weapons)
        weapon = long_.c_str();
    EXPECT_TRUE(EncodeEntry(entry, 0).empty());
    const std::string tooLong(300, 'n');
    tag_TOLQBATTLEPLAYER named;
    named.characterCount = 8;
    named.name = tooLong.c_str();
    EXPECT_TRUE(EncodeEntry(named, 0).empty());

    // A text whose length runs past the message, and a pick past the count.
    std::vector<uint8_t> bytes(kEntrySize, 0);
    bytes[5] = 8;
    bytes[22] = 255;           // the name, then the radio chat
    bytes[22 + 256 + 420] = 255; // three long weapon names run past the end
    bytes[22 + 256 + 420 + 256] = 255;
    bytes[22 + 256 + 420 + 512] = 255;
    PlayerEntryMessage read;
    EXPECT_FALSE(DecodeEntry(bytes.data(), kEntrySize, 8, 8, &read));
    named.name = "ok";
    bytes = EncodeEntry(named, 0);
    ASSERT_TRUE(DecodeEntry(bytes.data(), kEntrySize, 8, 8, &read));
    bytes[2] = 8;
    EXPECT_FALSE(DecodeEntry(bytes.data(), kEntrySize, 8, 8, &read));
}

TEST(SetupMessages, RulesTravelAsTheirThirtySixBytesAndBadIndicesAreRefused)
{
    tag_TOLQBATTLERULE rules;
    rules.teamBattle = 1;
    rules.musicChoice = 7;
    rules.limit = 9;
    std::vector<uint8_t> bytes = EncodeRules(rules);
    ASSERT_EQ(bytes.size(), kRulesSize);
    EXPECT_EQ(bytes[kMusicOffset], 7);
    tag_TOLQBATTLERULE read;
    ASSERT_TRUE(DecodeRules(bytes.data(), kRulesSize, &read));
    EXPECT_EQ(read.limit, 9);
    bytes[10] = 5; // time-limit index past the table
    EXPECT_FALSE(DecodeRules(bytes.data(), kRulesSize, &read));
    EXPECT_FALSE(DecodeRules(bytes.data(), kRulesSize - 1, &read));
}
