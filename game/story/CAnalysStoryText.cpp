#include "game/story/CAnalysStoryText.h"

#include "engine/core/TextEncoding.h"
#include "game/story/CStoryRecordReader.h"
#include "game/story/StoryText.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

int CAnalysStoryText::AnalysStory(CStory* story)
{
    SetSeparators(kSeparators);
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadStory(story);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryText::AnalysMission(CMission* mission)
{
    SetSeparators(kSeparators);
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadMission(mission);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryText::NextOpcode()
{
    // Longer than any command word, so a cut token never matches one.
    char token[32];
    if (PeekToken(token, sizeof(token)) == kEndOfData)
        return kEnd;
    const int opcode = FindStoryCommand(token);
    if (opcode < 0)
        return SkipBlock() == kEndOfData ? kEnd : kSkipped;
    ReadToken(token, sizeof(token));
    // The whole word was read, so it ends at the cursor.
    m_opcodeAt = GetCursor() - static_cast<uint32_t>(std::strlen(token));
    return opcode;
}

std::string CAnalysStoryText::Where() const
{
    const uint32_t end = std::min(m_opcodeAt, GetSize());
    const uint32_t line = 1 + static_cast<uint32_t>(std::count(GetBuffer(), GetBuffer() + end, '\n'));
    return "line " + std::to_string(line);
}

bool CAnalysStoryText::ReadInteger(int32_t* out)
{
    char token[4];
    if (PeekToken(token, sizeof(token)) == kEndOfData)
        return false;
    *out = ReadLong();
    return true;
}

bool CAnalysStoryText::ReadU8(uint8_t* out)
{
    int32_t value = 0;
    if (!ReadInteger(&value))
        return false;
    *out = static_cast<uint8_t>(value);
    return true;
}

bool CAnalysStoryText::ReadU32(uint32_t* out)
{
    int32_t value = 0;
    if (!ReadInteger(&value))
        return false;
    *out = static_cast<uint32_t>(value);
    return true;
}

bool CAnalysStoryText::ReadI32(int32_t* out)
{
    return ReadInteger(out);
}

bool CAnalysStoryText::ReadF32(float* out)
{
    char token[4];
    if (PeekToken(token, sizeof(token)) == kEndOfData)
        return false;
    *out = ReadFloat();
    return true;
}

bool CAnalysStoryText::AtTextEnd() const
{
    return m_cursor >= m_size || m_buffer[m_cursor] == 0;
}

uint32_t CAnalysStoryText::TextCharLength(uint32_t at) const
{
    if (IsShiftJisLeadByte(m_buffer[at]) && at + 1 < m_size && m_buffer[at + 1] != 0)
        return 2;
    return 1;
}

// Everything between the next double quote and the following one (or the
// end of the data), separators, braces and "//" included.
bool CAnalysStoryText::ReadText(char** out, uint32_t capacity)
{
    if (SkipPast("\"") == kEndOfData)
        return false;
    const uint32_t start = m_cursor;
    while (!AtTextEnd() && !(m_buffer[m_cursor] == '"' && TextCharLength(m_cursor) == 1))
        m_cursor += TextCharLength(m_cursor);
    const uint32_t end = std::min(m_cursor, m_size);
    if (!AtTextEnd())
        ++m_cursor;
    *out = CopyStoryText(reinterpret_cast<const char*>(m_buffer) + start, end - start, capacity);
    return true;
}
