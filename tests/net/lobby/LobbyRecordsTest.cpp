// Users, rooms, their attribute schemas, rank bands and the lines text takes.
#include "engine/core/GameText.h"
#include "net/lobby/CLobbyRoom.h"
#include "net/lobby/CLobbyUser.h"
#include "net/lobby/LobbySchema.h"
#include "net/lobby/LobbyText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

TEST(LobbyRankBand, BandsAdmitTheirRanks)
{
    std::set<int> admits19;
    std::set<int> admits20;
    for (uint8_t band = 0; band < 16; ++band)
    {
        if (LobbyRankBandAdmits(band, 19))
            admits19.insert(band);
        if (LobbyRankBandAdmits(band, 20))
            admits20.insert(band);
    }
    EXPECT_EQ(admits19, (std::set<int>{0, 5, 6, 7, 8, 13}));
    EXPECT_EQ(admits20, (std::set<int>{1, 6, 7, 8, 9, 13}));
    EXPECT_FALSE(LobbyRankBandAdmits(14, 50));
    EXPECT_FALSE(LobbyRankBandAdmits(255, 50));
}

TEST(LobbyRankBand, SteppingSkipsBandsThatRefuseTheOwnRank)
{
    std::vector<int> seen;
    uint8_t band = 13;
    for (int i = 0; i < 6; ++i)
    {
        band = StepLobbyRankBand(band, 1, 25);
        seen.push_back(band);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 6, 7, 8, 9, 13}));
    EXPECT_EQ(StepLobbyRankBand(1, -1, 25), 13);
    EXPECT_EQ(StepLobbyRankBand(13, -1, 25), 9);
    EXPECT_STREQ(GetLobbyRankBandCaption(14), "");
}

// Names and captions come out as the game's text, the one the font reads.
TEST(LobbySchema, NamesAndCaptionsAreTheGamesText)
{
    EXPECT_STREQ(GetLobbyRankBandCaption(0), "0\x81\x60" "19");
    EXPECT_STREQ(GetLobbyRankBandCaption(13), GameText("無制限"));
    EXPECT_STREQ(GetLobbyHostPreferenceCaption(3), GameText("クライアント優先"));
    const tag_KVRLOBBYATTRIBUTE* cpu = &GetLobbyMatchSchema()[3];
    EXPECT_STREQ(GetLobbyAttributeName(cpu), GameText("ＣＰＵ参加"));
    EXPECT_STREQ(GetLobbyAttributeCaption(cpu, 2), GameText("無し"));
    EXPECT_STREQ(GetLobbyAttributeCaption(cpu, 3), "");
    EXPECT_STREQ(GetLobbyAttributeName(nullptr), "");
}

TEST(LobbyRoomRecord, FreshRandomMatchHoldsDefaultsAndRequestsAnyValue)
{
    CLobbyRoom match(8, kLobbyMatchAttributeCount, GetLobbyMatchSchema());
    const int expected[] = {2, 2, 0, 1, 10};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(match.GetValue(i), expected[i]);
    EXPECT_EQ(match.data.hostPreference, 2);
    EXPECT_EQ(match.data.rankBand, 13);
    EXPECT_EQ(match.data.playerLimit, 8);

    const tag_KVRLOBBYROOMDATA packed = match.PackData(true);
    EXPECT_EQ(packed.attributeCount, 5);
    for (int i = 0; i < 5; ++i)
    {
        EXPECT_EQ(packed.attributes[i * 2], 1);
        EXPECT_EQ(packed.attributes[i * 2 + 1], 255);
    }
    match.SetValue(0, 1);
    EXPECT_EQ(match.PackData(true).attributes[1], 1);
    EXPECT_EQ(match.PackData(false).attributes[3], 2);
}

TEST(LobbyRoomRecord, UnpackingRefusesValuesOutsideTheSchema)
{
    CLobbyRoom room(8, kLobbyMatchAttributeCount, GetLobbyMatchSchema());
    tag_KVRLOBBYROOMDATA data = room.PackData(false);
    data.attributes[1] = 1;  // type: team
    data.attributes[3] = 77; // rule: no such choice
    data.attributes[4] = 4;  // weapons: wrong size byte
    data.attributes[9] = 3;  // points: 4
    room.SetData(data);
    EXPECT_EQ(room.GetValue(0), 1);
    EXPECT_EQ(room.GetValue(1), 2);
    EXPECT_EQ(room.GetValue(2), 0);
    EXPECT_EQ(room.GetValue(4), 3);
    room.ResetValues();
    EXPECT_EQ(room.GetValue(0), 2);

    const CLobbyRoom copy(room);
    EXPECT_EQ(copy.GetAttributeCount(), 5);
    EXPECT_EQ(copy.GetValue(4), 10);
    EXPECT_EQ(copy.FindAttribute(5), nullptr);
    EXPECT_EQ(CLobbyRoom().FindAttribute(0), nullptr);
}

