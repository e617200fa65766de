// The lobby's byte format: scrambling, framing, every record at its
// offsets, bounded reads, and the client's codec checked against the test
// server's independent one in both directions.
#include "LobbyTestServer.h"

#include "net/CLobbyStream.h"
#include "net/LobbyProtocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace lobbytest;

namespace
{
std::vector<uint8_t> Pattern(size_t n, uint8_t seed)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    return bytes;
}

tag_KVRLOBBYROOMDATA SampleRoom()
{
    tag_KVRLOBBYROOMDATA room;
    room.id = 0x01020304;
    std::strcpy(room.name, "Room");
    room.busy = 1;
    room.keyFlag = 1;
    room.playerLimit = 8;
    std::strcpy(room.comment, "comment");
    std::strcpy(room.key, "secret");
    room.hostPreference = 3;
    room.rankBand = 12;
    room.attributeCount = 1;
    room.attributes[0] = 1;
    room.attributes[1] = 1;
    room.members.count = 2;
    room.members.owner.id = 7;
    std::strcpy(room.members.owner.name, "owner");
    room.members.owner.rank = 30;
    room.members.members[0] = room.members.owner;
    room.members.members[1].id = 9;
    std::strcpy(room.members.members[1].name, "guest");
    return room;
}
} // namespace

TEST(LobbyProtocol, ScrambleUndoesItselfAndRestartsTheTableEveryCall)
{
    std::vector<uint8_t> bytes = Pattern(300, 3);
    const std::vector<uint8_t> original = bytes;
    LobbyScramble(0x5D, bytes.data(), bytes.size());
    EXPECT_NE(bytes, original);
    LobbyScramble(0x5D, bytes.data(), bytes.size());
    EXPECT_EQ(bytes, original);

    // Zero bytes scramble to the table itself (xor the key): bytes 256-299
    // repeat bytes 0-43, and a separate call starts at the table's start.
    std::vector<uint8_t> zeros(300, 0);
    LobbyScramble(0, zeros.data(), zeros.size());
    for (size_t i = 0; i < 44; ++i)
        EXPECT_EQ(zeros[256 + i], zeros[i]);
    std::vector<uint8_t> again(8, 0);
    LobbyScramble(0, again.data(), again.size());
    EXPECT_TRUE(std::equal(again.begin(), again.end(), zeros.begin()));

    // The server's table agrees with the client's.
    std::vector<uint8_t> server(300, 0);
    Scramble(0, server.data(), server.size());
    EXPECT_EQ(server, zeros);
}

TEST(LobbyProtocol, HeaderOnlyFrameIsTenBytes)
{
    std::vector<uint8_t> frame;
    ASSERT_TRUE(BuildLobbyClientFrame(frame, LOBBY_MSG_KEEPALIVE, nullptr, 0, 0x11));
    ASSERT_EQ(frame.size(), 10u);
    EXPECT_EQ(frame.front(), 0x02);
    EXPECT_EQ(frame.back(), 0x03);
    uint8_t header[8];
    std::memcpy(header, frame.data() + 1, 8);
    LobbyScramble(kLobbyHeaderKey, header, 8);
    const tag_KVRLOBBYHEADER decoded = ReadLobbyHeader(header);
    EXPECT_EQ(decoded.id, LOBBY_MSG_KEEPALIVE);
    EXPECT_EQ(decoded.sub, 0);
    EXPECT_EQ(decoded.length, 0u);
}

TEST(LobbyProtocol, FramesRefuseOversizePayloads)
{
    std::vector<uint8_t> frame;
    std::vector<uint8_t> big(kLobbyMaxPayload + 1);
    EXPECT_FALSE(BuildLobbyClientFrame(frame, LOBBY_MSG_LOBBY_CHAT, big.data(), static_cast<uint32_t>(big.size()), 1));
    EXPECT_FALSE(BuildLobbyClientFrame(frame, LOBBY_MSG_LOBBY_CHAT, nullptr, 4, 1));
}

