#include "engine/platform/sound/CSoundVoice.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"

#include <AL/al.h>

#include <cmath>
#include <mutex>

namespace
{
// How long a stream thread sleeps between looks at its queue, and how long
// it pauses before it tries a busy sound lock again. A
// half holds a second, so a look every 100 ms leaves plenty of margin.
constexpr auto kThreadPoll = std::chrono::milliseconds(100);
constexpr auto kThreadLockRetry = std::chrono::milliseconds(1);

float GainOf(int32_t volume)
{
    if (volume <= -10000)
        return 0.0f;
    if (volume >= 0)
        return 1.0f;
    return std::pow(10.0f, static_cast<float>(volume) / 2000.0f);
}

ALenum MonoFormat(uint16_t bytesPerSample)
{
    return bytesPerSample == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
}

// Splits interleaved stereo frames into one block per channel.
void Deinterleave(const uint8_t* frames, uint32_t bytes, uint16_t bytesPerSample, std::vector<uint8_t>* left,
                  std::vector<uint8_t>* right)
{
    const uint32_t frameBytes = bytesPerSample * 2u;
    const uint32_t count = bytes / frameBytes;
    left->resize(static_cast<size_t>(count) * bytesPerSample);
    right->resize(static_cast<size_t>(count) * bytesPerSample);
    for (uint32_t i = 0; i < count; ++i)
    {
        const uint8_t* frame = frames + static_cast<size_t>(i) * frameBytes;
        for (uint16_t b = 0; b < bytesPerSample; ++b)
        {
            (*left)[static_cast<size_t>(i) * bytesPerSample + b] = frame[b];
            (*right)[static_cast<size_t>(i) * bytesPerSample + b] = frame[bytesPerSample + b];
        }
    }
}
}

CSoundVoice::~CSoundVoice()
{
    Destroy();
}

int CSoundVoice::Create(CSoundBuffer* owner)
{
    Destroy();
    m_owner = owner;
    m_sound = CSound::GetInstance();
    if (owner == nullptr || m_sound == nullptr || m_sound->GetContext() == nullptr)
        return 0;
    alGetError();
    ALuint sources[2] = {};
    alGenSources(2, sources);
    if (const ALenum error = alGetError(); error != AL_NO_ERROR)
    {
        LogFailure("sound: alGenSources", alGetString(error));
        return 0;
    }
    m_sources[0] = sources[0];
    m_sources[1] = sources[1];
    const int stereo = owner->GetChannels() == 2;
    if (owner->GetFlags() & CSoundBuffer::FLAG_STATIC)
    {
        alSourcei(m_sources[0], AL_BUFFER, static_cast<ALint>(owner->GetStaticBuffer(0)));
        alSourcei(m_sources[1], AL_BUFFER, static_cast<ALint>(owner->GetStaticBuffer(stereo ? 1 : 0)));
    }
    else
    {
        ALuint buffers[4] = {};
        const ALsizei count = stereo ? 4 : 2;
        alGenBuffers(count, buffers);
        if (const ALenum error = alGetError(); error != AL_NO_ERROR)
        {
            LogFailure("sound: alGenBuffers", alGetString(error));
            Destroy();
            return 0;
        }
        m_halves[0][0] = buffers[0];
        m_halves[1][0] = buffers[1];
        m_halves[0][1] = stereo ? buffers[2] : buffers[0];
        m_halves[1][1] = stereo ? buffers[3] : buffers[1];
    }
    if (owner->GetFlags() & CSoundBuffer::FLAG_CTRL3D)
        m_mode = MODE_DISABLE;
    ApplyLevels();
    return alGetError() == AL_NO_ERROR ? 1 : 0;
}

void CSoundVoice::Destroy()
{
    if (m_sound != nullptr && HasSources())
    {
        std::thread thread;
        {
            std::lock_guard<CSound::Mutex> lock(m_sound->GetMutex());
            thread = StopAndTakeThread(1);
        }
        if (thread.joinable())
            thread.join();
    }
    if (m_thread.joinable())
        m_thread.join();
    if (m_sources[0] != 0)
    {
        ALuint sources[2] = {m_sources[0], m_sources[1]};
        alDeleteSources(2, sources);
    }
    if (m_halves[0][0] != 0)
    {
        const bool stereo = m_halves[0][1] != m_halves[0][0];
        ALuint buffers[4] = {m_halves[0][0], m_halves[1][0], m_halves[0][1], m_halves[1][1]};
        alDeleteBuffers(stereo ? 4 : 2, buffers);
    }
    m_sources[0] = m_sources[1] = 0;
    m_halves[0][0] = m_halves[0][1] = m_halves[1][0] = m_halves[1][1] = 0;
    m_ogg.CloseOgg();
    m_decoderOpen = 0;
    m_streaming = 0;
    m_owner = nullptr;
    m_sound = nullptr;
}

