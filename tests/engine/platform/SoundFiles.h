#pragma once

// Sound files made on the spot for the sound tests and benchmark: WAVE
// files written chunk by chunk and Ogg Vorbis encoded with libvorbisenc.

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace soundtest
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 44100;

inline void PutU32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline void PutU16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void PutChunk(std::vector<uint8_t>& out, const char* id, const std::vector<uint8_t>& body)
{
    out.insert(out.end(), id, id + 4);
    PutU32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

inline std::vector<uint8_t> FmtPcm(uint16_t channels, uint32_t rate, uint16_t bits)
{
    std::vector<uint8_t> fmt;
    PutU16(fmt, 1);
    PutU16(fmt, channels);
    PutU32(fmt, rate);
    PutU32(fmt, rate * channels * bits / 8);
    PutU16(fmt, static_cast<uint16_t>(channels * bits / 8));
    PutU16(fmt, bits);
    return fmt;
}

// 16-bit samples of a sine, the same on every channel.
inline std::vector<int16_t> Sine(double seconds, double frequency, double amplitude, uint16_t channels,
                                 uint32_t rate = kRate)
{
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<int16_t> samples(frames * channels);
    for (size_t f = 0; f < frames; ++f)
    {
        const double value = amplitude * 32767.0 * std::sin(2.0 * kPi * frequency * static_cast<double>(f) / rate);
        for (uint16_t c = 0; c < channels; ++c)
            samples[f * channels + c] = static_cast<int16_t>(std::lround(value));
    }
    return samples;
}

inline std::vector<uint8_t> MakeWave(const std::vector<int16_t>& samples, uint16_t channels, uint32_t rate = kRate,
                                     bool withList = false)
{
    std::vector<uint8_t> body = {'W', 'A', 'V', 'E'};
    PutChunk(body, "fmt ", FmtPcm(channels, rate, 16));
    if (withList)
        PutChunk(body, "LIST", {'I', 'N', 'F', 'O', 'x'}); // odd size, padded
    std::vector<uint8_t> data(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
    {
        data[2 * i] = static_cast<uint8_t>(samples[i]);
        data[2 * i + 1] = static_cast<uint8_t>(static_cast<uint16_t>(samples[i]) >> 8);
    }
    PutChunk(body, "data", data);
    std::vector<uint8_t> file;
    PutChunk(file, "RIFF", body);
    return file;
}

// Encodes 16-bit samples as Ogg Vorbis with libvorbisenc.
inline std::vector<uint8_t> MakeOgg(const std::vector<int16_t>& samples, int channels, long rate = kRate)
{
    std::vector<uint8_t> out;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, channels, rate, 0.5f) != 0)
        return out;
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    ogg_packet header, headerComment, headerCode;
    vorbis_analysis_headerout(&dsp, &comment, &header, &headerComment, &headerCode);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &headerComment);
    ogg_stream_packetin(&stream, &headerCode);
    ogg_page page;
    auto writePage = [&](const ogg_page& p) {
        out.insert(out.end(), p.header, p.header + p.header_len);
        out.insert(out.end(), p.body, p.body + p.body_len);
    };
    while (ogg_stream_flush(&stream, &page) != 0)
        writePage(page);
    const size_t frames = samples.size() / static_cast<size_t>(channels);
    size_t done = 0;
    bool eos = false;
    while (!eos)
    {
        const size_t count = std::min<size_t>(4096, frames - done);
        if (count == 0)
        {
            vorbis_analysis_wrote(&dsp, 0);
        }
        else
        {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (size_t f = 0; f < count; ++f)
                for (int c = 0; c < channels; ++c)
                    buffer[c][f] = samples[(done + f) * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            done += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1)
        {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet))
            {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0)
                {
                    writePage(page);
                    if (ogg_page_eos(&page))
                        eos = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

}
