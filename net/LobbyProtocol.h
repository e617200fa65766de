#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The lobby server's wire format. Every message is an 8-byte header (signed
// 16-bit id, 16-bit sub-value, 32-bit payload length, little-endian) and its
// payload. The client frames each message as 0x02, header, payload, 0x03;
// the server sends header and payload bare. Headers are scrambled with a
// fixed key, payloads with the session key that the greeting hands out.
//
// The scramble is obfuscation, not encryption: anyone on the path reads the
// login id and password.
//
// Records are read and written field by field at their wire offsets. Every
// reader takes the bytes at hand and refuses a payload shorter than its
// record; strings are cut at the end of their field, so a stored string
// always ends in a NUL inside it.

enum LobbyMessageId : int16_t
{
    LOBBY_MSG_HELLO = 100,
    LOBBY_MSG_LOGIN = 1001,
    LOBBY_MSG_CREATE_ROOM = 1002,
    LOBBY_MSG_CLOSE_ROOM = 1003,
    LOBBY_MSG_ROOM_SETTINGS = 1004,
    LOBBY_MSG_JOIN_ROOM = 1005,
    LOBBY_MSG_ROOM_KEY = 1006,
    LOBBY_MSG_LEAVE_ROOM = 1007,
    LOBBY_MSG_ROOM_STATUS = 1008,
    LOBBY_MSG_ROOM_INFO = 1009,
    LOBBY_MSG_USER_ENTRIES = 1010,
    LOBBY_MSG_ROOM_LIST = 1011,
    LOBBY_MSG_USER_LIST = 1012,
    LOBBY_MSG_LOGOUT = 1013,
    LOBBY_MSG_KICK = 1014,
    LOBBY_MSG_USER_INFO = 1015,
    LOBBY_MSG_BATTLE_RESULT = 1016,
    LOBBY_MSG_RANDOM_MATCH = 1017,
    LOBBY_MSG_MATCHING = 1018,
    LOBBY_MSG_HOST = 1019,
    LOBBY_MSG_LOBBY_CHAT = 1020,
    LOBBY_MSG_ROOM_CHAT = 1021,
    LOBBY_MSG_ROOM_STATE = 1022,
    LOBBY_MSG_LINE_TEST = 1023,
    LOBBY_MSG_KEEPALIVE = 1024,
};

constexpr uint8_t kLobbyHeaderKey = 0xA6;
constexpr uint8_t kLobbyInitialSessionKey = 0xC5;
constexpr uint8_t kLobbyFrameStart = 0x02;
constexpr uint8_t kLobbyFrameEnd = 0x03;
constexpr uint8_t kLobbyHelloMark = 0x6A; // 'j'
constexpr uint16_t kLobbySubOk = 1;
constexpr uint16_t kLobbySubRefused = 2;
constexpr size_t kLobbyHeaderSize = 8;
// A message announcing more than this ends the connection.
constexpr uint32_t kLobbyMaxPayload = 1u << 20;

constexpr size_t kLobbyNameSize = 25;
constexpr size_t kLobbyLoginIdSize = 33;
constexpr size_t kLobbyPasswordSize = 17;
constexpr size_t kLobbyUserCommentSize = 257;
constexpr size_t kLobbyRoomCommentSize = 256;
constexpr size_t kLobbyRoomKeySize = 9;
constexpr size_t kLobbyChatTextSize = 256;
constexpr size_t kLobbyAttributeAreaSize = 128;
constexpr int16_t kLobbyMaxMembers = 8;

constexpr size_t kLobbyLoginSize = 56;
constexpr size_t kLobbyUserEntrySize = 33;
constexpr size_t kLobbyUserDataSize = 314;
constexpr size_t kLobbyRoomEntrySize = 37;
constexpr size_t kLobbyMembersSize = 299;
constexpr size_t kLobbyRoomDataSize = 734;
constexpr size_t kLobbyChatLineSize = 281;
constexpr size_t kLobbyHelloSize = 2;
constexpr size_t kLobbyIdSize = 4;
// Room data bytes 37-434: player limit through the attribute values.
constexpr size_t kLobbyRoomSettingsOffset = 37;
constexpr size_t kLobbyRoomSettingsSize = 398;
// Name, settings and member block (1002 and 1017).
constexpr size_t kLobbyRoomPayloadSize = kLobbyNameSize + kLobbyRoomSettingsSize + kLobbyMembersSize;
// Room data, host IPv4 and host port (1005 and 1019 answers).
constexpr size_t kLobbyHostAnswerSize = kLobbyRoomDataSize + 6;
constexpr size_t kLobbyJoinRequestSize = 4 + kLobbyUserEntrySize;
constexpr size_t kLobbyRoomKeyRequestSize = 4 + kLobbyRoomKeySize;

struct tag_KVRLOBBYHEADER
{
    int16_t id = 0;
    uint16_t sub = 0;
    uint32_t length = 0;
};

struct tag_KVRLOBBYLOGIN
{
    char loginId[kLobbyLoginIdSize] = {};
    char password[kLobbyPasswordSize] = {};
    uint16_t port = 0;
    // The four address bytes in network order.
    uint8_t address[4] = {};
};

