#pragma once

// Well-formed lobby server messages built with the protocol's own writers,
// shared by the lobby seed generators.
#include "net/LobbyProtocol.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace lobbyseeds
{
struct Message
{
    int16_t id;
    uint16_t sub;
    std::vector<uint8_t> payload;
};

inline bool Write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

inline std::vector<Message> Messages()
{
    tag_KVRLOBBYUSERENTRY entry;
    entry.id = 5;
    std::strcpy(entry.name, "alice");
    entry.rank = 25;
    tag_KVRLOBBYUSERDATA user;
    user.id = 5;
    std::strcpy(user.name, "alice");
    std::strcpy(user.comment, "hello");
    user.iconSize = 4;
    tag_KVRLOBBYROOMDATA room;
    room.id = 7;
    std::strcpy(room.name, "room");
    room.playerLimit = 8;
    room.attributeCount = 1;
    room.attributes[0] = 1;
    room.members.count = 2;
    room.members.owner = entry;
    room.members.members[0] = entry;
    room.members.members[1].id = 6;
    tag_KVRLOBBYHOSTANSWER answer;
    answer.room = room;
    answer.address[0] = 127;
    answer.address[3] = 1;
    answer.port = 1;
    tag_KVRLOBBYCHATLINE chat;
    std::strcpy(chat.name, "alice");
    std::strcpy(chat.text, "hi");

    std::vector<Message> out;
    auto add = [&out](int16_t id, uint16_t sub, size_t size, auto write) {
        Message message{id, sub, std::vector<uint8_t>(size)};
        write(message.payload.data());
        out.push_back(std::move(message));
    };
    auto none = [](uint8_t*) {};
    auto id = [](uint8_t* p) { WriteLobbyU32(p, 7); };
    out.push_back({LOBBY_MSG_HELLO, 1, {kLobbyHelloMark, 0x31}});
    add(LOBBY_MSG_LOGIN, 1, kLobbyUserDataSize, [&](uint8_t* p) { WriteLobbyUserData(p, user); });
    add(LOBBY_MSG_LOGIN, 2, 0, none);
    add(LOBBY_MSG_ROOM_LIST, 1, kLobbyRoomEntrySize * 2, [&](uint8_t* p) {
        WriteLobbyRoomEntry(p, room);
        WriteLobbyRoomEntry(p + kLobbyRoomEntrySize, room);
    });
    add(LOBBY_MSG_CLOSE_ROOM, 1, 4, id);
    add(LOBBY_MSG_ROOM_INFO, 1, kLobbyRoomDataSize, [&](uint8_t* p) { WriteLobbyRoomData(p, room); });
    add(LOBBY_MSG_ROOM_KEY, 2, 0, none);
    add(LOBBY_MSG_JOIN_ROOM, 1, kLobbyHostAnswerSize, [&](uint8_t* p) { WriteLobbyHostAnswer(p, answer); });
    add(LOBBY_MSG_LEAVE_ROOM, 1, kLobbyMembersSize, [&](uint8_t* p) { WriteLobbyMembers(p, room.members); });
    add(LOBBY_MSG_KICK, 1, kLobbyMembersSize, [&](uint8_t* p) { WriteLobbyMembers(p, room.members); });
    add(LOBBY_MSG_USER_LIST, 1, kLobbyUserEntrySize, [&](uint8_t* p) { WriteLobbyUserEntry(p, entry); });
    add(LOBBY_MSG_LOGOUT, 1, 4, [](uint8_t* p) { WriteLobbyU32(p, 5); });
    add(LOBBY_MSG_USER_INFO, 1, kLobbyUserDataSize + 4, [&](uint8_t* p) { WriteLobbyUserData(p, user); });
    add(LOBBY_MSG_RANDOM_MATCH, 1, 0, none);
    add(LOBBY_MSG_MATCHING, 2, 1, [](uint8_t* p) { p[0] = 2; });
    add(LOBBY_MSG_HOST, 1, kLobbyHostAnswerSize, [&](uint8_t* p) { WriteLobbyHostAnswer(p, answer); });
    add(LOBBY_MSG_LOBBY_CHAT, 1, kLobbyChatLineSize, [&](uint8_t* p) { WriteLobbyChatLine(p, chat); });
    add(LOBBY_MSG_LINE_TEST, 2, 0, none);
    add(LOBBY_MSG_KEEPALIVE, 1, 0, none);
    return out;
}

// The message as the server sends it, scrambled with key.
inline std::vector<uint8_t> Encode(const Message& message, uint8_t key)
{
    std::vector<uint8_t> out(kLobbyHeaderSize + message.payload.size());
    WriteLobbyHeader(out.data(), tag_KVRLOBBYHEADER{message.id, message.sub,
                                                    static_cast<uint32_t>(message.payload.size())});
    std::copy(message.payload.begin(), message.payload.end(), out.begin() + kLobbyHeaderSize);
    LobbyScramble(kLobbyHeaderKey, out.data(), kLobbyHeaderSize);
    LobbyScramble(key, out.data() + kLobbyHeaderSize, message.payload.size());
    return out;
}
} // namespace lobbyseeds
