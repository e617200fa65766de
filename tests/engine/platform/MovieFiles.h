#pragma once

// Writes short MPEG-1 program streams for the movie tests and benchmark:
// mpeg1video pictures of known colours and, optionally, an mp2 tone.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct TestMovieSpec
{
    int width = 160;
    int height = 128;
    int framesPerSecond = 25;
    int frames = 25;
    bool sound = true;
    int toneHz = 440;
};

// The colours of frame i: the top half and the bottom half, as 0xRRGGBB.
// The first half of the frames is red over green, the rest blue over white.
inline uint32_t TestMovieTop(const TestMovieSpec& spec, int frame)
{
    return frame < spec.frames / 2 ? 0xFF0000u : 0x0000FFu;
}
inline uint32_t TestMovieBottom(const TestMovieSpec& spec, int frame)
{
    return frame < spec.frames / 2 ? 0x00FF00u : 0xFFFFFFu;
}

namespace test_movie_detail
{
inline bool Drain(AVCodecContext* codec, AVStream* stream, AVFormatContext* format, AVPacket* packet)
{
    for (;;)
    {
        const int result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        if (av_interleaved_write_frame(format, packet) < 0)
            return false;
    }
}
}

// 1 on success.
inline bool WriteTestMovie(const std::string& path, const TestMovieSpec& spec)
{
    using namespace test_movie_detail;
    AVFormatContext* format = nullptr;
    if (avformat_alloc_output_context2(&format, nullptr, "mpeg", path.c_str()) < 0)
        return false;
    bool ok = true;

    const AVCodec* videoCodec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    AVStream* videoStream = avformat_new_stream(format, nullptr);
    AVCodecContext* video = avcodec_alloc_context3(videoCodec);
    video->width = spec.width;
    video->height = spec.height;
    video->time_base = AVRational{1, spec.framesPerSecond};
    video->framerate = AVRational{spec.framesPerSecond, 1};
    video->pix_fmt = AV_PIX_FMT_YUV420P;
    video->gop_size = 12;
    video->max_b_frames = 2;
    video->bit_rate = 4000000;
    video->qmin = 2;
    video->qmax = 4;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    ok = ok && avcodec_open2(video, videoCodec, nullptr) >= 0;
    ok = ok && avcodec_parameters_from_context(videoStream->codecpar, video) >= 0;
    videoStream->time_base = video->time_base;

    AVCodecContext* audio = nullptr;
    AVStream* audioStream = nullptr;
    if (ok && spec.sound)
    {
        const AVCodec* audioCodec = avcodec_find_encoder(AV_CODEC_ID_MP2);
        audioStream = avformat_new_stream(format, nullptr);
        audio = avcodec_alloc_context3(audioCodec);
        audio->sample_rate = 44100;
        audio->sample_fmt = AV_SAMPLE_FMT_S16;
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        av_channel_layout_copy(&audio->ch_layout, &stereo);
        audio->bit_rate = 192000;
        audio->time_base = AVRational{1, 44100};
        ok = avcodec_open2(audio, audioCodec, nullptr) >= 0;
        ok = ok && avcodec_parameters_from_context(audioStream->codecpar, audio) >= 0;
        audioStream->time_base = audio->time_base;
    }

    ok = ok && avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
    ok = ok && avformat_write_header(format, nullptr) >= 0;

    AVPacket* packet = av_packet_alloc();
    AVFrame* picture = av_frame_alloc();
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = spec.width;
    picture->height = spec.height;
    ok = ok && av_frame_get_buffer(picture, 0) >= 0;
    SwsContext* toYuv = sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width, spec.height,
                                       AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
    std::vector<uint8_t> rgb(static_cast<size_t>(spec.width) * spec.height * 3);

    AVFrame* samples = av_frame_alloc();
    int64_t samplesDone = 0;
    const double seconds = double(spec.frames) / spec.framesPerSecond;

    for (int i = 0; ok && i < spec.frames; ++i)
    {
        for (int y = 0; y < spec.height; ++y)
        {
            const uint32_t colour = y < spec.height / 2 ? TestMovieTop(spec, i) : TestMovieBottom(spec, i);
            for (int x = 0; x < spec.width; ++x)
            {
                uint8_t* p = rgb.data() + (static_cast<size_t>(y) * spec.width + x) * 3;
                p[0] = uint8_t(colour >> 16);
                p[1] = uint8_t(colour >> 8);
                p[2] = uint8_t(colour);
            }
        }
        ok = av_frame_make_writable(picture) >= 0;
        const uint8_t* source[1] = {rgb.data()};
        const int sourceStride[1] = {spec.width * 3};
        sws_scale(toYuv, source, sourceStride, 0, spec.height, picture->data, picture->linesize);
        picture->pts = i;
        ok = ok && avcodec_send_frame(video, picture) >= 0 && Drain(video, videoStream, format, packet);

        // Sound up to the end of this picture.
        const int64_t wanted = int64_t(double(i + 1) / spec.framesPerSecond * 44100);
        while (ok && audio != nullptr && samplesDone < wanted && samplesDone < int64_t(seconds * 44100))
        {
            av_frame_unref(samples);
            samples->format = AV_SAMPLE_FMT_S16;
            samples->nb_samples = audio->frame_size;
            samples->sample_rate = 44100;
            av_channel_layout_copy(&samples->ch_layout, &audio->ch_layout);
            ok = av_frame_get_buffer(samples, 0) >= 0;
            int16_t* out = reinterpret_cast<int16_t*>(samples->data[0]);
            for (int s = 0; ok && s < audio->frame_size; ++s)
            {
                const double t = double(samplesDone + s) / 44100.0;
                const int16_t v = int16_t(12000.0 * std::sin(2.0 * M_PI * spec.toneHz * t));
                out[2 * s] = v;
                out[2 * s + 1] = v;
            }
            samples->pts = samplesDone;
            samplesDone += audio->frame_size;
            ok = ok && avcodec_send_frame(audio, samples) >= 0 && Drain(audio, audioStream, format, packet);
        }
    }
    ok = ok && avcodec_send_frame(video, nullptr) >= 0 && Drain(video, videoStream, format, packet);
    if (audio != nullptr)
        ok = ok && avcodec_send_frame(audio, nullptr) >= 0 && Drain(audio, audioStream, format, packet);
    ok = ok && av_write_trailer(format) >= 0;

    sws_freeContext(toYuv);
    av_frame_free(&samples);
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    if (format->pb != nullptr)
        avio_closep(&format->pb);
    avformat_free_context(format);
    return ok;
}