int CSoundVoice::IsSpatial() const
{
    // OpenAL spatialises mono sounds only, as DirectSound 3D buffers are mono.
    return m_owner != nullptr && (m_owner->GetFlags() & CSoundBuffer::FLAG_CTRL3D) && m_owner->GetChannels() == 1 &&
           (m_mode == MODE_NORMAL || m_mode == MODE_HEAD_RELATIVE);
}

void CSoundVoice::ApplyLevels()
{
    if (!HasSources())
        return;
    const float gain = GainOf(m_appliedVolume);
    if (IsSpatial())
    {
        const CListener* listener = m_sound != nullptr ? m_sound->GetListener() : nullptr;
        const float rolloff = listener != nullptr ? listener->GetRolloffFactor() : 1.0f;
        alSourcei(m_sources[0], AL_SOURCE_RELATIVE, m_mode == MODE_HEAD_RELATIVE ? AL_TRUE : AL_FALSE);
        alSource3f(m_sources[0], AL_POSITION, m_position.x, m_position.y, -m_position.z);
        alSourcef(m_sources[0], AL_REFERENCE_DISTANCE, m_minDistance);
        alSourcef(m_sources[0], AL_MAX_DISTANCE, m_maxDistance);
        alSourcef(m_sources[0], AL_ROLLOFF_FACTOR, rolloff);
        alSourcef(m_sources[0], AL_GAIN, gain);
        alSourcef(m_sources[1], AL_GAIN, 0.0f);
        return;
    }
    // DirectSound's pan lowers only the side away from it, by the pan in
    // hundredths of a decibel.
    const float left = m_appliedPan > 0 ? GainOf(-m_appliedPan) : 1.0f;
    const float right = m_appliedPan < 0 ? GainOf(m_appliedPan) : 1.0f;
    for (int side = 0; side < 2; ++side)
    {
        const ALuint source = m_sources[side];
        alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
        alSource3f(source, AL_POSITION, side == 0 ? -1.0f : 1.0f, 0.0f, 0.0f);
        alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
        alSourcef(source, AL_GAIN, gain * (side == 0 ? left : right));
    }
}

void CSoundVoice::SetVelocity(const CkvrVector3& velocity)
{
    if (HasSources())
        alSource3f(m_sources[0], AL_VELOCITY, velocity.x, velocity.y, -velocity.z);
}

int CSoundVoice::PlayStatic(uint32_t playFlags, int restart)
{
    if (!HasSources())
        return 0;
    if (restart)
        RewindSources();
    const ALint looping = (playFlags & CSoundBuffer::PLAY_LOOPING) ? AL_TRUE : AL_FALSE;
    alSourcei(m_sources[0], AL_LOOPING, looping);
    alSourcei(m_sources[1], AL_LOOPING, looping);
    ApplyLevels();
    alGetError();
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    alSourcePlayv(2, sources);
    return alGetError() == AL_NO_ERROR ? 1 : 0;
}

int CSoundVoice::OpenDecoder(int restart)
{
    if (m_decoderOpen)
    {
        if (!restart)
            return 1;
        if (m_owner->GetSourceKind() == CSoundBuffer::SOURCE_OGG)
            return m_ogg.RewindOgg();
        return m_wave.SeekWaveData();
    }
    const SoundImage& image = m_owner->GetStreamImage();
    if (!image)
        return 0;
    if (m_owner->GetSourceKind() == CSoundBuffer::SOURCE_OGG)
    {
        uint32_t size = 0;
        SoundFormat format;
        if (!m_ogg.OpenOggStream(image, &size, &format))
            return 0;
    }
    else
    {
        SoundFormat format;
        if (!m_wave.ReadWaveHeader(image, &format))
            return 0;
    }
    m_decoderOpen = 1;
    return 1;
}

