#include "engine/platform/sound/COggReader.h"

#include "engine/core/AlignedMemory.h"

#include <cstring>
#include <new>

namespace
{
// ov_read hands out at most this much per call.
constexpr int kReadChunk = 4096;

// A decoded static sound larger than this is refused rather than allocated.
constexpr uint64_t kMaxDecodedBytes = 512ull << 20;

const ov_callbacks kCallbacks = {COggReader::OggRead, COggReader::OggSeek, COggReader::OggClose, COggReader::OggTell};

bool ChannelsMatch(OggVorbis_File* file, int link, int channels)
{
    vorbis_info* info = ov_info(file, link);
    return info != nullptr && info->channels == channels;
}
}

COggReader::~COggReader()
{
    CloseOgg();
}

size_t COggReader::OggRead(void* buffer, size_t size, size_t count, void* file)
{
    Cursor* cursor = static_cast<Cursor*>(file);
    if (cursor == nullptr || buffer == nullptr || size == 0)
        return 0;
    const size_t left = cursor->size - cursor->position;
    size_t items = left / size;
    if (items > count)
        items = count;
    if (items == 0)
        return 0;
    std::memcpy(buffer, cursor->data + cursor->position, items * size);
    cursor->position += items * size;
    return items;
}

int COggReader::OggSeek(void* file, ogg_int64_t offset, int whence)
{
    Cursor* cursor = static_cast<Cursor*>(file);
    if (cursor == nullptr)
        return -1;
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<ogg_int64_t>(cursor->position);
    else if (whence == SEEK_END)
        base = static_cast<ogg_int64_t>(cursor->size);
    else if (whence != SEEK_SET)
        return -1;
    if ((offset > 0 && base > INT64_MAX - offset))
        return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || static_cast<uint64_t>(target) > cursor->size)
        return -1;
    cursor->position = static_cast<size_t>(target);
    return 0;
}

int COggReader::OggClose(void* file)
{
    // The image belongs to the reader, which frees it with itself.
    return file == nullptr ? -1 : 0;
}

long COggReader::OggTell(void* file)
{
    const Cursor* cursor = static_cast<const Cursor*>(file);
    if (cursor == nullptr)
        return -1;
    return static_cast<long>(cursor->position);
}

int COggReader::OpenOggStream(SoundImage image, uint32_t* size, SoundFormat* format)
{
    CloseOgg();
    if (!image || size == nullptr || format == nullptr)
        return 0;
    // Files that end without an end-of-stream page (or cut short after
    // their headers) are the decoder's to judge: it plays what is there.
    m_image = std::move(image);
    m_cursor.data = m_image->data();
    m_cursor.size = m_image->size();
    m_cursor.position = 0;

    void* block = AlignedAlloc(sizeof(OggVorbis_File), 16);
    if (block == nullptr)
        return 0;
    m_file = new (block) OggVorbis_File;
    if (ov_open_callbacks(&m_cursor, m_file, nullptr, 0, kCallbacks) != 0)
    {
        // A failed open leaves nothing for ov_clear to free.
        AlignedFree(m_file);
        m_file = nullptr;
        m_image.reset();
        return 0;
    }
    vorbis_info* info = ov_info(m_file, -1);
    const ogg_int64_t frames = ov_pcm_total(m_file, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate < 1000 || info->rate > 192000 ||
        frames <= 0)
    {
        CloseOgg();
        return 0;
    }
    const uint64_t bytes = static_cast<uint64_t>(frames) * static_cast<uint64_t>(info->channels) * 2u;
    if (bytes > UINT32_MAX)
    {
        CloseOgg();
        return 0;
    }
    m_channels = info->channels;
    m_rate = info->rate;
    *format = SoundFormat::MakePcm16(static_cast<uint16_t>(m_channels), static_cast<uint32_t>(m_rate));
    *size = static_cast<uint32_t>(bytes);
    return 1;
}

int COggReader::DecodeOggAll(SoundImage image, std::vector<uint8_t>* pcm, SoundFormat* format)
{
    if (!image || pcm == nullptr || format == nullptr)
        return 0;
    COggReader reader;
    uint32_t size = 0;
    SoundFormat opened;
    if (!reader.OpenOggStream(std::move(image), &size, &opened))
        return 0;
    if (size > kMaxDecodedBytes)
        return 0;
    std::vector<uint8_t> decoded(size);
    uint32_t position = 0;
    while (position < size)
    {
        const uint32_t space = size - position;
        const int want = space < static_cast<uint32_t>(kReadChunk) ? static_cast<int>(space) : kReadChunk;
        int link = 0;
        const long got = ov_read(reader.m_file, reinterpret_cast<char*>(decoded.data() + position), want, 0, 2, 1, &link);
        if (got < 0)
            return 0;
        if (got == 0)
            break;
        if (!ChannelsMatch(reader.m_file, link, reader.m_channels))
            return 0;
        position += static_cast<uint32_t>(got);
    }
    // A file cut short plays what its whole pages hold; one that decodes to
    // nothing has nothing to play.
    if (position == 0)
        return 0;
    decoded.resize(position);
    *pcm = std::move(decoded);
    *format = std::move(opened);
    return 1;
}

uint32_t COggReader::DecodeOggStream(uint8_t* buffer, uint32_t size, float loopSeconds, int* ended)
{
    *ended = 0;
    if (m_file == nullptr || buffer == nullptr)
    {
        *ended = 1;
        return 0;
    }
    uint32_t filled = 0;
    bool wrapped = false;
    uint32_t sinceWrap = 0;
    while (filled < size)
    {
        const uint32_t space = size - filled;
        const int want = space < static_cast<uint32_t>(kReadChunk) ? static_cast<int>(space) : kReadChunk;
        int link = 0;
        const long got = ov_read(m_file, reinterpret_cast<char*>(buffer + filled), want, 0, 2, 1, &link);
        if (got < 0 || (got > 0 && !ChannelsMatch(m_file, link, m_channels)))
        {
            *ended = 1;
            return filled;
        }
        if (got > 0)
        {
            filled += static_cast<uint32_t>(got);
            sinceWrap += static_cast<uint32_t>(got);
            continue;
        }
        // End of the stream: wrap to the loop point, unless this stream does
        // not loop or the last pass from the loop point gave nothing.
        if (loopSeconds < -0.1f || (wrapped && sinceWrap == 0))
        {
            *ended = 1;
            return filled;
        }
        if (ov_time_seek(m_file, static_cast<double>(loopSeconds)) != 0)
        {
            *ended = 1;
            return filled;
        }
        wrapped = true;
        sinceWrap = 0;
    }
    return filled;
}

int COggReader::RewindOgg()
{
    if (m_file == nullptr)
        return 0;
    return ov_time_seek(m_file, 0.0) == 0 ? 1 : 0;
}

int COggReader::CloseOgg()
{
    if (m_file == nullptr)
        return 0;
    ov_clear(m_file);
    m_file->~OggVorbis_File();
    AlignedFree(m_file);
    m_file = nullptr;
    m_image.reset();
    m_channels = 0;
    m_rate = 0;
    return 1;
}
