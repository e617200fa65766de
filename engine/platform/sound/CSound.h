#pragma once

#include <AL/al.h>
#include <AL/alc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
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

    // Opens the output device (the default one unless SetPlaybackDevice
    // named another). Needs the system window (null -> 0). A machine with
    // no output the device can open still gets a sound device: a silent one
    // that mixes in real time and throws the mix away, so that every sound
    // plays, streams and ends as it would be heard; a box says what is
    // missing. 0 only when not even that can be made.
    int Create(CSystem* system);
    // True while the device is the silent one Create fell back to.
    bool IsSilent() const { return m_pacer.joinable(); }
    // The output device Create opens by name (empty: the default one);
    // tests name one that is not there.
    static void SetPlaybackDevice(const std::string& name);

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

    // Mixes frames of 16-bit stereo into out (a loopback device only, not
    // the silent output, which mixes by itself).
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
    // The loopback device mixed in real time by a thread of its own.
    int CreateSilent();
    void RunSilentOutput();
    void StopSilentOutput();

    ALCdevice* m_device = nullptr;
    ALCcontext* m_context = nullptr;
    int m_loopback = 0;
    uint32_t m_mixRate = 0;
    uint32_t m_maxSources = 0;
    CSystem* m_system = nullptr;
    Mutex m_lock;
    CListener* m_listener = nullptr;

    std::thread m_pacer;
    std::mutex m_pacerMutex;
    std::condition_variable m_pacerWake;
    bool m_pacerQuit = false;

    std::condition_variable_any m_streamSignal;
    std::atomic<uint64_t> m_renderGeneration{0};
    std::vector<CSoundVoice*> m_streams;
};
