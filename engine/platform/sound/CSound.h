#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

class CSystem;
class CListener;
class CSoundVoice;

// The program's one sound device: an OpenAL device with one context, the
// sound lock that every buffer operation and every stream thread takes, and
// the current listener. Sound buffers reach it through the process-wide
// instance.
class CSound
{
public:
    using Mutex = std::recursive_mutex;

    CSound();
    virtual ~CSound();
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    virtual const char* GetClassName() const { return "CSound"; }

    // Opens the default output device. Needs the system window (null -> 0).
    int Create(CSystem* system);

    // Opens a loopback device that mixes into memory (44.1 kHz, 16-bit
    // stereo) only when RenderLoopback asks; tests and benchmarks use it.
    int CreateLoopback();

    void Release();

    int Lock();
    int Unlock();
    Mutex& GetMutex() { return m_lock; }

    CListener* GetListener() const { return m_listener; }
    void SetListener(CListener* listener) { m_listener = listener; }

    ALCdevice* GetDevice() const { return m_device; }
    ALCcontext* GetContext() const { return m_context; }
    uint32_t GetMixRate() const { return m_mixRate; }
    uint32_t GetMaxSources() const { return m_maxSources; }

    static void SetInstance(CSound* sound);
    static CSound* GetInstance();

    // Mixes frames of 16-bit stereo into out (a loopback device only).
    // Stream threads get the chance to refill between slices of a quarter
    // of a second, as they would in real time; the waits for them are bounded.
    // Call without holding the sound lock.
    int RenderLoopback(int16_t* out, uint32_t frames);

    // Stream threads raise this signal after each look at their queues;
    // RenderLoopback waits on it for them to catch up. The threads themselves
    // sleep on signals of their own, which a render raises through
    // CSoundVoice::Wake.
    std::condition_variable_any& GetStreamSignal() { return m_streamSignal; }
    uint64_t GetRenderGeneration() const { return m_renderGeneration.load(); }
    void AttachStream(CSoundVoice* voice);
    void DetachStream(CSoundVoice* voice);

private:
    int CreateContext();
    void FailCreate(const char* message);

    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    int m_loopback = 0;
    uint32_t m_mixRate = 0;
    uint32_t m_maxSources = 0;
    CSystem* m_system = nullptr;
    Mutex m_lock;
    CListener* m_listener = nullptr;

    std::condition_variable_any m_streamSignal;
    std::atomic<uint64_t> m_renderGeneration{0};
    std::vector<CSoundVoice*> m_streams;
};
