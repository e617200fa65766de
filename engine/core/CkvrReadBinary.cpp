#include "engine/core/CkvrReadBinary.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CRect.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/core/TextEncoding.h"

#include <bit>
#include <cstring>

CkvrReadBinary::~CkvrReadBinary()
{
    Close();
}

int CkvrReadBinary::OpenMemory(const void* data, uint32_t size)
{
    if (data == nullptr || size == 0)
        return 0;
    if (!AllocateBuffer(size))
        return 0;
    std::memcpy(m_buffer, data, size);
    m_cursor = 0;
    return 1;
}

int CkvrReadBinary::Open(const char* path)
{
    return LoadWholeFile(path, 0);
}

int CkvrReadBinary::ReadData(void* out, uint32_t size)
{
    if (size > m_size - m_cursor)
    {
        if (out != nullptr)
            std::memset(out, 0, size);
        m_cursor = m_size;
        return 0;
    }
    if (out != nullptr && size > 0)
        std::memcpy(out, m_buffer + m_cursor, size);
    m_cursor += size;
    return 1;
}

char* CkvrReadBinary::ReadString()
{
    const uint32_t start = m_cursor;
    uint32_t end = start;
    while (end < m_size && m_buffer[end] != 0)
        ++end;
    m_cursor = end < m_size ? end + 1 : end;

    // Keep whole characters only: a lead byte whose trail was cut off would
    // swallow the terminator in the next Shift-JIS scan.
    uint32_t length = 0;
    while (start + length < end)
    {
        const uint32_t step = IsShiftJisLeadByte(m_buffer[start + length]) && start + length + 1 < end ? 2 : 1;
        if (length + step > kMaxString - 1)
            break;
        length += step;
    }
    if (length == 0)
        return nullptr;
    char* text = static_cast<char*>(AlignedAlloc(length + 1, 16));
    if (text == nullptr)
        return nullptr;
    std::memcpy(text, m_buffer + start, length);
    text[length] = '\0';
    return text;
}

int8_t CkvrReadBinary::ReadChar()
{
    uint8_t byte = 0;
    ReadData(&byte, 1);
    return static_cast<int8_t>(byte);
}

int16_t CkvrReadBinary::ReadShort()
{
    uint8_t bytes[2] = {};
    ReadData(bytes, 2);
    return static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
}

int32_t CkvrReadBinary::ReadLong()
{
    uint8_t bytes[4] = {};
    ReadData(bytes, 4);
    const uint32_t value = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return static_cast<int32_t>(value);
}

int32_t CkvrReadBinary::ReadInt()
{
    return ReadLong();
}

float CkvrReadBinary::ReadFloat()
{
    return std::bit_cast<float>(ReadLong());
}
