#pragma once

#include "net/LobbyProtocol.h"
#include "net/lobby/LobbySchema.h"

#include <cstdint>
#include <string>
#include <vector>

// A room as the lobby knows it, the room being edited, the template of new
// rooms or the conditions of a random match: the room data and the values
// of its schema's attributes, unpacked.
class CLobbyRoom
{
public:
    CLobbyRoom();
    CLobbyRoom(uint16_t playerLimit, int32_t attributeCount, const tag_KVRLOBBYATTRIBUTE* schema);
    CLobbyRoom(const CLobbyRoom& other) = default;
    CLobbyRoom& operator=(const CLobbyRoom& other) = default;

    // Takes the room data and unpacks the attribute values from it. A value
    // whose size byte disagrees with the schema, or that lies past the
    // attribute area, or that is outside its choices, falls back to its
    // default.
    void SetData(const tag_KVRLOBBYROOMDATA& room);
    // The data with its attribute count and value area written afresh from
    // the values. forMatch: a value at its default goes out as the
    // attribute's any-value.
    tag_KVRLOBBYROOMDATA PackData(bool forMatch) const;
    void ResetValues();

    const tag_KVRLOBBYATTRIBUTE* FindAttribute(int32_t index) const;
    int32_t GetAttributeCount() const { return m_attributeCount; }
    int32_t GetValue(int32_t index) const;
    void SetValue(int32_t index, int32_t value);
    int16_t GetPlayerCount() const { return data.members.count; }

    tag_KVRLOBBYROOMDATA data;

private:
    int32_t m_attributeCount = 0;
    const tag_KVRLOBBYATTRIBUTE* m_schema = nullptr;
    std::vector<uint8_t> m_values;
};

// A user is in a room when it owns it or is one of its counted members.
bool IsLobbyMember(const tag_KVRLOBBYROOMDATA& room, uint32_t userId);
// The room admits the user: not busy, below its limit, and the rank band
// admits the rank.
bool CanJoinLobbyRoom(const tag_KVRLOBBYROOMDATA& room, int32_t rank);
// Screen lines of text wrapped at width bytes as the lobby draws it (a
// double-byte character takes two columns, a Latin word goes whole onto
// the next line, a line feed starts a line, but not one that is the second
// byte of a double-byte character): the breaks the drawing takes, counted.
int32_t CountLobbyLines(const char* text, int32_t width);

// What a chat box shows of one message and the screen lines that takes.
struct LobbyChatShown
{
    std::string text;
    int32_t lines = 1;
};
// The message wrapped at width bytes as the lobby draws it, cut after
// lineLimit screen lines; a cut text ends in "…" on its last kept line.
// Every chat box draws the text and counts the lines given here, so that
// the two cannot differ.
LobbyChatShown ShowLobbyChat(const char* text, int32_t width, int32_t lineLimit);
// The text without its first screen lines, wrapped at width bytes as the
// lobby draws it (empty when those are all of them): drawn alone, the rest
// makes the same lines as it did in the whole text.
const char* SkipLobbyLines(const char* text, int32_t width, int32_t lines);
