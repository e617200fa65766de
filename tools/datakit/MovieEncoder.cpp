// MPEG-1 movies for the stand-in set, through libavcodec.
#include "tools/datakit/MovieEncoder.h"

extern "C"
{
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace
{
// Frees what the encoding made, whatever step it stopped at.
struct Encoding
{
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Encoding()
    {
        if (format != nullptr && format->pb != nullptr)
            avio_closep(&format->pb);
        avformat_free_context(format);
        avcodec_free_context(&codec);
        av_frame_free(&frame);
        av_packet_free(&packet);
    }
};

// Every packet the encoder has ready, into the stream.
bool Drain(Encoding& e, AVStream* stream)
{
    for (;;)
    {
        const int result = avcodec_receive_packet(e.codec, e.packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        av_packet_rescale_ts(e.packet, e.codec->time_base, stream->time_base);
        e.packet->stream_index = stream->index;
        if (av_interleaved_write_frame(e.format, e.packet) < 0)
            return false;
    }
}

// ARGB to the encoder's Y, Cb, Cr planes (BT.601, studio range).
void ToYuv(const std::vector<uint32_t>& argb, int width, int height, AVFrame* frame)
{
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const uint32_t p = argb[static_cast<size_t>(y) * width + x];
            const int r = (p >> 16) & 0xFF;
            const int g = (p >> 8) & 0xFF;
            const int b = p & 0xFF;
            frame->data[0][y * frame->linesize[0] + x] = static_cast<uint8_t>(16 + (66 * r + 129 * g + 25 * b) / 256);
            if ((x % 2) == 0 && (y % 2) == 0)
            {
                frame->data[1][(y / 2) * frame->linesize[1] + x / 2] =
                    static_cast<uint8_t>(128 + (-38 * r - 74 * g + 112 * b) / 256);
                frame->data[2][(y / 2) * frame->linesize[2] + x / 2] =
                    static_cast<uint8_t>(128 + (112 * r - 94 * g - 18 * b) / 256);
            }
        }
    }
}

bool Encode(const std::string& path, int width, int height, int framesPerSecond, int frames,
            const MovieEncoder::PaintFrame& paint)
{
    Encoding e;
    if (avformat_alloc_output_context2(&e.format, nullptr, "mpeg", path.c_str()) < 0)
        return false;
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
    AVStream* stream = avformat_new_stream(e.format, nullptr);
    e.codec = avcodec_alloc_context3(encoder);
    if (encoder == nullptr || stream == nullptr || e.codec == nullptr)
        return false;
    e.codec->width = width;
    e.codec->height = height;
    e.codec->time_base = AVRational{1, framesPerSecond};
    e.codec->framerate = AVRational{framesPerSecond, 1};
    e.codec->pix_fmt = AV_PIX_FMT_YUV420P;
    e.codec->gop_size = framesPerSecond;
    e.codec->bit_rate = 1500000;
    if (avcodec_open2(e.codec, encoder, nullptr) < 0 || avcodec_parameters_from_context(stream->codecpar, e.codec) < 0)
        return false;
    stream->time_base = e.codec->time_base;
    if (avio_open(&e.format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(e.format, nullptr) < 0)
        return false;
    e.frame = av_frame_alloc();
    e.packet = av_packet_alloc();
    if (e.frame == nullptr || e.packet == nullptr)
        return false;
    e.frame->format = AV_PIX_FMT_YUV420P;
    e.frame->width = width;
    e.frame->height = height;
    if (av_frame_get_buffer(e.frame, 0) < 0)
        return false;
    for (int i = 0; i < frames; ++i)
    {
        if (av_frame_make_writable(e.frame) < 0)
            return false;
        ToYuv(paint(i), width, height, e.frame);
        e.frame->pts = i;
        if (avcodec_send_frame(e.codec, e.frame) < 0 || !Drain(e, stream))
            return false;
    }
    return avcodec_send_frame(e.codec, nullptr) >= 0 && Drain(e, stream) && av_write_trailer(e.format) >= 0;
}
}

std::vector<uint8_t> MovieEncoder::EncodeMpeg1(int width, int height, int framesPerSecond, int frames,
                                               const PaintFrame& paint)
{
    char path[] = "/tmp/datakit-movie-XXXXXX";
    const int descriptor = mkstemp(path);
    if (descriptor < 0)
        return {};
    close(descriptor);
    std::vector<uint8_t> bytes;
    // The muxer's advice on buffer sizes for disc formats is no concern of
    // a stand-in movie: only errors are told.
    const int level = av_log_get_level();
    av_log_set_level(AV_LOG_ERROR);
    const bool encoded = Encode(path, width, height, framesPerSecond, frames, paint);
    av_log_set_level(level);
    if (encoded)
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::remove(path);
    return bytes;
}
