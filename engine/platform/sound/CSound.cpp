#include "engine/platform/sound/CSound.h"

#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundVoice.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/sound/SoundMessages.h"

#include <AL/alext.h>

#include <algorithm>
#include <string>
#include <system_error>
#include <vector>

namespace
{
CSound* g_instance = nullptr;

constexpr ALCint kMixRate = 44100;

// Every voice holds two sources (one per output side), and a game keeps
// many sounds with several voices each; OpenAL's default of 256 is too few.
constexpr ALCint kMonoSources = 4096;
constexpr ALCint kStereoSources = 16;

// A slice of a loopback render: a quarter of a second, so that a stream
// (one second per refill) never runs dry between slices.
constexpr uint32_t kRenderSlice = 11025;

// How long a loopback render waits for the stream threads after a slice.
constexpr auto kStreamCatchUp = std::chrono::milliseconds(1000);

// The silent output mixes 20 ms at a time, as a sound card would ask; a
// mixer that fell further behind than this (a stopped process) starts
// afresh instead of racing to catch up.
constexpr auto kSilentSliceTime = std::chrono::milliseconds(20);
constexpr uint32_t kSilentSlice = kMixRate / 50;
constexpr auto kSilentMaxLag = std::chrono::seconds(1);

std::string g_playbackDevice;

LPALCRENDERSAMPLESSOFT RenderFunction()
{
    static auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
    return render;
}

// The output that could not be opened, as both the box and standard error
// name it.
std::string OutputName(const std::string& requested)
{
    return requested.empty() ? "the default output" : "the output \"" + requested + "\"";
}

// The standard error line when no output can be opened: which one.
std::string NoOutputLine(const std::string& requested)
{
    return "no sound output could be opened (" + OutputName(requested) + ")";
}

// What the player is told when no output can be opened: the output that is
// missing, and that the game goes on without sound.
std::string NoOutputMessage(const std::string& requested)
{
    std::string text = "サウンドの出力先が見つかりません。音なしで続けます。\n\n";
    text += "No sound output could be opened (" + OutputName(requested) + ")";
    text += ". The game goes on without sound; connect or switch on a sound device, or start the sound server, and "
            "start the game again to hear it.";
    return ToGameText(text);
}
}

void CSound::SetPlaybackDevice(const std::string& name)
{
    g_playbackDevice = name;
}

CSound::CSound() = default;

CSound::~CSound()
{
    Release();
}

void CSound::FailCreate(const char* message)
{
    if (message != nullptr)
        ShowMessageBox(nullptr, message, "Error");
    Release();
}

int CSound::Create(CSystem* system)
{
    if (system == nullptr)
        return 0;
    Release();
    m_device = alcOpenDevice(g_playbackDevice.empty() ? nullptr : g_playbackDevice.c_str());
    if (m_device == nullptr)
    {
        // OpenAL's error code for a failed open names no cause (a machine
        // without a sound card reads "Out of Memory"): the line says what
        // is missing instead, and the code is taken so that no later check
        // reads it as its own.
        alcGetError(nullptr);
        LogFailure("sound", NoOutputLine(g_playbackDevice).c_str());
        if (!CreateSilent())
        {
            FailCreate(kMessageDeviceCreate);
            return 0;
        }
        m_system = system;
        ShowMessageBox(nullptr, NoOutputMessage(g_playbackDevice).c_str(), "Error");
        return 1;
    }
    m_system = system;
    return CreateContext();
}

int CSound::CreateSilent()
{
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    if (open == nullptr || RenderFunction() == nullptr || (m_device = open(nullptr)) == nullptr)
        return 0;
    m_loopback = 1;
    if (!CreateContext())
        return 0;
    m_pacerQuit = false;
    try
    {
        m_pacer = std::thread(&CSound::RunSilentOutput, this);
    }
    catch (const std::system_error&)
    {
        Release();
        return 0;
    }
    LogFailure("sound: no output", "the game runs silent: its sounds are mixed in real time and not heard");
    return 1;
}

// The silent output's mixer: what a sound card's thread does, at its pace,
// so that voices finish and streams drain as they would be heard.
void CSound::RunSilentOutput()
{
    std::vector<int16_t> discard(static_cast<size_t>(kSilentSlice) * 2);
    auto next = std::chrono::steady_clock::now();
    for (;;)
    {
        next += kSilentSliceTime;
        {
            std::unique_lock<std::mutex> wait(m_pacerMutex);
            if (m_pacerWake.wait_until(wait, next, [&] { return m_pacerQuit; }))
                return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now - next > kSilentMaxLag)
            next = now;
        std::lock_guard<Mutex> lock(m_lock);
        RenderFunction()(m_device, discard.data(), static_cast<ALCsizei>(kSilentSlice));
    }
}

void CSound::StopSilentOutput()
{
    if (!m_pacer.joinable())
        return;
    {
        std::lock_guard<std::mutex> wait(m_pacerMutex);
        m_pacerQuit = true;
    }
    m_pacerWake.notify_all();
    m_pacer.join();
}

