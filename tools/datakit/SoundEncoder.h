#pragma once

#include <cstdint>
#include <vector>

// Sound files for the stand-in data set from interleaved 16-bit samples:
// WAVE written chunk by chunk, Ogg Vorbis through libvorbisenc.
class SoundEncoder
{
public:
    static std::vector<uint8_t> EncodeWave(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate);
    // Empty when the encoder refuses the format.
    static std::vector<uint8_t> EncodeOgg(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate);
};
