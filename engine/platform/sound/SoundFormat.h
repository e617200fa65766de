#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// A whole sound file in memory. Readers and streaming voices share it, so a
// sound keeps its own copy for as long as anything streams from it.
using SoundImage = std::shared_ptr<const std::vector<uint8_t>>;

// The sample format of a sound, as a WAVE file's "fmt " chunk gives it:
// 18 bytes of fields followed by extraSize bytes of codec data.
struct SoundFormat
{
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSecond = 0;
    uint32_t averageBytesPerSecond = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
    std::vector<uint8_t> extra;

    static constexpr uint16_t kPcm = 1;
    // The extensible header: 22 extra bytes of valid bits, channel mask and
    // the sub-format's GUID, whose first two bytes are the plain format tag.
    static constexpr uint16_t kExtensible = 0xFFFE;
    static constexpr uint16_t kExtensibleSize = 22;

    uint32_t GetRecordSize() const { return 18u + extraSize; }

    // Decoded Ogg Vorbis is always 16-bit PCM.
    static SoundFormat MakePcm16(uint16_t channels, uint32_t rate)
    {
        SoundFormat format;
        format.formatTag = kPcm;
        format.channels = channels;
        format.samplesPerSecond = rate;
        format.bitsPerSample = 16;
        format.blockAlign = static_cast<uint16_t>(channels * 2);
        format.averageBytesPerSecond = format.blockAlign * rate;
        return format;
    }

    // Plain PCM, or the extensible header with the PCM sub-format.
    bool IsPcm() const
    {
        if (formatTag == kPcm)
            return true;
        static constexpr uint8_t kPcmGuid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        if (formatTag != kExtensible || extraSize < kExtensibleSize || extra.size() < kExtensibleSize)
            return false;
        for (int i = 0; i < 16; ++i)
        {
            if (extra[6 + i] != kPcmGuid[i])
                return false;
        }
        return true;
    }

    // What the mixer can play: 8- or 16-bit PCM, mono or stereo.
    bool IsPlayablePcm() const
    {
        return IsPcm() && (channels == 1 || channels == 2) &&
               (bitsPerSample == 8 || bitsPerSample == 16) && blockAlign == channels * (bitsPerSample / 8) &&
               samplesPerSecond >= 1000 && samplesPerSecond <= 192000;
    }
};
