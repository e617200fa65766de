// Decoding speed of the movie player: a 640 x 480 MPEG-1 movie of 25
// frames per second (written by the benchmark itself) played into memory
// with a clock that always runs ahead, so that the worker decodes and
// converts every frame as fast as one thread can. Beside it, the same
// decode and conversion with libav alone. Counters: decoded frames per
// second and the multiple of real time ("realtime_x", goal at least 4),
// from the frames each side reports it converted, which must be all of
// them in every run.
#include "bench/support/BenchSmoke.h"
#include "engine/platform/CMovie.h"

#include "tests/engine/platform/MovieFiles.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{
constexpr int kFrames = 100;
constexpr int kRate = 25;

std::string MovieName()
{
    return "/tmp/kvr-movie-bench-" + std::to_string(getpid()) + ".mpg";
}

const std::string& MoviePath()
{
    static const std::string path = [] {
        av_log_set_level(AV_LOG_ERROR);
        std::string name = MovieName();
        TestMovieSpec spec;
        spec.width = 640;
        spec.height = 480;
        spec.frames = kFrames;
        spec.framesPerSecond = kRate;
        spec.sound = true;
        if (!WriteTestMovie(name, spec))
            std::fprintf(stderr, "cannot write %s\n", name.c_str());
        return name;
    }();
    return path;
}

std::atomic<uint64_t> g_racing{0};
uint64_t RacingClock()
{
    return g_racing += 1000000000ull;
}

// Rates from the frames actually decoded and converted; every run must
// have done all of them.
void Report(benchmark::State& state, double seconds, int64_t runs, uint64_t frames)
{
    if (runs == 0 || frames != uint64_t(kFrames) * uint64_t(runs))
    {
        const std::string why = std::to_string(frames) + " frames converted in " + std::to_string(runs) +
                                " runs of " + std::to_string(kFrames);
        state.SkipWithError(why.c_str());
        return;
    }
    const double fps = double(frames) / seconds;
    state.counters["frames_per_second"] = fps;
    state.counters["realtime_x"] = fps / kRate;
}

void EngineMovie(benchmark::State& state)
{
    CMovie::SetClock(RacingClock);
    const std::string& path = MoviePath();
    double seconds = 0.0;
    int64_t runs = 0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        CMovie movie;
        if (!movie.Open(path.c_str()) || !movie.PlayToMemory())
        {
            state.SkipWithError("movie did not open");
            break;
        }
        while (!movie.IsFinished())
        {
            benchmark::DoNotOptimize(movie.GetFrame());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        frames += movie.GetConvertedPictures();
        movie.Release();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    CMovie::SetClock(nullptr);
    Report(state, seconds, runs, frames);
}
BENCHMARK(EngineMovie)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(BenchSmoke::Iterations(5));

// libav alone: demux, decode and convert to the same blue-green-red rows.
void BareLibav(benchmark::State& state)
{
    const std::string& path = MoviePath();
    double seconds = 0.0;
    int64_t runs = 0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        AVFormatContext* format = nullptr;
        if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(format, nullptr) < 0)
        {
            state.SkipWithError("movie did not open");
            break;
        }
        const int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        const AVCodec* codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
        AVCodecContext* context = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(context, format->streams[stream]->codecpar);
        context->thread_count = 1;
        avcodec_open2(context, codec, nullptr);
        SwsContext* scaler = sws_getContext(context->width, context->height, context->pix_fmt, context->width,
                                            context->height, AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr, nullptr);
        std::vector<uint8_t> rows(static_cast<size_t>(context->width) * context->height * 3);
        AVPacket* packet = av_packet_alloc();
        AVFrame* frame = av_frame_alloc();
        auto drain = [&] {
            while (avcodec_receive_frame(context, frame) >= 0)
            {
                uint8_t* planes[4] = {rows.data(), nullptr, nullptr, nullptr};
                int strides[4] = {context->width * 3, 0, 0, 0};
                sws_scale(scaler, frame->data, frame->linesize, 0, context->height, planes, strides);
                av_frame_unref(frame);
                ++frames;
            }
        };
        while (av_read_frame(format, packet) >= 0)
        {
            if (packet->stream_index == stream)
                avcodec_send_packet(context, packet);
            av_packet_unref(packet);
            drain();
        }
        avcodec_send_packet(context, nullptr);
        drain();
        benchmark::DoNotOptimize(rows.data());
        av_frame_free(&frame);
        av_packet_free(&packet);
        sws_freeContext(scaler);
        avcodec_free_context(&context);
        avformat_close_input(&format);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ++runs;
    }
    Report(state, seconds, runs, frames);
}
BENCHMARK(BareLibav)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(BenchSmoke::Iterations(5));

// MoviePath's string is made after this object and so destroyed before it:
// the name is made again.
struct RemoveMovie
{
    ~RemoveMovie() { std::remove(MovieName().c_str()); }
} g_removeMovie;
}
