#include "tools/datakit/SoundEncoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace
{
void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutU16(std::vector<uint8_t>& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body)
{
    out.insert(out.end(), id, id + 4);
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

// Encoder state of one Ogg Vorbis stream, torn down in reverse order.
class VorbisStream
{
public:
    VorbisStream(uint16_t channels, uint32_t rate)
    {
        vorbis_info_init(&m_info);
        m_ready = vorbis_encode_init_vbr(&m_info, channels, static_cast<long>(rate), 0.3f) == 0;
        vorbis_comment_init(&m_comment);
        if (!m_ready)
            return;
        vorbis_analysis_init(&m_dsp, &m_info);
        vorbis_block_init(&m_dsp, &m_block);
        // A fixed serial number keeps the data set the same on every build.
        ogg_stream_init(&m_stream, 0x51524F);
    }
    ~VorbisStream()
    {
        if (m_ready)
        {
            ogg_stream_clear(&m_stream);
            vorbis_block_clear(&m_block);
            vorbis_dsp_clear(&m_dsp);
        }
        vorbis_comment_clear(&m_comment);
        vorbis_info_clear(&m_info);
    }
    VorbisStream(const VorbisStream&) = delete;
    VorbisStream& operator=(const VorbisStream&) = delete;

    bool Encode(const std::vector<int16_t>& samples, uint16_t channels, std::vector<uint8_t>* out)
    {
        if (!m_ready)
            return false;
        ogg_packet header, comment, code;
        vorbis_analysis_headerout(&m_dsp, &m_comment, &header, &comment, &code);
        ogg_stream_packetin(&m_stream, &header);
        ogg_stream_packetin(&m_stream, &comment);
        ogg_stream_packetin(&m_stream, &code);
        ogg_page page;
        while (ogg_stream_flush(&m_stream, &page) != 0)
            Append(page, out);

        const size_t frames = samples.size() / channels;
        size_t done = 0;
        bool ended = false;
        while (!ended)
        {
            const size_t count = std::min<size_t>(4096, frames - done);
            if (count > 0)
            {
                float** buffer = vorbis_analysis_buffer(&m_dsp, static_cast<int>(count));
                for (size_t f = 0; f < count; ++f)
                    for (uint16_t c = 0; c < channels; ++c)
                        buffer[c][f] = samples[(done + f) * channels + c] / 32768.0f;
                done += count;
            }
            vorbis_analysis_wrote(&m_dsp, static_cast<int>(count));
            while (vorbis_analysis_blockout(&m_dsp, &m_block) == 1)
            {
                vorbis_analysis(&m_block, nullptr);
                vorbis_bitrate_addblock(&m_block);
                ogg_packet packet;
                while (vorbis_bitrate_flushpacket(&m_dsp, &packet))
                {
                    ogg_stream_packetin(&m_stream, &packet);
                    while (ogg_stream_pageout(&m_stream, &page) != 0)
                    {
                        Append(page, out);
                        ended = ended || ogg_page_eos(&page) != 0;
                    }
                }
            }
        }
        return true;
    }

private:
    static void Append(const ogg_page& page, std::vector<uint8_t>* out)
    {
        out->insert(out->end(), page.header, page.header + page.header_len);
        out->insert(out->end(), page.body, page.body + page.body_len);
    }

    vorbis_info m_info;
    vorbis_comment m_comment;
    vorbis_dsp_state m_dsp;
    vorbis_block m_block;
    ogg_stream_state m_stream;
    bool m_ready = false;
};
}

std::vector<uint8_t> SoundEncoder::EncodeWave(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate)
{
    std::vector<uint8_t> format;
    PutU16(format, 1); // PCM
    PutU16(format, channels);
    PutU32(format, rate);
    PutU32(format, rate * channels * 2);
    PutU16(format, static_cast<uint16_t>(channels * 2));
    PutU16(format, 16);
    std::vector<uint8_t> data;
    data.reserve(samples.size() * 2);
    for (int16_t sample : samples)
        PutU16(data, static_cast<uint16_t>(sample));
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", format);
    PutChunk(body, "data", data);
    std::vector<uint8_t> file;
    PutChunk(file, "RIFF", body);
    return file;
}

std::vector<uint8_t> SoundEncoder::EncodeOgg(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate)
{
    std::vector<uint8_t> out;
    if (channels == 0)
        return out;
    VorbisStream stream(channels, rate);
    if (!stream.Encode(samples, channels, &out))
        out.clear();
    return out;
}
