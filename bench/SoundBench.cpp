// Mixing cost of the sound layer: 32 voices (8 of them streaming Ogg Vorbis
// through their worker threads) rendered through the loopback device for
// 10 s of audio, beside plain OpenAL playing 32 sources of raw PCM with no
// engine code. The counter "cpu_percent_of_core" is the process CPU time
// (every thread) per second of audio, as a percentage of one core. Before
// and after timing, every voice must be playing and the samples must not be
// silent (the engine's music loops, so its streams decode throughout).
#include "bench/support/BenchSmoke.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/platform/PlatformMessageBox.h"

#include "tests/engine/platform/SoundFiles.h"

#include <AL/alext.h>
#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

using namespace soundtest;

namespace
{
constexpr double kAudioSeconds = 10.0;
constexpr uint32_t kVoices = 32;
constexpr uint32_t kStreams = 8;

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void ReportCpu(benchmark::State& state, double cpuSeconds, int64_t renders)
{
    state.counters["cpu_percent_of_core"] =
        100.0 * cpuSeconds / (kAudioSeconds * static_cast<double>(renders > 0 ? renders : 1));
}

// The work a render must have done: every voice still playing and sound in
// the samples.
bool Mixed(benchmark::State& state, uint32_t playing, const std::vector<int16_t>& samples)
{
    bool heard = false;
    for (int16_t sample : samples)
        heard = heard || sample > 100 || sample < -100;
    if (playing == kVoices && heard)
        return true;
    const std::string why = std::to_string(playing) + " of " + std::to_string(kVoices) + " voices playing" +
                            (heard ? "" : ", silence");
    state.SkipWithError(why.c_str());
    return false;
}

void EngineMix(benchmark::State& state)
{
    setenv("KVR_MESSAGE_BOX", "stderr", 1);
    CSound sound;
    if (!sound.CreateLoopback())
    {
        state.SkipWithError("no loopback device");
        return;
    }
    // 24 static voices over four sounds, 8 streaming voices of one music.
    std::vector<std::unique_ptr<CSoundBuffer>> effects;
    for (int s = 0; s < 4; ++s)
    {
        const uint16_t channels = static_cast<uint16_t>(1 + s % 2);
        const std::vector<uint8_t> wave = MakeWave(Sine(1.0 + s * 0.25, 220.0 * (s + 1), 0.1, channels), channels);
        auto buffer = std::make_unique<CSoundBuffer>();
        buffer->LoadFromMemory(wave.data(), "Effect.wav", static_cast<uint32_t>(wave.size()), 6,
                               CSoundBuffer::FLAG_STATIC);
        for (int v = 0; v < 6; ++v)
            buffer->PlayWithVolume(-600, CSoundBuffer::PLAY_LOOPING, -1.0f, 1);
        effects.push_back(std::move(buffer));
    }
    const std::vector<uint8_t> ogg = MakeOgg(Sine(3.0, 440.0, 0.1, 2), 2);
    CSoundBuffer music;
    music.LoadFromMemory(ogg.data(), "Music.ogg", static_cast<uint32_t>(ogg.size()), kStreams,
                         CSoundBuffer::FLAG_POSITION_NOTIFY);
    // Looping, so that all eight streams decode through every render.
    for (uint32_t v = 0; v < kStreams; ++v)
        music.PlayWithVolume(-600, CSoundBuffer::PLAY_LOOPING, 0.0f, 1);
    auto playing = [&] {
        uint32_t count = 0;
        for (uint32_t v = 0; v < music.GetVoiceCount(); ++v)
            count += music.IsVoicePlaying(v) != 0 ? 1 : 0;
        for (const auto& buffer : effects)
            for (uint32_t v = 0; v < buffer->GetVoiceCount(); ++v)
                count += buffer->IsVoicePlaying(v) != 0 ? 1 : 0;
        return count;
    };

    const uint32_t frames = static_cast<uint32_t>(kAudioSeconds * kRate);
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    sound.RenderLoopback(out.data(), kRate);
    if (!Mixed(state, playing(), out))
        return;
    double cpu = 0.0;
    for (auto _ : state)
    {
        const double start = ProcessSeconds();
        sound.RenderLoopback(out.data(), frames);
        cpu += ProcessSeconds() - start;
        benchmark::DoNotOptimize(out.data());
    }
    if (!Mixed(state, playing(), out))
        return;
    ReportCpu(state, cpu, state.iterations());
    music.Release();
    for (auto& buffer : effects)
        buffer->Release();
}

void PlainOpenAl(benchmark::State& state)
{
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    ALCdevice* device = open != nullptr ? open(nullptr) : nullptr;
    if (device == nullptr || render == nullptr)
    {
        state.SkipWithError("no loopback device");
        return;
    }
    const ALCint attributes[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_SHORT_SOFT,
                                 ALC_FREQUENCY, static_cast<ALCint>(kRate), ALC_HRTF_SOFT, ALC_FALSE, 0};
    ALCcontext* context = alcCreateContext(device, attributes);
    alcMakeContextCurrent(context);
    ALuint buffers[4];
    ALuint sources[kVoices];
    alGenBuffers(4, buffers);
    alGenSources(kVoices, sources);
    for (int s = 0; s < 4; ++s)
    {
        const std::vector<int16_t> pcm = Sine(1.0 + s * 0.25, 220.0 * (s + 1), 0.1, 2);
        alBufferData(buffers[s], AL_FORMAT_STEREO16, pcm.data(), static_cast<ALsizei>(pcm.size() * 2), kRate);
    }
    for (uint32_t v = 0; v < kVoices; ++v)
    {
        alSourcei(sources[v], AL_BUFFER, static_cast<ALint>(buffers[v % 4]));
        alSourcei(sources[v], AL_LOOPING, AL_TRUE);
        alSourcef(sources[v], AL_GAIN, 0.5f);
    }
    alSourcePlayv(kVoices, sources);
    auto playing = [&] {
        uint32_t count = 0;
        for (ALuint source : sources)
        {
            ALint sourceState = 0;
            alGetSourcei(source, AL_SOURCE_STATE, &sourceState);
            count += sourceState == AL_PLAYING ? 1 : 0;
        }
        return count;
    };

    const uint32_t frames = static_cast<uint32_t>(kAudioSeconds * kRate);
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    render(device, out.data(), static_cast<ALCsizei>(kRate));
    double cpu = 0.0;
    if (Mixed(state, playing(), out))
    {
        for (auto _ : state)
        {
            const double start = ProcessSeconds();
            render(device, out.data(), static_cast<ALCsizei>(frames));
            cpu += ProcessSeconds() - start;
            benchmark::DoNotOptimize(out.data());
        }
        if (Mixed(state, playing(), out))
            ReportCpu(state, cpu, state.iterations());
    }
    alDeleteSources(kVoices, sources);
    alDeleteBuffers(4, buffers);
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(context);
    alcCloseDevice(device);
}
}

BENCHMARK(EngineMix)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(BenchSmoke::Iterations(5));
BENCHMARK(PlainOpenAl)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(BenchSmoke::Iterations(5));
