#include "engine/platform/sound/CSound.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundVoice.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/sound/SoundMessages.h"

#include <AL/alext.h>

#include <algorithm>

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
    m_device = alcOpenDevice(nullptr);
    if (m_device == nullptr)
    {
        LogFailure("sound: alcOpenDevice", alcGetString(nullptr, alcGetError(nullptr)));
        FailCreate(kMessageDeviceCreate);
        return 0;
    }
    m_system = system;
    return CreateContext();
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
    if (!m_loopback || m_device == nullptr || out == nullptr)
        return 0;
    static auto render = reinterpret_cast<LPALCRENDERSAMPLESSOFT>(alcGetProcAddress(nullptr, "alcRenderSamplesSOFT"));
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
