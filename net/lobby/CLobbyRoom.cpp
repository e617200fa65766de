#include "net/lobby/CLobbyRoom.h"

#include <algorithm>
#include <cstring>
#include <iterator>

CLobbyRoom::CLobbyRoom() = default;

CLobbyRoom::CLobbyRoom(uint16_t playerLimit, int32_t attributeCount, const tag_KVRLOBBYATTRIBUTE* schema)
    : m_attributeCount(schema != nullptr && attributeCount > 0 ? attributeCount : 0), m_schema(schema)
{
    data.playerLimit = playerLimit;
    size_t total = 0;
    for (int32_t i = 0; i < m_attributeCount; ++i)
        total += m_schema[i].size;
    m_values.assign(total, 0);
    ResetValues();
}

const tag_KVRLOBBYATTRIBUTE* CLobbyRoom::FindAttribute(int32_t index) const
{
    if (index < 0 || index >= m_attributeCount)
        return nullptr;
    return &m_schema[index];
}

int32_t CLobbyRoom::GetValue(int32_t index) const
{
    const tag_KVRLOBBYATTRIBUTE* attribute = FindAttribute(index);
    if (attribute == nullptr || attribute->offset + attribute->size > m_values.size())
        return 0;
    uint32_t value = 0;
    for (uint32_t i = 0; i < attribute->size; ++i)
        value |= static_cast<uint32_t>(m_values[attribute->offset + i]) << (8 * i);
    return static_cast<int32_t>(value);
}

void CLobbyRoom::SetValue(int32_t index, int32_t value)
{
    const tag_KVRLOBBYATTRIBUTE* attribute = FindAttribute(index);
    if (attribute == nullptr || attribute->offset + attribute->size > m_values.size())
        return;
    for (uint32_t i = 0; i < attribute->size; ++i)
        m_values[attribute->offset + i] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i));
}

void CLobbyRoom::ResetValues()
{
    for (int32_t i = 0; i < m_attributeCount; ++i)
        SetValue(i, m_schema[i].defaultChoice);
}

void CLobbyRoom::SetData(const tag_KVRLOBBYROOMDATA& room)
{
    data = room;
    size_t at = 0;
    for (int32_t i = 0; i < m_attributeCount; ++i)
    {
        const tag_KVRLOBBYATTRIBUTE& attribute = m_schema[i];
        if (at + 1 + attribute.size > kLobbyAttributeAreaSize || room.attributes[at] != attribute.size)
        {
            SetValue(i, attribute.defaultChoice);
            at += 1 + attribute.size;
            continue;
        }
        uint32_t value = 0;
        for (uint32_t b = 0; b < attribute.size; ++b)
            value |= static_cast<uint32_t>(room.attributes[at + 1 + b]) << (8 * b);
        const int32_t choice = static_cast<int32_t>(value);
        SetValue(i, choice >= 0 && choice < attribute.choices ? choice : attribute.defaultChoice);
        at += 1 + attribute.size;
    }
}

tag_KVRLOBBYROOMDATA CLobbyRoom::PackData(bool forMatch) const
{
    tag_KVRLOBBYROOMDATA room = data;
    std::fill(std::begin(room.attributes), std::end(room.attributes), 0);
    room.attributeCount = static_cast<uint8_t>(m_attributeCount);
    size_t at = 0;
    for (int32_t i = 0; i < m_attributeCount; ++i)
    {
        const tag_KVRLOBBYATTRIBUTE& attribute = m_schema[i];
        if (at + 1 + attribute.size > kLobbyAttributeAreaSize)
            break;
        int32_t value = GetValue(i);
        if (forMatch && value == attribute.defaultChoice)
            value = static_cast<int8_t>(attribute.anyValue & 0xFF);
        room.attributes[at] = attribute.size;
        for (uint32_t b = 0; b < attribute.size; ++b)
            room.attributes[at + 1 + b] = static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * b));
        at += 1 + attribute.size;
    }
    return room;
}

bool IsLobbyMember(const tag_KVRLOBBYROOMDATA& room, uint32_t userId)
{
    if (room.members.owner.id == userId)
        return true;
    const int16_t count = room.members.count;
    for (int16_t i = 0; i < count && i < kLobbyMaxMembers; ++i)
        if (room.members.members[i].id == userId)
            return true;
    return false;
}

bool CanJoinLobbyRoom(const tag_KVRLOBBYROOMDATA& room, int32_t rank)
{
    if (room.busy != 0)
        return false;
    if (room.members.count >= static_cast<int16_t>(room.playerLimit))
        return false;
    return LobbyRankBandAdmits(room.rankBand, rank);
}
