#pragma once

#include "net/LobbyProtocol.h"
#include "net/lobby/LobbySchema.h"

#include <cstdint>
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
