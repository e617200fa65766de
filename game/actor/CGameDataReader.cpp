#include "game/actor/CGameDataReader.h"

#include <cmath>
#include <cstring>

void CGameDataReader::Header(const char* magic)
{
    char read[4] = {};
    m_reader.Bytes(read, sizeof(read));
    Require(std::memcmp(read, magic, sizeof(read)) == 0);
    Require(m_reader.U16() == 1);
    Require(m_reader.U16() == 0);
}

bool CGameDataReader::HasMagic(const void* data, size_t size, const char* magic)
{
    return data != nullptr && size >= 4 && std::memcmp(data, magic, 4) == 0;
}

uint8_t CGameDataReader::U8In(uint8_t low, uint8_t high)
{
    const uint8_t value = m_reader.U8();
    Require(value >= low && value <= high);
    return value;
}

float CGameDataReader::F32()
{
    const float value = m_reader.F32();
    Require(std::isfinite(value));
    return value;
}

float CGameDataReader::Positive()
{
    const float value = F32();
    Require(value > 0.0f);
    return value;
}

float CGameDataReader::F32In(float low, float high)
{
    const float value = F32();
    Require(value >= low && value <= high);
    return value;
}

void CGameDataReader::Vec3(CkvrVector3* out)
{
    out->x = F32();
    out->y = F32();
    out->z = F32();
}

void CGameDataReader::Pad(size_t count)
{
    for (size_t i = 0; i < count; ++i)
        Require(m_reader.U8() == 0);
}

void CGameDataReader::FixedText(char* out, size_t size)
{
    if (!m_reader.Bytes(out, size))
        return;
    const void* nul = std::memchr(out, 0, size);
    if (nul == nullptr)
    {
        Fail();
        out[size - 1] = '\0';
        return;
    }
    const size_t length = static_cast<size_t>(static_cast<const char*>(nul) - out);
    for (size_t i = length; i < size; ++i)
        Require(out[i] == '\0');
}

void CGameDataReader::Text(std::string* out)
{
    out->clear();
    const uint32_t size = m_reader.U32();
    if (size == 0 || Failed())
        return;
    if (size == 1 || size > kMaxTextSize || !m_reader.CanRead(size, 1))
    {
        Fail();
        return;
    }
    char buffer[kMaxTextSize] = {};
    m_reader.Bytes(buffer, size);
    Require(buffer[size - 1] == '\0' && std::memchr(buffer, 0, size - 1) == nullptr);
    if (!Failed())
        out->assign(buffer, size - 1);
}

bool CGameDataReader::CanRead(uint64_t count, uint64_t minimumRecordSize) const
{
    return m_reader.CanRead(count, minimumRecordSize);
}

bool IsValidEquipmentName(const char* name)
{
    const size_t length = std::strlen(name);
    return length >= 2 && length <= 126 && std::strchr(name, '\\') == nullptr && std::strchr(name, '/') == nullptr;
}