uint32_t CSoundVoice::Decode(uint8_t* buffer, uint32_t size, int* ended)
{
    if (m_owner->GetSourceKind() == CSoundBuffer::SOURCE_OGG)
        return m_ogg.DecodeOggStream(buffer, size, m_loopSeconds, ended);
    // WAVE streams always loop, back to the start of the data, within the
    // same fill so that no stale data is heard at the seam.
    *ended = 0;
    uint32_t filled = 0;
    bool wrapped = false;
    while (filled < size)
    {
        const uint32_t got = m_wave.ReadWaveData(buffer + filled, size - filled);
        if (got > 0)
        {
            filled += got;
            wrapped = false;
            continue;
        }
        if (wrapped || !m_wave.SeekWaveData())
        {
            *ended = 1;
            break;
        }
        wrapped = true;
    }
    return filled;
}

int CSoundVoice::FillHalf(uint32_t half)
{
    const uint32_t bytes = m_owner->GetBytesPerSecond();
    m_scratch.resize(bytes);
    int ended = 0;
    uint32_t got = Decode(m_scratch.data(), bytes, &ended);
    if (ended)
        m_dataEnded = 1;
    const uint32_t frameBytes = static_cast<uint32_t>(m_owner->GetChannels()) * m_owner->GetBytesPerSample();
    got -= got % frameBytes;
    if (got == 0)
        return 0;
    const ALsizei rate = static_cast<ALsizei>(m_owner->GetSampleRate());
    const ALenum format = MonoFormat(m_owner->GetBytesPerSample());
    if (m_owner->GetChannels() == 2)
    {
        Deinterleave(m_scratch.data(), got, m_owner->GetBytesPerSample(), &m_split[0], &m_split[1]);
        alBufferData(m_halves[half][0], format, m_split[0].data(), static_cast<ALsizei>(m_split[0].size()), rate);
        alBufferData(m_halves[half][1], format, m_split[1].data(), static_cast<ALsizei>(m_split[1].size()), rate);
    }
    else
    {
        alBufferData(m_halves[half][0], format, m_scratch.data(), static_cast<ALsizei>(got), rate);
    }
    alSourceQueueBuffers(m_sources[0], 1, &m_halves[half][0]);
    alSourceQueueBuffers(m_sources[1], 1, &m_halves[half][1]);
    return 1;
}

void CSoundVoice::ClearQueue()
{
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    alSourceStopv(2, sources);
    alSourcei(m_sources[0], AL_BUFFER, 0);
    alSourcei(m_sources[1], AL_BUFFER, 0);
}

int CSoundVoice::PlayStream(uint32_t playFlags, int restart, int threaded)
{
    if (!HasSources() || m_halves[0][0] == 0)
        return 0;
    // A thread that ended with its stream has left the lock for good.
    if (m_thread.joinable())
        m_thread.join();
    if (!OpenDecoder(restart))
        return 0;
    ClearQueue();
    alSourcei(m_sources[0], AL_LOOPING, AL_FALSE);
    alSourcei(m_sources[1], AL_LOOPING, AL_FALSE);
    m_playFlags = playFlags;
    m_dataEnded = 0;
    if (!FillHalf(0))
        return 0;
    if (!m_dataEnded)
        FillHalf(1);
    ApplyLevels();
    alGetError();
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    alSourcePlayv(2, sources);
    if (alGetError() != AL_NO_ERROR)
    {
        ClearQueue();
        return 0;
    }
    // Busy from here on: the free-voice search passes over this voice even
    // before its thread has run.
    m_streaming = 1;
    if (!threaded)
        return 1;
    m_quit = 0;
    m_served = m_sound->GetRenderGeneration();
    m_sound->AttachStream(this);
    try
    {
        m_thread = std::thread(&CSoundVoice::ThreadMain, this);
    }
    catch (const std::system_error&)
    {
        m_sound->DetachStream(this);
        m_streaming = 0;
        ClearQueue();
        return 0;
    }
    return 1;
}

int CSoundVoice::ServiceStream()
{
    if (!m_streaming)
        return 0;
    if (m_paused)
        return 1;
    ALint processed = 0;
    alGetSourcei(m_sources[0], AL_BUFFERS_PROCESSED, &processed);
    for (ALint n = 0; n < processed; ++n)
    {
        ALuint done[2] = {};
        alSourceUnqueueBuffers(m_sources[0], 1, &done[0]);
        alSourceUnqueueBuffers(m_sources[1], 1, &done[1]);
        if (!m_dataEnded)
            FillHalf(done[0] == m_halves[0][0] ? 0 : 1);
    }
    ALint state = 0;
    alGetSourcei(m_sources[0], AL_SOURCE_STATE, &state);
    if (state == AL_PLAYING)
        return 1;
    ALint queued = 0;
    alGetSourcei(m_sources[0], AL_BUFFERS_QUEUED, &queued);
    if (queued > 0)
    {
        // The queue ran dry before a refill came: play on from the refill.
        ALuint sources[2] = {m_sources[0], m_sources[1]};
        alSourcePlayv(2, sources);
        return 1;
    }
    // Played to its real end: the voice is free, and rewound for next time.
    m_streaming = 0;
    m_playFlags = 0;
    OpenDecoder(1);
    return 0;
}

