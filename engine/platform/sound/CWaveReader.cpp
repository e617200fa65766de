#include "engine/platform/sound/CWaveReader.h"

#include "engine/core/FileIo.h"

#include <cstring>

namespace
{
// RIFF fields are little-endian.
constexpr auto ReadU32 = &LoadU32LE;
constexpr auto ReadU16 = &LoadU16LE;

struct Chunk
{
    uint32_t offset = 0; // of the chunk's data
    uint32_t size = 0;
};

// Finds the first chunk with the given id in [begin, end). Every size is
// checked against end before it is used.
bool FindChunk(const uint8_t* file, uint32_t begin, uint32_t end, const char* id, Chunk* found)
{
    uint32_t cursor = begin;
    while (end - cursor >= 8)
    {
        const uint8_t* header = file + cursor;
        const uint32_t size = ReadU32(header + 4);
        const uint32_t dataOffset = cursor + 8;
        if (size > end - dataOffset)
            return false;
        if (std::memcmp(header, id, 4) == 0)
        {
            found->offset = dataOffset;
            found->size = size;
            return true;
        }
        const uint64_t next = static_cast<uint64_t>(dataOffset) + size + (size & 1u);
        if (next >= end)
            return false;
        cursor = static_cast<uint32_t>(next);
    }
    return false;
}
}

int CWaveReader::ReadWaveHeader(SoundImage image, SoundFormat* format)
{
    m_image.reset();
    m_dataOffset = m_dataSize = m_position = 0;
    if (!image || format == nullptr)
        return 0;
    const std::vector<uint8_t>& bytes = *image;
    if (bytes.size() < 12 || bytes.size() > UINT32_MAX)
        return 0;
    const uint8_t* file = bytes.data();
    if (std::memcmp(file, "RIFF", 4) != 0 || std::memcmp(file + 8, "WAVE", 4) != 0)
        return 0;
    // Writers that stream their output often leave the RIFF size too large;
    // the file's own end bounds the search either way.
    const uint32_t fileSize = static_cast<uint32_t>(bytes.size());
    const uint32_t riffSize = ReadU32(file + 4);
    const uint32_t riffEnd = riffSize < fileSize - 8 ? riffSize + 8 : fileSize;
    if (riffEnd < 12)
        return 0;

    Chunk fmt;
    if (!FindChunk(file, 12, riffEnd, "fmt ", &fmt) || fmt.size < 16)
        return 0;
    const uint8_t* f = file + fmt.offset;
    SoundFormat read;
    read.formatTag = ReadU16(f);
    read.channels = ReadU16(f + 2);
    read.samplesPerSecond = ReadU32(f + 4);
    read.averageBytesPerSecond = ReadU32(f + 8);
    read.blockAlign = ReadU16(f + 12);
    read.bitsPerSample = ReadU16(f + 14);
    if (read.formatTag != SoundFormat::kPcm)
    {
        if (fmt.size < 18)
            return 0;
        read.extraSize = ReadU16(f + 16);
        if (read.extraSize > fmt.size - 18)
            return 0;
        read.extra.assign(f + 18, f + 18 + read.extraSize);
    }

    Chunk data;
    if (!FindChunk(file, 12, riffEnd, "data", &data))
        return 0;
    m_image = std::move(image);
    m_dataOffset = data.offset;
    // A partial sample frame at the end is never played.
    m_dataSize = read.blockAlign > 0 ? data.size - data.size % read.blockAlign : data.size;
    m_position = 0;
    *format = std::move(read);
    return 1;
}

int CWaveReader::SeekWaveData()
{
    if (!m_image)
        return 0;
    m_position = 0;
    return 1;
}

uint32_t CWaveReader::ReadWaveData(uint8_t* buffer, uint32_t size)
{
    if (!m_image || buffer == nullptr)
        return 0;
    const uint32_t left = m_dataSize - m_position;
    const uint32_t count = size < left ? size : left;
    if (count == 0)
        return 0;
    std::memcpy(buffer, m_image->data() + m_dataOffset + m_position, count);
    m_position += count;
    return count;
}

const uint8_t* CWaveReader::GetData() const
{
    return m_image ? m_image->data() + m_dataOffset : nullptr;
}
