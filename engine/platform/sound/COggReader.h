#pragma once

#include "engine/platform/sound/SoundFormat.h"

#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>

// Decodes an Ogg Vorbis file held in memory through libvorbisfile, with
// read, seek, close and tell callbacks of our own over the image. Output is
// always 16-bit signed little-endian PCM.
class COggReader
{
public:
    COggReader() = default;
    ~COggReader();
    COggReader(const COggReader&) = delete;
    COggReader& operator=(const COggReader&) = delete;

    // Opens the stream and fills the format and the decoded size in bytes;
    // nothing is decoded yet.
    int OpenOggStream(SoundImage image, uint32_t* size, SoundFormat* format);

    // Decodes the whole file. Fails on a damaged or truncated stream (one
    // that ends before the length its pages declare).
    static int DecodeOggAll(SoundImage image, std::vector<uint8_t>* pcm, SoundFormat* format);

    // Fills up to size bytes. At the end of the stream it wraps to
    // loopSeconds, or stops when loopSeconds is below -0.1, when the loop
    // point lies past the end or when a pass yields no data; *ended then
    // becomes 1. Returns the bytes written (the rest of the buffer is left
    // alone); a decoding error ends the stream as well.
    uint32_t DecodeOggStream(uint8_t* buffer, uint32_t size, float loopSeconds, int* ended);

    int RewindOgg();
    int CloseOgg();
    int IsOpen() const { return m_file != nullptr; }

    // The callbacks, public so that their edge cases can be checked.
    struct Cursor
    {
        const uint8_t* data = nullptr;
        size_t size = 0;
        size_t position = 0;
    };
    static size_t OggRead(void* buffer, size_t size, size_t count, void* file);
    static int OggSeek(void* file, ogg_int64_t offset, int whence);
    static int OggClose(void* file);
    static long OggTell(void* file);

private:
    OggVorbis_File* m_file = nullptr;
    SoundImage m_image;
    Cursor m_cursor;
    int m_channels = 0;
    long m_rate = 0;
};