int CSoundVoice::NeedsService() const
{
    if (!m_streaming || m_paused)
        return 0;
    ALint processed = 0;
    alGetSourcei(m_sources[0], AL_BUFFERS_PROCESSED, &processed);
    ALint state = 0;
    alGetSourcei(m_sources[0], AL_SOURCE_STATE, &state);
    return processed > 0 || state != AL_PLAYING;
}

void CSoundVoice::Wake()
{
    // Taking the voice's mutex orders this against the worker's look at its
    // flags, so the signal cannot fall between that look and its sleep.
    std::lock_guard<std::mutex> wake(m_wakeMutex);
    m_wake.notify_all();
}

void CSoundVoice::Sleep(std::chrono::milliseconds time, uint64_t served)
{
    CSound* sound = m_sound;
    std::unique_lock<std::mutex> wake(m_wakeMutex);
    m_wake.wait_for(wake, time, [&] { return m_quit.load() != 0 || sound->GetRenderGeneration() != served; });
}

void CSoundVoice::ThreadMain()
{
    CSound* sound = m_sound;
    std::unique_lock<CSound::Mutex> lock(sound->GetMutex(), std::defer_lock);
    while (!m_quit.load())
    {
        // Never block on the lock: whoever holds it may be waiting for this
        // thread to see its stop flag.
        if (!lock.try_lock())
        {
            Sleep(kThreadLockRetry, sound->GetRenderGeneration());
            continue;
        }
        if (m_quit.load())
            break;
        const int alive = ServiceStream();
        const uint64_t served = sound->GetRenderGeneration();
        m_served = served;
        if (!alive)
        {
            sound->DetachStream(this);
            break;
        }
        sound->GetStreamSignal().notify_all();
        lock.unlock();
        Sleep(kThreadPoll, served);
    }
}

std::thread CSoundVoice::StopAndTakeThread(int rewind)
{
    m_paused = 0;
    m_playFlags = 0;
    if (!HasSources())
        return std::thread();
    if (m_streaming || m_halves[0][0] != 0)
    {
        m_streaming = 0;
        ClearQueue();
        if (rewind && m_decoderOpen)
            OpenDecoder(1);
    }
    else
    {
        // Stopping without a rewind keeps the position for the next play.
        ALuint sources[2] = {m_sources[0], m_sources[1]};
        if (rewind)
        {
            alSourceStopv(2, sources);
            alSourceRewindv(2, sources);
        }
        else
        {
            alSourcePausev(2, sources);
        }
    }
    if (m_sound != nullptr)
        m_sound->DetachStream(this);
    {
        std::lock_guard<std::mutex> wake(m_wakeMutex);
        m_quit = 1;
        m_wake.notify_all();
    }
    return std::move(m_thread);
}

void CSoundVoice::PauseSources()
{
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    alSourcePausev(2, sources);
}

void CSoundVoice::ResumeSources()
{
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    alSourcePlayv(2, sources);
}

void CSoundVoice::RewindSources()
{
    if (!HasSources())
        return;
    ALint state = 0;
    alGetSourcei(m_sources[0], AL_SOURCE_STATE, &state);
    ALuint sources[2] = {m_sources[0], m_sources[1]};
    if (state == AL_PLAYING)
    {
        alSourcei(m_sources[0], AL_SAMPLE_OFFSET, 0);
        alSourcei(m_sources[1], AL_SAMPLE_OFFSET, 0);
        return;
    }
    // Stopped or paused: back to the initial state, which plays from 0.
    alSourceRewindv(2, sources);
}

int CSoundVoice::IsPlaying() const
{
    if (!HasSources())
        return 0;
    if (m_paused || m_streaming)
        return 1;
    ALint state = 0;
    alGetSourcei(m_sources[0], AL_SOURCE_STATE, &state);
    return state == AL_PLAYING ? 1 : 0;
}
