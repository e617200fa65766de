#pragma once

// Helpers of the sound tests: sound files made on the spot, a fresh
// loopback device per test, and measurements of what it renders.

#include "engine/platform/CSound.h"
#include "engine/platform/PlatformMessageBox.h"

#include <vorbis/vorbisenc.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
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

// Collects the error boxes a test provokes.
inline std::vector<std::string>& Boxes()
{
    static std::vector<std::string> boxes;
    return boxes;
}

inline void CatchBox(const char* text, const char* caption)
{
    Boxes().push_back(std::string(caption) + ":" + text);
}

// A fresh loopback device for every test: OpenAL ramps gains from a
// source's previous state, so devices are never shared between tests.
class SoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Boxes().clear();
        SetMessageBoxHook(CatchBox);
        ASSERT_EQ(m_sound.CreateLoopback(), 1);
    }
    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
    }

    // Renders seconds of stereo output.
    std::vector<int16_t> Render(double seconds)
    {
        const uint32_t frames = static_cast<uint32_t>(seconds * kRate);
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(m_sound.RenderLoopback(out.data(), frames), 1);
        return out;
    }

    CSound m_sound;
};

// The peak of one channel (0 left, 1 right) over frames [from, to).
inline int Peak(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to)
{
    int peak = 0;
    for (size_t f = from; f < to && 2 * f + 1 < stereo.size(); ++f)
        peak = std::max(peak, std::abs(static_cast<int>(stereo[2 * f + static_cast<size_t>(channel)])));
    return peak;
}

// The last frame where either channel is louder than the threshold, or -1.
inline long LastSounding(const std::vector<int16_t>& stereo, int threshold)
{
    for (size_t f = stereo.size() / 2; f-- > 0;)
    {
        if (std::abs(stereo[2 * f]) > threshold || std::abs(stereo[2 * f + 1]) > threshold)
            return static_cast<long>(f);
    }
    return -1;
}

// The longest run of frames where both channels stay at or below threshold.
inline size_t LongestQuietRun(const std::vector<int16_t>& stereo, size_t from, size_t to, int threshold)
{
    size_t longest = 0;
    size_t run = 0;
    for (size_t f = from; f < to && 2 * f + 1 < stereo.size(); ++f)
    {
        if (std::abs(stereo[2 * f]) <= threshold && std::abs(stereo[2 * f + 1]) <= threshold)
            longest = std::max(longest, ++run);
        else
            run = 0;
    }
    return longest;
}
}