TEST(LobbyRoomRecord, FullOrBusyRoomsCannotBeJoined)
{
    CLobbyRoom room(8, kLobbyRoomAttributeCount, GetLobbyRoomSchema());
    room.data.members.count = 7;
    EXPECT_TRUE(CanJoinLobbyRoom(room.data, 50));
    room.data.members.count = 8;
    EXPECT_FALSE(CanJoinLobbyRoom(room.data, 50));
    room.data.members.count = 1;
    room.data.busy = 1;
    EXPECT_FALSE(CanJoinLobbyRoom(room.data, 50));
    room.data.busy = 0;
    room.data.rankBand = 0;
    EXPECT_FALSE(CanJoinLobbyRoom(room.data, 50));
    EXPECT_TRUE(CanJoinLobbyRoom(room.data, 19));
}

TEST(LobbyRoomRecord, MembershipCountsOnlyValidEntries)
{
    tag_KVRLOBBYROOMDATA room;
    room.members.owner.id = 1;
    room.members.count = 2;
    room.members.members[0].id = 1;
    room.members.members[1].id = 2;
    room.members.members[2].id = 3;
    EXPECT_TRUE(IsLobbyMember(room, 1));
    EXPECT_TRUE(IsLobbyMember(room, 2));
    EXPECT_FALSE(IsLobbyMember(room, 3));
}

TEST(LobbyText, LinesBreakWhereTheirDrawnWidthFillsTheBox)
{
    // A double-byte character two units wide, a "W" one and a half, the
    // rest one.
    const CharWidth widthOf = [](const char* character, size_t length) {
        return length == 2 ? 2.0f : (*character == 'W' ? 1.5f : 1.0f);
    };
    auto lines = [&](const char* text, float width) { return LobbyLines(text, {width, widthOf}); };
    using Lines = std::vector<std::string>;
    EXPECT_EQ(lines("", 44), Lines{""});
    EXPECT_EQ(lines("abcd", 4), Lines{"abcd"});
    EXPECT_EQ(lines("abcde", 4), (Lines{"abcd", "e"}));
    EXPECT_EQ(lines("WWWW", 4), (Lines{"WW", "WW"}));
    EXPECT_EQ(lines("ab\ncd", 44), (Lines{"ab", "cd"}));
    EXPECT_EQ(lines("\x82\xA0\x82\xA0\x82\xA0", 4), (Lines{"\x82\xA0\x82\xA0", "\x82\xA0"}));
    // A lead byte cut off by the NUL ends the text, not a read past it.
    EXPECT_EQ(lines("abc\x82", 4).size(), 1u);
    // Latin words go whole onto the next line, and a lone "\r" takes no
    // room but ends a word.
    EXPECT_EQ(lines("ab WW ef", 4), (Lines{"ab", "WW", "ef"}));
    EXPECT_EQ(lines("one\rextraordinarily", 8).size(), 3u);
    EXPECT_EQ(lines("abc\rd", 4), Lines{"abc\rd"});

    // A cut text's last line is filled to the width, the mark included.
    const LobbyTextBox box{5, widthOf};
    EXPECT_EQ(ShowLobbyText("ab cdefgh ij", box, 2), (Lines{"ab", std::string("cde") + GameText("…")}));
    EXPECT_EQ(ShowLobbyText("ab\ncd\nef", box, 2), (Lines{"ab", std::string("cd") + GameText("…")}));
    EXPECT_EQ(ShowLobbyText("ab cd", box, 1), Lines{"ab cd"});
}

TEST(LobbyUserRecord, ServerTextsBecomeShiftJisWithinTheirFields)
{
    tag_KVRLOBBYUSERDATA data;
    data.id = 4;
    std::strcpy(data.name, "\xE3\x81\x82\xE3\x81\x84"); // あい
    std::strcpy(data.comment, "ok");
    CLobbyUser user;
    user.SetData(data);
    EXPECT_STREQ(user.data.name, "\x82\xA0\x82\xA2");
    EXPECT_STREQ(user.data.comment, "ok");

    // Eight three-byte characters fill 24 bytes of UTF-8 and become 16
    // bytes of Shift-JIS; thirteen would not fit 24 bytes, so the cut falls
    // between characters.
    char field[25] = {};
    std::string many;
    for (int i = 0; i < 8; ++i)
        many += "\xE3\x81\x82";
    std::memcpy(field, many.data(), 24);
    ConvertLobbyText(field, sizeof(field));
    EXPECT_EQ(std::strlen(field), 16u);

    tag_KVRLOBBYUSERENTRY entry;
    entry.id = 9;
    std::strcpy(entry.name, "abc");
    entry.rank = 30;
    user.SetEntry(entry);
    EXPECT_EQ(user.data.id, 9u);
    EXPECT_EQ(user.data.rank, 30);
    EXPECT_STREQ(user.GetEntry().name, "abc");
}

TEST(LobbyUserRecord, IconOfSizeZeroLeavesTheUserWithoutOne)
{
    CLobbyUser user;
    const uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_FALSE(user.SetIcon(nullptr, 4));
    // No graphics device: the image is kept, no texture is made.
    EXPECT_FALSE(user.SetIcon(bytes, 4));
    EXPECT_EQ(user.GetIconImage().size(), 4u);
    EXPECT_FALSE(user.SetIcon(bytes, 0));
    EXPECT_TRUE(user.GetIconImage().empty());
    EXPECT_EQ(user.GetIcon(), nullptr);
    EXPECT_FALSE(user.SetIcon(bytes, CLobbyUser::kMaxIconSize + 1));
}
