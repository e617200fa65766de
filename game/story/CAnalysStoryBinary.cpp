#include "game/story/CAnalysStoryBinary.h"

#include "engine/core/FileIo.h"
#include "game/story/CStoryRecordReader.h"
#include "game/story/StoryText.h"

#include <bit>
#include <cstring>

int CAnalysStoryBinary::AnalysStory(CStory* story)
{
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadStory(story);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryBinary::AnalysMission(CMission* mission)
{
    CStoryRecordReader reader(*this);
    const bool read = reader.ReadMission(mission);
    m_error = reader.GetError();
    return read ? 1 : 0;
}

int CAnalysStoryBinary::NextOpcode()
{
    if (m_cursor >= m_size)
        return kEnd;
    m_opcodeAt = m_cursor;
    return m_buffer[m_cursor++];
}

std::string CAnalysStoryBinary::Where() const
{
    return "byte " + std::to_string(m_opcodeAt);
}

bool CAnalysStoryBinary::ReadU8(uint8_t* out)
{
    uint8_t byte = 0;
    if (!ReadData(&byte, 1))
        return false;
    *out = byte;
    return true;
}

bool CAnalysStoryBinary::ReadU32(uint32_t* out)
{
    uint8_t bytes[4];
    if (!ReadData(bytes, sizeof(bytes)))
        return false;
    *out = LoadU32LE(bytes);
    return true;
}

bool CAnalysStoryBinary::ReadI32(int32_t* out)
{
    uint32_t value = 0;
    if (!ReadU32(&value))
        return false;
    *out = static_cast<int32_t>(value);
    return true;
}

bool CAnalysStoryBinary::ReadF32(float* out)
{
    uint32_t bits = 0;
    if (!ReadU32(&bits))
        return false;
    *out = std::bit_cast<float>(bits);
    return true;
}

// The bytes up to the next 0 byte, or to the end of the data.
bool CAnalysStoryBinary::ReadText(char** out, uint32_t capacity)
{
    if (m_cursor >= m_size)
        return false;
    const uint8_t* start = m_buffer + m_cursor;
    const void* end = std::memchr(start, 0, m_size - m_cursor);
    const uint32_t length = end != nullptr ? static_cast<uint32_t>(static_cast<const uint8_t*>(end) - start)
                                           : m_size - m_cursor;
    m_cursor += end != nullptr ? length + 1 : length;
    *out = CopyStoryText(reinterpret_cast<const char*>(start), length, capacity);
    return true;
}