TEST(LobbyProtocol, EveryClientMessageDecodesInTheServerCodec)
{
    const std::vector<std::pair<int16_t, size_t>> messages = {
        {LOBBY_MSG_LOGIN, kLobbyLoginSize},          {LOBBY_MSG_CREATE_ROOM, kLobbyRoomPayloadSize},
        {LOBBY_MSG_CLOSE_ROOM, 0},                   {LOBBY_MSG_ROOM_SETTINGS, kLobbyRoomSettingsSize},
        {LOBBY_MSG_JOIN_ROOM, kLobbyJoinRequestSize}, {LOBBY_MSG_ROOM_KEY, kLobbyRoomKeyRequestSize},
        {LOBBY_MSG_LEAVE_ROOM, 0},                   {LOBBY_MSG_ROOM_STATUS, 4},
        {LOBBY_MSG_ROOM_INFO, 4},                    {LOBBY_MSG_KICK, 4},
        {LOBBY_MSG_USER_INFO, 4},                    {LOBBY_MSG_BATTLE_RESULT, 4},
        {LOBBY_MSG_RANDOM_MATCH, kLobbyRoomPayloadSize}, {LOBBY_MSG_MATCHING, 0},
        {LOBBY_MSG_HOST, 0},                         {LOBBY_MSG_LOBBY_CHAT, kLobbyChatLineSize},
        {LOBBY_MSG_LINE_TEST, 4},                    {LOBBY_MSG_KEEPALIVE, 0},
    };
    std::vector<uint8_t> stream;
    for (const auto& [id, size] : messages)
    {
        const std::vector<uint8_t> payload = Pattern(size, static_cast<uint8_t>(id));
        std::vector<uint8_t> frame;
        ASSERT_TRUE(BuildLobbyClientFrame(frame, id, payload.data(), static_cast<uint32_t>(size), 0x3C));
        EXPECT_EQ(frame.size(), size + 10);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    std::vector<ClientFrame> frames;
    ASSERT_TRUE(TakeClientFrames(stream, 0x3C, frames));
    ASSERT_EQ(frames.size(), messages.size());
    EXPECT_TRUE(stream.empty());
    for (size_t i = 0; i < frames.size(); ++i)
    {
        EXPECT_EQ(frames[i].id, messages[i].first);
        EXPECT_EQ(frames[i].sub, 0);
        EXPECT_EQ(frames[i].payload, Pattern(messages[i].second, static_cast<uint8_t>(messages[i].first)));
    }
}

TEST(LobbyProtocol, EveryServerMessageDecodesInTheClientStream)
{
    const std::vector<std::pair<int16_t, size_t>> messages = {
        {100, 2},    {1001, 314}, {1002, 74},  {1003, 4},   {1004, 734}, {1005, 740}, {1006, 734}, {1007, 299},
        {1008, 37},  {1009, 734}, {1010, 66},  {1011, 37},  {1012, 33},  {1013, 4},   {1014, 299}, {1015, 330},
        {1016, 33},  {1017, 0},   {1018, 1},   {1019, 740}, {1020, 281}, {1023, 4},   {1024, 0},
    };
    std::vector<uint8_t> stream;
    for (const auto& [id, size] : messages)
    {
        const std::vector<uint8_t> message = ServerMessage(id, 1, Pattern(size, static_cast<uint8_t>(id)), 0x77);
        stream.insert(stream.end(), message.begin(), message.end());
    }
    // Fed in uneven runs, headers and payloads split anywhere.
    CLobbyStream lobby;
    for (size_t at = 0, run = 1; at < stream.size(); at += run, run = run % 13 + 1)
        ASSERT_TRUE(lobby.Feed(stream.data() + at, std::min(run, stream.size() - at)));
    for (const auto& [id, size] : messages)
    {
        tag_KVRLOBBYMESSAGE message;
        ASSERT_TRUE(lobby.Take(message));
        EXPECT_EQ(message.header.id, id);
        EXPECT_EQ(message.header.sub, 1);
        LobbyScramble(0x77, message.payload.data(), message.payload.size());
        EXPECT_EQ(message.payload, Pattern(size, static_cast<uint8_t>(id)));
    }
    EXPECT_FALSE(lobby.HasPartial());
}

TEST(LobbyProtocol, StreamDropsAHeaderAnnouncingMoreThanOneMebibyte)
{
    std::vector<uint8_t> header(8);
    Put16(header, 0, 1020);
    Put32(header, 4, (1u << 20) + 1);
    Scramble(0xA6, header.data(), 8);
    CLobbyStream lobby;
    EXPECT_FALSE(lobby.Feed(header.data(), header.size()));
}

TEST(LobbyProtocol, RecordsSitAtTheirOffsets)
{
    tag_KVRLOBBYLOGIN login;
    std::strcpy(login.loginId, "player");
    std::strcpy(login.password, "pw");
    login.port = 0x1234;
    login.address[0] = 127;
    login.address[3] = 9;
    std::vector<uint8_t> out(kLobbyLoginSize);
    WriteLobbyLogin(out.data(), login);
    EXPECT_EQ(GetText(out.data(), 33), "player");
    EXPECT_EQ(GetText(out.data() + 33, 17), "pw");
    EXPECT_EQ(Get16(out.data() + 50), 0x1234);
    EXPECT_EQ(out[52], 127);
    EXPECT_EQ(out[55], 9);

    tag_KVRLOBBYUSERDATA user;
    user.id = 5;
    std::strcpy(user.name, "name");
    user.rank = 42;
    user.status = 1;
    std::strcpy(user.comment, "hello");
    user.wins = 3;
    user.losses = 4;
    user.draws = 5;
    user.points = 6;
    user.iconSize = 7;
    out.assign(kLobbyUserDataSize, 0xEE);
    WriteLobbyUserData(out.data(), user);
    EXPECT_EQ(Get32(out.data()), 5u);
    EXPECT_EQ(GetText(out.data() + 4, 25), "name");
    EXPECT_EQ(Get32(out.data() + 29), 42u);
    EXPECT_EQ(Get32(out.data() + 33), 1u);
    EXPECT_EQ(GetText(out.data() + 37, 257), "hello");
    EXPECT_EQ(Get32(out.data() + 294), 3u);
    EXPECT_EQ(Get32(out.data() + 298), 4u);
    EXPECT_EQ(Get32(out.data() + 302), 5u);
    EXPECT_EQ(Get32(out.data() + 306), 6u);
    EXPECT_EQ(Get32(out.data() + 310), 7u);

    const tag_KVRLOBBYROOMDATA room = SampleRoom();
    out.assign(kLobbyRoomDataSize, 0xEE);
    WriteLobbyRoomData(out.data(), room);
    EXPECT_EQ(Get32(out.data()), 0x01020304u);
    EXPECT_EQ(GetText(out.data() + 4, 25), "Room");
    EXPECT_EQ(Get32(out.data() + 29), 1u);
    EXPECT_EQ(Get32(out.data() + 33), 1u);
    EXPECT_EQ(Get16(out.data() + 37), 8);
    EXPECT_EQ(GetText(out.data() + 39, 256), "comment");
    EXPECT_EQ(GetText(out.data() + 295, 9), "secret");
    EXPECT_EQ(out[304], 3);
    EXPECT_EQ(out[305], 12);
    EXPECT_EQ(out[306], 1);
    EXPECT_EQ(out[307], 1);
    EXPECT_EQ(out[308], 1);
    EXPECT_EQ(Get16(out.data() + 435), 2);
    EXPECT_EQ(Get32(out.data() + 437), 7u);
    EXPECT_EQ(GetText(out.data() + 441, 25), "owner");
    EXPECT_EQ(Get32(out.data() + 466), 30u);
    EXPECT_EQ(Get32(out.data() + 470), 7u);
    EXPECT_EQ(Get32(out.data() + 470 + 33), 9u);

    tag_KVRLOBBYROOMDATA back;
    ASSERT_TRUE(ReadLobbyRoomData(out.data(), out.size(), back));
    std::vector<uint8_t> again(kLobbyRoomDataSize);
    WriteLobbyRoomData(again.data(), back);
    EXPECT_EQ(again, out);

    std::vector<uint8_t> payload(kLobbyRoomPayloadSize);
    WriteLobbyRoomPayload(payload.data(), "mine", room, room.members);
    EXPECT_EQ(GetText(payload.data(), 25), "mine");
    EXPECT_TRUE(std::equal(payload.begin() + 25, payload.begin() + 25 + 398, out.begin() + 37));
    EXPECT_TRUE(std::equal(payload.begin() + 423, payload.end(), out.begin() + 435));

    tag_KVRLOBBYHOSTANSWER answer;
    answer.room = room;
    answer.address[0] = 127;
    answer.address[3] = 2;
    answer.port = 4567;
    out.assign(kLobbyHostAnswerSize, 0);
    WriteLobbyHostAnswer(out.data(), answer);
    EXPECT_EQ(out[734], 127);
    EXPECT_EQ(out[737], 2);
    EXPECT_EQ(Get16(out.data() + 738), 4567);
}

TEST(LobbyProtocol, ReadersRefuseShortPayloadsAndCutUnterminatedStrings)
{
    std::vector<uint8_t> bytes(kLobbyHostAnswerSize, 'A');
    tag_KVRLOBBYLOGIN login;
    tag_KVRLOBBYUSERENTRY entry;
    tag_KVRLOBBYUSERDATA data;
    tag_KVRLOBBYMEMBERS members;
    tag_KVRLOBBYROOMDATA room;
    tag_KVRLOBBYCHATLINE line;
    tag_KVRLOBBYHOSTANSWER answer;
    char name[kLobbyNameSize];
    EXPECT_FALSE(ReadLobbyLogin(bytes.data(), kLobbyLoginSize - 1, login));
    EXPECT_FALSE(ReadLobbyUserEntry(bytes.data(), kLobbyUserEntrySize - 1, entry));
    EXPECT_FALSE(ReadLobbyUserData(bytes.data(), kLobbyUserDataSize - 1, data));
    EXPECT_FALSE(ReadLobbyMembers(bytes.data(), kLobbyMembersSize - 1, members));
    EXPECT_FALSE(ReadLobbyRoomEntry(bytes.data(), kLobbyRoomEntrySize - 1, room));
    EXPECT_FALSE(ReadLobbyRoomData(bytes.data(), kLobbyRoomDataSize - 1, room));
    EXPECT_FALSE(ReadLobbyChatLine(bytes.data(), kLobbyChatLineSize - 1, line));
    EXPECT_FALSE(ReadLobbyHostAnswer(bytes.data(), kLobbyHostAnswerSize - 1, answer));
    EXPECT_FALSE(ReadLobbyRoomPayload(bytes.data(), kLobbyRoomPayloadSize - 1, name, room, members));

    ASSERT_TRUE(ReadLobbyUserEntry(bytes.data(), bytes.size(), entry));
    EXPECT_EQ(std::strlen(entry.name), kLobbyNameSize - 1);
    ASSERT_TRUE(ReadLobbyChatLine(bytes.data(), bytes.size(), line));
    EXPECT_EQ(std::strlen(line.name), kLobbyNameSize - 1);
    EXPECT_EQ(std::strlen(line.text), kLobbyChatTextSize - 1);
    ASSERT_TRUE(ReadLobbyUserData(bytes.data(), bytes.size(), data));
    EXPECT_EQ(std::strlen(data.comment), kLobbyUserCommentSize - 1);
}

TEST(LobbyProtocol, MemberCountsAreClampedIntoTheBlock)
{
    std::vector<uint8_t> block(kLobbyMembersSize, 0);
    tag_KVRLOBBYMEMBERS members;
    Put16(block, 0, static_cast<uint16_t>(-3));
    ASSERT_TRUE(ReadLobbyMembers(block.data(), block.size(), members));
    EXPECT_EQ(members.count, 0);
    Put16(block, 0, 200);
    ASSERT_TRUE(ReadLobbyMembers(block.data(), block.size(), members));
    EXPECT_EQ(members.count, 8);
}
