#pragma once

#include "engine/platform/sound/SoundFormat.h"

#include <cstdint>

// Reads a RIFF WAVE file held in memory: finds the "fmt " and "data"
// chunks (skipping LIST and any other chunk, with the pad byte after odd
// sizes) and hands out the sample data from a read cursor.
class CWaveReader
{
public:
    // Parses the header; 0 when the file is not a WAVE file, a chunk size
    // runs past the end, the format chunk is shorter than 16 bytes or its
    // extra bytes are cut off, or there is no data chunk.
    int ReadWaveHeader(SoundImage image, SoundFormat* format);

    // Puts the read cursor back at the start of the sample data.
    int SeekWaveData();

    // Copies up to size bytes from the cursor; 0 at the end of the data.
    uint32_t ReadWaveData(uint8_t* buffer, uint32_t size);

    // The whole sample data (null before a successful header read).
    const uint8_t* GetData() const;
    uint32_t GetDataSize() const { return m_dataSize; }

private:
    SoundImage m_image;
    uint32_t m_dataOffset = 0;
    uint32_t m_dataSize = 0;
    uint32_t m_position = 0;
};
