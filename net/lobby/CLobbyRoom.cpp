#include "net/lobby/CLobbyRoom.h"

#include "engine/core/GameText.h"
#include "engine/core/ShiftJisText.h"
#include "engine/render/LineBreaks.h"

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

namespace
{
// The breaks the chat's wrapped drawing takes, where only bytes count; its
// lines start at them and nowhere else, line feeds included.
std::vector<LineBreak> LobbyBreaks(const char* text, int32_t width)
{
    std::vector<LineBreak> breaks;
    const LineBox box{.maxBytes = width > 0 ? static_cast<uint32_t>(width) : 0u};
    FindLineBreaks(text, box, [](const char*, size_t length) { return static_cast<float>(length); }, &breaks);
    return breaks;
}
}

int32_t CountLobbyLines(const char* text, int32_t width)
{
    if (text == nullptr)
        return 1;
    return 1 + static_cast<int32_t>(LobbyBreaks(text, width).size());
}

const char* SkipLobbyLines(const char* text, int32_t width, int32_t lines)
{
    if (text == nullptr || lines <= 0)
        return text;
    const std::vector<LineBreak> breaks = LobbyBreaks(text, width);
    if (static_cast<size_t>(lines) > breaks.size())
        return text + std::strlen(text);
    // A break that drops its character (the space or line feed it wraps at)
    // starts its line after it.
    const LineBreak& start = breaks[static_cast<size_t>(lines) - 1];
    return text + start.at + (start.drops ? 1 : 0);
}

LobbyChatShown ShowLobbyChat(const char* text, int32_t width, int32_t lineLimit)
{
    if (text == nullptr)
        return {};
    const size_t limit = static_cast<size_t>(std::max(lineLimit, 1));
    const std::vector<LineBreak> breaks = LobbyBreaks(text, width);
    if (breaks.size() < limit)
        return {text, 1 + static_cast<int32_t>(breaks.size())};
    // Kept: the text up to where the first line past the limit starts. Its
    // last line gives up characters from its end until the mark fits on it;
    // at worst the mark takes that line alone, which always fits.
    const size_t lastLine = limit > 1 ? breaks[limit - 2].at : 0;
    const size_t cut = breaks[limit - 1].at;
    std::vector<size_t> ends{lastLine};
    for (size_t at = lastLine, length = 0; at < cut && (length = ShiftJisCharLength(text + at)) != 0; at += length)
        ends.push_back(at + length);
    const char* mark = GameText("…");
    for (auto end = ends.rbegin(); end != ends.rend(); ++end)
    {
        LobbyChatShown shown{std::string(text, *end) + mark, 0};
        shown.lines = CountLobbyLines(shown.text.c_str(), width);
        if (static_cast<size_t>(shown.lines) <= limit)
            return shown;
    }
    return {mark, 1};
}
