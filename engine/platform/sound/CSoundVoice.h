#pragma once

#include "engine/platform/sound/COggReader.h"
#include "engine/platform/sound/CWaveReader.h"
#include "engine/core/CkvrVector3.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class CSound;
class CSoundBuffer;

// One voice of a sound buffer: what a duplicate of the master buffer was
// under DirectSound. It plays through two OpenAL sources, one held hard left
// and one hard right, so that a 2D voice gets DirectSound's levels (a
// centred voice at full gain on both sides, pan lowering only the opposite
// side). A 3D voice of a mono sound plays through the first source,
// spatialised by OpenAL, while the second stays silent in step with it.
//
// A streaming voice owns its decoder and two halves of one second each,
// queued on its sources and refilled as they finish playing, either by its
// own worker thread or by the per-frame update.
class CSoundVoice
{
public:
    enum : uint32_t
    {
        MODE_NORMAL = 0,
        MODE_HEAD_RELATIVE = 1,
        MODE_DISABLE = 2,
        MODE_SOFTWARE = 3,
    };

    CSoundVoice() = default;
    ~CSoundVoice();
    CSoundVoice(const CSoundVoice&) = delete;
    CSoundVoice& operator=(const CSoundVoice&) = delete;

    // Makes the sources (and for a stream its queue buffers). 0 when the
    // device has no more sources to give.
    int Create(CSoundBuffer* owner);
    // Stops and frees everything; the voice can be created again.
    void Destroy();
    int HasSources() const { return m_sources[0] != 0; }

    // The read side of the render handshake (see CSound::RenderLoopback).
    uint64_t GetServedGeneration() const { return m_served; }
    // Wakes the worker thread from its sleep to look at its queue (or at its
    // stop flag). Needs no lock held, and takes none but the voice's own.
    void Wake();

    // Everything below runs under the sound lock.
    int PlayStatic(uint32_t playFlags, int restart);
    int PlayStream(uint32_t playFlags, int restart, int threaded);
    // Stops the sources and the stream and takes the worker thread, which
    // the caller joins after leaving the lock.
    std::thread StopAndTakeThread(int rewind);
    void PauseSources();
    void ResumeSources();
    void RewindSources();
    int IsPlaying() const;
    int ServiceStream();
    // A played half waits for its refill, or the stream has run out.
    int NeedsService() const;
    void ApplyLevels();
    void SetVelocity(const CkvrVector3& velocity);
    int IsStreaming() const { return m_streaming; }
    int IsThreaded() const { return m_thread.joinable(); }

    // Fields that CSoundBuffer reads and writes under the sound lock.
    uint32_t m_playFlags = 0;
    float m_loopSeconds = -1.0f;
    uint32_t m_paused = 0;
    CkvrVector3 m_position;
    int32_t m_volume = 0;
    int32_t m_appliedVolume = 0;
    int32_t m_fadeStep = 0;
    int32_t m_fadeTarget = 0;
    int32_t m_pan = 0;
    int32_t m_appliedPan = 0;
    float m_minDistance = 1.0f;
    float m_maxDistance = 1.0e9f;
    uint32_t m_lastUpdate = 0;
    uint32_t m_mode = MODE_NORMAL;

private:
    void ThreadMain();
    // Sleeps up to the given time on the voice's own signal, never on the
    // sound lock: a caller holding that lock can stop and join the thread.
    // Wakes early on the stop flag or when a render moves past served.
    void Sleep(std::chrono::milliseconds time, uint64_t served);
    int OpenDecoder(int restart);
    uint32_t Decode(uint8_t* buffer, uint32_t size, int* ended);
    int FillHalf(uint32_t half);
    void ClearQueue();
    int IsSpatial() const;

    CSoundBuffer* m_owner = nullptr;
    CSound* m_sound = nullptr;
    uint32_t m_sources[2] = {};
    uint32_t m_halves[2][2] = {}; // [half][channel]
    int m_streaming = 0;
    int m_dataEnded = 0;

    CWaveReader m_wave;
    COggReader m_ogg;
    int m_decoderOpen = 0;
    std::vector<uint8_t> m_scratch;
    std::vector<uint8_t> m_split[2];

    std::thread m_thread;
    std::atomic<int> m_quit{0};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    uint64_t m_served = 0;
};
