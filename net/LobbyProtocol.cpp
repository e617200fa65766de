#include "net/LobbyProtocol.h"

#include <cstring>

namespace
{
// The table is made afresh in a local buffer on every call, never kept as
// data: a multiplicative walk over the bytes, folded with its index.
void BuildScrambleTable(uint8_t* table)
{
    uint8_t x = 0x5A;
    for (uint32_t i = 0; i < 256; ++i)
    {
        x = static_cast<uint8_t>(x * 73u + 41u);
        table[i] = static_cast<uint8_t>(x ^ ((i << 3) | (i >> 5)));
    }
}

void PutU16(uint8_t* out, uint16_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

uint16_t GetU16(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

void PutI32(uint8_t* out, int32_t value)
{
    WriteLobbyU32(out, static_cast<uint32_t>(value));
}

int32_t GetI32(const uint8_t* in)
{
    return static_cast<int32_t>(ReadLobbyU32(in));
}

void PutString(uint8_t* out, const char* text, size_t size)
{
    CopyLobbyString(reinterpret_cast<char*>(out), text, size);
}

void GetString(char* out, const uint8_t* in, size_t size)
{
    CopyLobbyString(out, reinterpret_cast<const char*>(in), size);
}
} // namespace

void WriteLobbyU32(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t ReadLobbyU32(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
           (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

void LobbyScramble(uint8_t key, uint8_t* buffer, size_t length)
{
    if (buffer == nullptr)
        return;
    uint8_t table[256];
    BuildScrambleTable(table);
    for (size_t i = 0; i < length; ++i)
        buffer[i] ^= static_cast<uint8_t>(table[i & 0xFF] ^ key);
}

void WriteLobbyHeader(uint8_t* out, const tag_KVRLOBBYHEADER& header)
{
    PutU16(out, static_cast<uint16_t>(header.id));
    PutU16(out + 2, header.sub);
    WriteLobbyU32(out + 4, header.length);
}

tag_KVRLOBBYHEADER ReadLobbyHeader(const uint8_t* in)
{
    tag_KVRLOBBYHEADER header;
    header.id = static_cast<int16_t>(GetU16(in));
    header.sub = GetU16(in + 2);
    header.length = ReadLobbyU32(in + 4);
    return header;
}

bool BuildLobbyClientFrame(std::vector<uint8_t>& out, int16_t id, const void* payload, uint32_t length,
                           uint8_t sessionKey)
{
    if (length > kLobbyMaxPayload || (payload == nullptr && length != 0))
        return false;
    out.assign(kLobbyHeaderSize + length + 2, 0);
    out[0] = kLobbyFrameStart;
    WriteLobbyHeader(out.data() + 1, tag_KVRLOBBYHEADER{id, 0, length});
    if (length != 0)
        std::memcpy(out.data() + 1 + kLobbyHeaderSize, payload, length);
    out.back() = kLobbyFrameEnd;
    LobbyScramble(kLobbyHeaderKey, out.data() + 1, kLobbyHeaderSize);
    LobbyScramble(sessionKey, out.data() + 1 + kLobbyHeaderSize, length);
    return true;
}

void CopyLobbyString(char* out, const char* in, size_t size)
{
    if (size == 0)
        return;
    size_t n = 0;
    if (in != nullptr)
        while (n + 1 < size && in[n] != '\0')
            ++n;
    if (n != 0)
        std::memmove(out, in, n);
    std::memset(out + n, 0, size - n);
}

void WriteLobbyLogin(uint8_t* out, const tag_KVRLOBBYLOGIN& login)
{
    PutString(out, login.loginId, kLobbyLoginIdSize);
    PutString(out + 33, login.password, kLobbyPasswordSize);
    PutU16(out + 50, login.port);
    std::memcpy(out + 52, login.address, 4);
}

bool ReadLobbyLogin(const uint8_t* in, size_t length, tag_KVRLOBBYLOGIN& out)
{
    if (in == nullptr || length < kLobbyLoginSize)
        return false;
    GetString(out.loginId, in, kLobbyLoginIdSize);
    GetString(out.password, in + 33, kLobbyPasswordSize);
    out.port = GetU16(in + 50);
    std::memcpy(out.address, in + 52, 4);
    return true;
}

void WriteLobbyUserEntry(uint8_t* out, const tag_KVRLOBBYUSERENTRY& entry)
{
    WriteLobbyU32(out, entry.id);
    PutString(out + 4, entry.name, kLobbyNameSize);
    PutI32(out + 29, entry.rank);
}

bool ReadLobbyUserEntry(const uint8_t* in, size_t length, tag_KVRLOBBYUSERENTRY& out)
{
    if (in == nullptr || length < kLobbyUserEntrySize)
        return false;
    out.id = ReadLobbyU32(in);
    GetString(out.name, in + 4, kLobbyNameSize);
    out.rank = GetI32(in + 29);
    return true;
}

void WriteLobbyUserData(uint8_t* out, const tag_KVRLOBBYUSERDATA& data)
{
    WriteLobbyU32(out, data.id);
    PutString(out + 4, data.name, kLobbyNameSize);
    PutI32(out + 29, data.rank);
    WriteLobbyU32(out + 33, data.status);
    PutString(out + 37, data.comment, kLobbyUserCommentSize);
    PutI32(out + 294, data.wins);
    PutI32(out + 298, data.losses);
    PutI32(out + 302, data.draws);
    PutI32(out + 306, data.points);
    PutI32(out + 310, data.iconSize);
}

bool ReadLobbyUserData(const uint8_t* in, size_t length, tag_KVRLOBBYUSERDATA& out)
{
    if (in == nullptr || length < kLobbyUserDataSize)
        return false;
    out.id = ReadLobbyU32(in);
    GetString(out.name, in + 4, kLobbyNameSize);
    out.rank = GetI32(in + 29);
    out.status = ReadLobbyU32(in + 33);
    GetString(out.comment, in + 37, kLobbyUserCommentSize);
    out.wins = GetI32(in + 294);
    out.losses = GetI32(in + 298);
    out.draws = GetI32(in + 302);
    out.points = GetI32(in + 306);
    out.iconSize = GetI32(in + 310);
    return true;
}

void WriteLobbyMembers(uint8_t* out, const tag_KVRLOBBYMEMBERS& members)
{
    PutU16(out, static_cast<uint16_t>(members.count));
    WriteLobbyUserEntry(out + 2, members.owner);
    for (int i = 0; i < kLobbyMaxMembers; ++i)
        WriteLobbyUserEntry(out + 35 + i * kLobbyUserEntrySize, members.members[i]);
}

bool ReadLobbyMembers(const uint8_t* in, size_t length, tag_KVRLOBBYMEMBERS& out)
{
    if (in == nullptr || length < kLobbyMembersSize)
        return false;
    int16_t count = static_cast<int16_t>(GetU16(in));
    if (count < 0)
        count = 0;
    if (count > kLobbyMaxMembers)
        count = kLobbyMaxMembers;
    out.count = count;
    ReadLobbyUserEntry(in + 2, kLobbyUserEntrySize, out.owner);
    for (int i = 0; i < kLobbyMaxMembers; ++i)
        ReadLobbyUserEntry(in + 35 + i * kLobbyUserEntrySize, kLobbyUserEntrySize, out.members[i]);
    return true;
}

void WriteLobbyRoomEntry(uint8_t* out, const tag_KVRLOBBYROOMDATA& room)
{
    WriteLobbyU32(out, room.id);
    PutString(out + 4, room.name, kLobbyNameSize);
    WriteLobbyU32(out + 29, room.busy);
    WriteLobbyU32(out + 33, room.keyFlag);
}

bool ReadLobbyRoomEntry(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out)
{
    if (in == nullptr || length < kLobbyRoomEntrySize)
        return false;
    out.id = ReadLobbyU32(in);
    GetString(out.name, in + 4, kLobbyNameSize);
    out.busy = ReadLobbyU32(in + 29);
    out.keyFlag = ReadLobbyU32(in + 33);
    return true;
}

void WriteLobbyRoomSettings(uint8_t* out, const tag_KVRLOBBYROOMDATA& room)
{
    PutU16(out, room.playerLimit);
    PutString(out + 2, room.comment, kLobbyRoomCommentSize);
    PutString(out + 258, room.key, kLobbyRoomKeySize);
    out[267] = room.hostPreference;
    out[268] = room.rankBand;
    out[269] = room.attributeCount;
    std::memcpy(out + 270, room.attributes, kLobbyAttributeAreaSize);
}

bool ReadLobbyRoomSettings(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out)
{
    if (in == nullptr || length < kLobbyRoomSettingsSize)
        return false;
    out.playerLimit = GetU16(in);
    GetString(out.comment, in + 2, kLobbyRoomCommentSize);
    GetString(out.key, in + 258, kLobbyRoomKeySize);
    out.hostPreference = in[267];
    out.rankBand = in[268];
    out.attributeCount = in[269];
    std::memcpy(out.attributes, in + 270, kLobbyAttributeAreaSize);
    return true;
}

void WriteLobbyRoomData(uint8_t* out, const tag_KVRLOBBYROOMDATA& room)
{
    WriteLobbyRoomEntry(out, room);
    WriteLobbyRoomSettings(out + kLobbyRoomSettingsOffset, room);
    WriteLobbyMembers(out + kLobbyRoomSettingsOffset + kLobbyRoomSettingsSize, room.members);
}

bool ReadLobbyRoomData(const uint8_t* in, size_t length, tag_KVRLOBBYROOMDATA& out)
{
    if (in == nullptr || length < kLobbyRoomDataSize)
        return false;
    ReadLobbyRoomEntry(in, length, out);
    ReadLobbyRoomSettings(in + kLobbyRoomSettingsOffset, kLobbyRoomSettingsSize, out);
    return ReadLobbyMembers(in + kLobbyRoomSettingsOffset + kLobbyRoomSettingsSize, kLobbyMembersSize, out.members);
}

void WriteLobbyChatLine(uint8_t* out, const tag_KVRLOBBYCHATLINE& line)
{
    PutString(out, line.name, kLobbyNameSize);
    PutString(out + kLobbyNameSize, line.text, kLobbyChatTextSize);
}

bool ReadLobbyChatLine(const uint8_t* in, size_t length, tag_KVRLOBBYCHATLINE& out)
{
    if (in == nullptr || length < kLobbyChatLineSize)
        return false;
    GetString(out.name, in, kLobbyNameSize);
    GetString(out.text, in + kLobbyNameSize, kLobbyChatTextSize);
    return true;
}

void WriteLobbyHostAnswer(uint8_t* out, const tag_KVRLOBBYHOSTANSWER& answer)
{
    WriteLobbyRoomData(out, answer.room);
    std::memcpy(out + kLobbyRoomDataSize, answer.address, 4);
    PutU16(out + kLobbyRoomDataSize + 4, answer.port);
}

bool ReadLobbyHostAnswer(const uint8_t* in, size_t length, tag_KVRLOBBYHOSTANSWER& out)
{
    if (in == nullptr || length < kLobbyHostAnswerSize)
        return false;
    ReadLobbyRoomData(in, length, out.room);
    std::memcpy(out.address, in + kLobbyRoomDataSize, 4);
    out.port = GetU16(in + kLobbyRoomDataSize + 4);
    return true;
}

void WriteLobbyRoomPayload(uint8_t* out, const char* name, const tag_KVRLOBBYROOMDATA& room,
                           const tag_KVRLOBBYMEMBERS& members)
{
    PutString(out, name, kLobbyNameSize);
    WriteLobbyRoomSettings(out + kLobbyNameSize, room);
    WriteLobbyMembers(out + kLobbyNameSize + kLobbyRoomSettingsSize, members);
}

bool ReadLobbyRoomPayload(const uint8_t* in, size_t length, char* name, tag_KVRLOBBYROOMDATA& room,
                          tag_KVRLOBBYMEMBERS& members)
{
    if (in == nullptr || length < kLobbyRoomPayloadSize)
        return false;
    GetString(name, in, kLobbyNameSize);
    ReadLobbyRoomSettings(in + kLobbyNameSize, kLobbyRoomSettingsSize, room);
    return ReadLobbyMembers(in + kLobbyNameSize + kLobbyRoomSettingsSize, kLobbyMembersSize, members);
}
