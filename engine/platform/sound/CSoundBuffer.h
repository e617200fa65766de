#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/platform/sound/SoundFormat.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <memory>
#include <vector>

class CSoundVoice;
class CkvrPackFile;

// One sound resource: a WAVE or Ogg Vorbis sound held whole in OpenAL
// buffers or streamed one second at a time, played through a fixed number
// of voices so that it can sound several times at once.
//
// Volumes are hundredths of a decibel (0 full, -10000 silent); pans run from
// -10000 (left only) to 10000 (right only). Voice indices count from 0; an
// index at or past the voice count is refused with 0 or ignored.
class CSoundBuffer : public CResourceBase
{
public:
    // Creation flags (the numbers callers and resource lists store).
    enum : uint32_t
    {
        FLAG_CTRL3D = 0x10,           // voices have 3D positions
        FLAG_STATIC = 0x02,           // whole sound in memory; else streamed
        FLAG_POSITION_NOTIFY = 0x100, // streamed by worker threads; else by Update
    };
    // Play flags.
    enum : uint32_t
    {
        PLAY_LOOPING = 0x01,
    };
    enum : uint32_t
    {
        SOURCE_WAVE = 0,
        SOURCE_OGG = 1,
    };

    // The quietest setting volume the game plays at; below it a sound is
    // left silent rather than started.
    static constexpr int32_t kQuietestPlayedVolume = -2999;

    CSoundBuffer();
    ~CSoundBuffer() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CSoundBuffer"; }

    int Load(const char* path, uint32_t voices, uint32_t flags);
    int LoadFromMemory(const uint8_t* data, const char* name, uint32_t size, uint32_t voices, uint32_t flags);
    // The entry is read whole and copied; the copy outlives the pack.
    int LoadFromPack(CkvrPackFile* pack, const char* name, uint32_t voices, uint32_t flags);
    int CreateBuffer();
    int CreateVoices(uint32_t count);

    int PlayVoice(uint32_t playFlags, float loopSeconds, int restart);
    int PlayWithVolume(int32_t volume, uint32_t playFlags, float loopSeconds, int restart);
    int PlayFade(int32_t volume, int32_t step, uint32_t playFlags, float loopSeconds, int restart);
    int PlayWithFade(int32_t volume, int32_t step, int32_t target, uint32_t playFlags, float loopSeconds, int restart);

    void Stop(uint32_t i, int rewind);
    void StopAll(int rewind);
    void Pause(uint32_t i);
    void Resume(uint32_t i);
    void Rewind(uint32_t i);

    int SetVolume(uint32_t i, int32_t volume);
    int SetVoiceVolume(uint32_t i, int32_t volume) { return SetVolume(i, volume); }
    void SetVolumeAll(int32_t volume);
    int32_t GetVolume(uint32_t i) const;
    void Fade(uint32_t i, int32_t step);
    void SetFade(uint32_t i, int32_t step, int32_t target);
    int SetPan(uint32_t i, int32_t pan);
    int32_t GetPan(uint32_t i) const;

    void SetPosition(uint32_t i, const CkvrVector3* position, float minDistance, uint32_t mode);
    void SetMinDistance(uint32_t i, float minDistance);
    void SetMaxDistance(uint32_t i, float maxDistance);
    void SetVelocity(uint32_t i, const CkvrVector3* velocity);
    void SetMode(uint32_t i, uint32_t mode);
    uint32_t GetMode(uint32_t i) const;

    int IsPlaying() const { return IsVoicePlaying(0); }
    int IsVoicePlaying(uint32_t i) const;
    uint32_t GetPlayFlags(uint32_t i) const;
    int FindFreeVoice() const;

    void Update();
    int UpdateVoice(uint32_t i, int force);

    float GetDuration() const { return m_duration; }
    uint32_t GetDataSize() const { return m_dataSize; }
    uint16_t GetChannels() const { return m_channels; }
    uint16_t GetBytesPerSample() const { return m_bytesPerSample; }
    uint32_t GetSampleRate() const { return m_sampleRate; }
    uint32_t GetSourceKind() const { return m_sourceKind; }
    uint32_t GetFlags() const { return m_flags; }
    uint32_t GetVoiceCount() const { return static_cast<uint32_t>(m_voices.size()); }
    const SoundFormat* GetFormat() const { return m_hasFormat ? &m_format : nullptr; }

    // For the voices: the file image a stream decodes from, and the buffers
    // of a static sound (one per channel).
    const SoundImage& GetStreamImage() const { return m_streamImage; }
    uint32_t GetStaticBuffer(uint32_t channel) const { return m_staticBuffers[channel < 2 ? channel : 0]; }
    uint32_t GetBytesPerSecond() const { return m_sampleRate * m_channels * m_bytesPerSample; }

private:
    int LoadImage(SoundImage image, const char* name, uint32_t voices, uint32_t flags);
    int UpdateVolumeAndPan(CSoundVoice& voice, uint32_t i, int force);
    void ApplySoftware3D(CSoundVoice& voice);
    CSoundVoice* VoiceAt(uint32_t i) const;
    // Voice i under the sound lock: change gets it (false without such a
    // voice), read's result or fallback is returned.
    template <class Change>
    bool ChangeVoice(uint32_t i, Change change);
    template <class T, class Read>
    T ReadVoice(uint32_t i, T fallback, Read read) const;
    void ReleaseVoices(uint32_t from);

    float m_duration = 0.0f;
    uint32_t m_dataSize = 0;
    uint16_t m_channels = 0;
    uint16_t m_bytesPerSample = 0;
    uint32_t m_sampleRate = 0;
    uint32_t m_sourceKind = SOURCE_WAVE;
    uint32_t m_flags = 0;
    SoundImage m_streamImage;
    std::vector<uint8_t> m_pcm; // static data until it is uploaded
    uint32_t m_staticBuffers[2] = {};
    SoundFormat m_format;
    int m_hasFormat = 0;
    std::vector<std::unique_ptr<CSoundVoice>> m_voices;
};