int CSound::CreateLoopback()
{
    Release();
    auto open = reinterpret_cast<LPALCLOOPBACKOPENDEVICESOFT>(alcGetProcAddress(nullptr, "alcLoopbackOpenDeviceSOFT"));
    if (open == nullptr || (m_device = open(nullptr)) == nullptr)
    {
        LogFailure("sound: alcLoopbackOpenDeviceSOFT",
                   open != nullptr ? alcGetString(nullptr, alcGetError(nullptr)) : "no loopback device extension");
        FailCreate(kMessageDeviceCreate);
        return 0;
    }
    m_loopback = 1;
    return CreateContext();
}

int CSound::CreateContext()
{
    // The mix runs at 44.1 kHz stereo; no HRTF, so that 2D voices keep the
    // plain left and right levels the game sets.
    std::vector<ALCint> attributes = {ALC_FREQUENCY, kMixRate, ALC_MONO_SOURCES, kMonoSources, ALC_STEREO_SOURCES,
                                      kStereoSources, ALC_HRTF_SOFT, ALC_FALSE};
    if (m_loopback)
    {
        attributes.insert(attributes.end(), {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT,
                                             ALC_SHORT_SOFT});
    }
    attributes.push_back(0);
    m_context = alcCreateContext(m_device, attributes.data());
    if (m_context == nullptr)
    {
        LogFailure("sound: alcCreateContext", alcGetString(m_device, alcGetError(m_device)));
        FailCreate(kMessageCooperativeLevel);
        return 0;
    }
    if (!alcMakeContextCurrent(m_context))
    {
        LogFailure("sound: alcMakeContextCurrent", alcGetString(m_device, alcGetError(m_device)));
        FailCreate(kMessagePrimaryCreate);
        return 0;
    }
    ALCint value = 0;
    alcGetIntegerv(m_device, ALC_FREQUENCY, 1, &value);
    m_mixRate = static_cast<uint32_t>(value);
    value = 0;
    alcGetIntegerv(m_device, ALC_MONO_SOURCES, 1, &value);
    m_maxSources = static_cast<uint32_t>(value);
    // DirectSound's distance model: inverse distance, clamped between the
    // minimum and maximum distances of each voice.
    alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
    if (const ALenum error = alGetError(); error != AL_NO_ERROR)
    {
        LogFailure("sound: alDistanceModel", alGetString(error));
        FailCreate(kMessagePrimaryFormat);
        return 0;
    }
    SetInstance(this);
    return 1;
}

void CSound::Release()
{
    // The mixer stops before the device it mixes goes.
    StopSilentOutput();
    // Buffers must be released before the device; any that forgot keep
    // their handles, which the device frees with itself.
    {
        std::lock_guard<Mutex> lock(m_lock);
        m_streams.clear();
        m_listener = nullptr;
    }
    if (m_context != nullptr)
    {
        if (alcGetCurrentContext() == m_context)
            alcMakeContextCurrent(nullptr);
        alcDestroyContext(m_context);
        m_context = nullptr;
    }
    if (m_device != nullptr)
    {
        alcCloseDevice(m_device);
        m_device = nullptr;
    }
    m_loopback = 0;
    m_mixRate = 0;
    m_maxSources = 0;
    m_system = nullptr;
    if (g_instance == this)
        g_instance = nullptr;
}

int CSound::Lock()
{
    m_lock.lock();
    return 1;
}

int CSound::Unlock()
{
    m_lock.unlock();
    return 1;
}

void CSound::SetInstance(CSound* sound)
{
    g_instance = sound;
}

CSound* CSound::GetInstance()
{
    return g_instance;
}

void CSound::AttachStream(CSoundVoice* voice)
{
    std::lock_guard<Mutex> lock(m_lock);
    if (std::find(m_streams.begin(), m_streams.end(), voice) == m_streams.end())
        m_streams.push_back(voice);
}

void CSound::DetachStream(CSoundVoice* voice)
{
    std::lock_guard<Mutex> lock(m_lock);
    m_streams.erase(std::remove(m_streams.begin(), m_streams.end(), voice), m_streams.end());
    m_streamSignal.notify_all();
}

int CSound::RenderLoopback(int16_t* out, uint32_t frames)
{
    // The silent output mixes by itself; a second mixer would run it twice
    // as fast.
    if (!m_loopback || m_device == nullptr || out == nullptr || IsSilent())
        return 0;
    const LPALCRENDERSAMPLESSOFT render = RenderFunction();
    if (render == nullptr)
        return 0;
    uint32_t done = 0;
    while (done < frames)
    {
        const uint32_t count = std::min(kRenderSlice, frames - done);
        std::unique_lock<Mutex> lock(m_lock);
        render(m_device, out + static_cast<size_t>(done) * 2, static_cast<ALCsizei>(count));
        done += count;
        bool work = false;
        for (const CSoundVoice* voice : m_streams)
            work = work || voice->NeedsService();
        if (!work)
            continue;
        const uint64_t generation = ++m_renderGeneration;
        for (CSoundVoice* voice : m_streams)
            voice->Wake();
        m_streamSignal.wait_for(lock, kStreamCatchUp, [&] {
            for (const CSoundVoice* voice : m_streams)
            {
                if (voice->GetServedGeneration() != generation)
                    return false;
            }
            return true;
        });
    }
    return 1;
}