struct tag_KVRLOBBYUSERENTRY
{
    uint32_t id = 0;
    char name[kLobbyNameSize] = {};
    int32_t rank = 0;
};

struct tag_KVRLOBBYUSERDATA
{
    uint32_t id = 0;
    char name[kLobbyNameSize] = {};
    int32_t rank = 0;
    uint32_t status = 0;
    char comment[kLobbyUserCommentSize] = {};
    int32_t wins = 0;
    int32_t losses = 0;
    int32_t draws = 0;
    int32_t points = 0;
    int32_t iconSize = 0;
};

struct tag_KVRLOBBYMEMBERS
{
    int16_t count = 0;
    tag_KVRLOBBYUSERENTRY owner;
    tag_KVRLOBBYUSERENTRY members[kLobbyMaxMembers];
};

struct tag_KVRLOBBYROOMDATA
{
    uint32_t id = 0;
    char name[kLobbyNameSize] = {};
    uint32_t busy = 0;
    uint32_t keyFlag = 0;
    uint16_t playerLimit = 0;
    char comment[kLobbyRoomCommentSize] = {};
    char key[kLobbyRoomKeySize] = {};
    uint8_t hostPreference = 2;
    uint8_t rankBand = 13;
    uint8_t attributeCount = 0;
    uint8_t attributes[kLobbyAttributeAreaSize] = {};
    tag_KVRLOBBYMEMBERS members;
};

struct tag_KVRLOBBYCHATLINE
{
    char name[kLobbyNameSize] = {};
    char text[kLobbyChatTextSize] = {};
};

// Where a 1005 or 1019 answer sends the client.
struct tag_KVRLOBBYHOSTANSWER
{
    tag_KVRLOBBYROOMDATA room;
    uint8_t address[4] = {};
    uint16_t port = 0;
};

// Scrambles or unscrambles length bytes in place with the key; the same
// call undoes itself. Each call starts at the first byte of the table.
void LobbyScramble(uint8_t key, uint8_t* buffer, size_t length);

void WriteLobbyHeader(uint8_t* out, const tag_KVRLOBBYHEADER& header);
tag_KVRLOBBYHEADER ReadLobbyHeader(const uint8_t* in);

// A client frame: 0x02, scrambled header, scrambled payload, 0x03. False
// (nothing built) for a payload above the limit or a null payload with a
// length.
bool BuildLobbyClientFrame(std::vector<uint8_t>& out, int16_t id, const void* payload, uint32_t length,
                           uint8_t sessionKey);

// Copies a string field: at most size - 1 bytes up to the first NUL, the
// rest of the field zero.
void CopyLobbyString(char* out, const char* in, size_t size);

void WriteLobbyLogin(uint8_t* out, const tag_KVRLOBBYLOGIN& login);
bool ReadLobbyLogin(const uint8_t* in, size_t length, tag_KVRLOBBYLOGIN& out);
void WriteLobbyUserEntry(uint8_t* out, const tag_KVRLOBBYUSERENTRY& entry);
bool ReadLobbyUserEntry(const uint8_t* in, size_t length, tag_KVRLOBBYUSERENTRY& out);
void WriteLobbyUserData(uint8_t* out, const tag_KVRLOBBYUSERDATA& data);
bool ReadLobbyUserData(const uint8_t* in, size_t length, tag_KVRLOBBYUSERDATA& out);
// A member count outside 0..8 is clamped into it; entries past the count
// are read but do not count.
void WriteLobbyMembers(uint8_t* out, const tag_KVRLOBBYMEMBERS& members);
bool ReadLobbyMembers(const uint8_t* in, size_t length, tag_KVRLOBBYMEMBERS& out);
// The first 37 bytes only: id, name, busy and key flags.
void WriteLobbyRoomEntry(uint8_t* out, const tag_KVRLOBBYROOMDATA& room);
bool ReadLobbyRoomEntry(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out);
void WriteLobbyRoomSettings(uint8_t* out, const tag_KVRLOBBYROOMDATA& room);
bool ReadLobbyRoomSettings(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out);
void WriteLobbyRoomData(uint8_t* out, const tag_KVRLOBBYROOMDATA& room);
bool ReadLobbyRoomData(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out);
void WriteLobbyChatLine(uint8_t* out, const tag_KVRLOBBYCHATLINE& line);
bool ReadLobbyChatLine(const uint8_t* in, size_t length, tag_KVRLOBBYCHATLINE& out);
void WriteLobbyHostAnswer(uint8_t* out, const tag_KVRLOBBYHOSTANSWER& answer);
bool ReadLobbyHostAnswer(const uint8_t* in, size_t length, tag_KVRLOBBYHOSTANSWER& out);
// 1002 and 1017: a name, the room's settings and a member block.
void WriteLobbyRoomPayload(uint8_t* out, const char* name, const tag_KVRLOBBYROOMDATA& room,
                           const tag_KVRLOBBYMEMBERS& members);
bool ReadLobbyRoomPayload(const uint8_t* in, size_t length, char* name, tag_KVRLOBBYROOMDATA& room,
                          tag_KVRLOBBYMEMBERS& members);

void WriteLobbyU32(uint8_t* out, uint32_t value);
uint32_t ReadLobbyU32(const uint8_t* in);
