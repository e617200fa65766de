#include "engine/platform/sound/CSoundBuffer.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FailureLog.h"
#include "engine/core/FileIo.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/COggReader.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundVoice.h"
#include "engine/platform/sound/CWaveReader.h"
#include "engine/platform/PlatformMessageBox.h"
#include "engine/platform/sound/SoundMessages.h"

#include <AL/al.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace
{
using Lock = std::lock_guard<CSound::Mutex>;

void ShowError(const char* message)
{
    ShowMessageBox(nullptr, message, "Error");
}

// OpenAL's own text for the error of the call just made; false when there
// was none.
bool AlFailed(const char* call)
{
    const ALenum error = alGetError();
    if (error == AL_NO_ERROR)
        return false;
    LogFailure(call, alGetString(error));
    return true;
}

// Ogg Vorbis when the name says ".ogg" or ".OGG" anywhere in it.
bool IsOggName(const char* name)
{
    return name != nullptr && (std::strstr(name, ".ogg") != nullptr || std::strstr(name, ".OGG") != nullptr);
}

int32_t ClampVolume(int32_t volume)
{
    if (volume > 0)
        return 0;
    return volume < -10000 ? -10000 : volume;
}

int32_t ClampPan(int32_t pan)
{
    if (pan > 10000)
        return 10000;
    return pan < -10000 ? -10000 : pan;
}

CSound::Mutex* SoundLock()
{
    CSound* sound = CSound::GetInstance();
    return sound != nullptr ? &sound->GetMutex() : nullptr;
}

// Takes the sound lock when there is a sound device; a buffer without one
// has no voices to guard.
class SoundGuard
{
public:
    SoundGuard() : m_lock(SoundLock())
    {
        if (m_lock != nullptr)
            m_lock->lock();
    }
    ~SoundGuard()
    {
        if (m_lock != nullptr)
            m_lock->unlock();
    }
    SoundGuard(const SoundGuard&) = delete;
    SoundGuard& operator=(const SoundGuard&) = delete;

private:
    CSound::Mutex* m_lock;
};
}

CSoundBuffer::CSoundBuffer()
{
    SetKind(KIND_SOUND_BUFFER);
}

CSoundBuffer::~CSoundBuffer()
{
    Release();
}

uint32_t CSoundBuffer::Release()
{
    ReleaseVoices(0);
    m_voices.clear();
    if (m_staticBuffers[0] != 0)
    {
        const ALsizei count = m_staticBuffers[1] != 0 ? 2 : 1;
        alDeleteBuffers(count, m_staticBuffers);
        m_staticBuffers[0] = m_staticBuffers[1] = 0;
    }
    m_streamImage.reset();
    m_pcm.clear();
    m_pcm.shrink_to_fit();
    m_format = SoundFormat();
    m_hasFormat = 0;
    m_duration = 0.0f;
    m_dataSize = 0;
    m_channels = 0;
    m_bytesPerSample = 0;
    m_sampleRate = 0;
    m_flags = 0;
    return CResourceBase::Release();
}

void CSoundBuffer::ReleaseVoices(uint32_t from)
{
    for (size_t i = from; i < m_voices.size(); ++i)
    {
        if (m_voices[i])
            m_voices[i]->Destroy();
    }
    if (from < m_voices.size())
        m_voices.resize(from);
}

int CSoundBuffer::Load(const char* path, uint32_t voices, uint32_t flags)
{
    if (path == nullptr)
        return 0;
    const bool ogg = IsOggName(path);
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    // Data names come the Windows way ("Bgm\Title.ogg", any letter case).
    errno = 0;
    if (!ReadWholeFile(path, UINT32_MAX - 1, bytes.get()))
    {
        LogFailure(path, errno != 0 ? ErrnoText() : "cannot be read whole");
        ShowError(ogg ? kMessageOggOpen : kMessageWaveOpen);
        return 0;
    }
    return LoadImage(std::move(bytes), path, voices, flags);
}

int CSoundBuffer::LoadFromMemory(const uint8_t* data, const char* name, uint32_t size, uint32_t voices, uint32_t flags)
{
    if (data == nullptr && size > 0)
        size = 0;
    // The sound keeps a copy: a stream reads from it long after the caller's
    // bytes (a pack entry, say) are gone.
    auto bytes = std::make_shared<std::vector<uint8_t>>(data, data + size);
    if (IsOggName(name) && bytes->empty())
    {
        ShowError(kMessageOggOpen);
        return 0;
    }
    return LoadImage(std::move(bytes), name, voices, flags);
}

int CSoundBuffer::LoadFromPack(CkvrPackFile* pack, const char* name, uint32_t voices, uint32_t flags)
{
    if (pack == nullptr || name == nullptr)
        return 0;
    const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
    uint8_t* data = entry != nullptr ? pack->LoadFile(name) : nullptr;
    if (data == nullptr)
    {
        ShowError(IsOggName(name) ? kMessageOggOpen : kMessageWaveOpen);
        return 0;
    }
    // LoadFromMemory copies what it keeps, so the entry's bytes go at once.
    const int loaded = LoadFromMemory(data, name, entry->size, voices, flags);
    AlignedFree(data);
    return loaded;
}

int CSoundBuffer::LoadImage(SoundImage image, const char* name, uint32_t voices, uint32_t flags)
{
    Release();
    const bool ogg = IsOggName(name);
    const bool isStatic = (flags & FLAG_STATIC) != 0;
    SoundFormat format;
    uint32_t size = 0;
    if (ogg)
    {
        m_sourceKind = SOURCE_OGG;
        int ok = 0;
        if (isStatic)
        {
            ok = COggReader::DecodeOggAll(image, &m_pcm, &format);
            size = static_cast<uint32_t>(m_pcm.size());
        }
        else
        {
            COggReader probe;
            ok = probe.OpenOggStream(image, &size, &format);
        }
        if (!ok)
        {
            ShowError(kMessageOggRead);
            return 0;
        }
    }
    else
    {
        m_sourceKind = SOURCE_WAVE;
        CWaveReader reader;
        if (!reader.ReadWaveHeader(image, &format) || reader.GetDataSize() == 0)
        {
            ShowError(kMessageWaveRead);
            return 0;
        }
        size = reader.GetDataSize();
        if (isStatic)
            m_pcm.assign(reader.GetData(), reader.GetData() + size);
    }
    if (!isStatic)
        m_streamImage = std::move(image);

    m_format = std::move(format);
    m_hasFormat = 1;
    m_dataSize = size;
    m_channels = m_format.channels;
    m_sampleRate = m_format.samplesPerSecond;
    m_bytesPerSample = static_cast<uint16_t>(m_format.bitsPerSample / 8);
    if (m_channels > 0 && m_sampleRate > 0 && m_bytesPerSample > 0)
        m_duration = static_cast<float>(size) / m_channels / static_cast<float>(m_sampleRate) / m_bytesPerSample;
    m_flags = flags;
    if (!CreateBuffer())
        return 0;
    m_pcm.clear();
    m_pcm.shrink_to_fit();
    if (!CreateVoices(voices))
        return 0;
    SetName(name);
    return 1;
}

int CSoundBuffer::CreateBuffer()
{
    CSound* sound = CSound::GetInstance();
    if (!m_hasFormat || !m_format.IsPlayablePcm() || sound == nullptr || sound->GetContext() == nullptr)
    {
        ShowError(kMessageBufferCreate);
        return 0;
    }
    if (!(m_flags & FLAG_STATIC))
        return 1;
    SoundGuard guard;
    alGetError();
    const ALsizei count = m_channels == 2 ? 2 : 1;
    alGenBuffers(count, m_staticBuffers);
    if (AlFailed("sound: alGenBuffers"))
    {
        m_staticBuffers[0] = m_staticBuffers[1] = 0;
        ShowError(kMessageBufferCreate);
        return 0;
    }
    const ALenum format = m_bytesPerSample == 1 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
    const ALsizei rate = static_cast<ALsizei>(m_sampleRate);
    if (m_channels == 2)
    {
        // Each side of a stereo sound plays through its own source.
        const uint32_t frameBytes = m_bytesPerSample * 2u;
        const size_t frames = m_pcm.size() / frameBytes;
        std::vector<uint8_t> side[2];
        for (int c = 0; c < 2; ++c)
        {
            side[c].resize(frames * m_bytesPerSample);
            for (size_t f = 0; f < frames; ++f)
                std::memcpy(&side[c][f * m_bytesPerSample], &m_pcm[f * frameBytes + c * m_bytesPerSample],
                            m_bytesPerSample);
            alBufferData(m_staticBuffers[c], format, side[c].data(), static_cast<ALsizei>(side[c].size()), rate);
        }
    }
    else
    {
        alBufferData(m_staticBuffers[0], format, m_pcm.data(), static_cast<ALsizei>(m_pcm.size()), rate);
    }
    if (AlFailed("sound: alBufferData"))
    {
        alDeleteBuffers(count, m_staticBuffers);
        m_staticBuffers[0] = m_staticBuffers[1] = 0;
        ShowError(kMessageBufferLock);
        return 0;
    }
    return 1;
}

int CSoundBuffer::CreateVoices(uint32_t count)
{
    if (!m_hasFormat)
        return 0;
    if (count < m_voices.size())
    {
        ReleaseVoices(count);
        return 1;
    }
    while (m_voices.size() < count)
    {
        auto voice = std::make_unique<CSoundVoice>();
        if (!voice->Create(this))
            return 0;
        m_voices.push_back(std::move(voice));
    }
    return 1;
}

CSoundVoice* CSoundBuffer::VoiceAt(uint32_t i) const
{
    if (i >= m_voices.size() || !m_voices[i] || !m_voices[i]->HasSources())
        return nullptr;
    return m_voices[i].get();
}

int CSoundBuffer::FindFreeVoice() const
{
    SoundGuard guard;
    for (uint32_t i = 0; i < m_voices.size(); ++i)
    {
        const CSoundVoice* voice = VoiceAt(i);
        if (voice != nullptr && !voice->IsPlaying())
            return static_cast<int>(i);
    }
    return -1;
}

int CSoundBuffer::PlayVoice(uint32_t playFlags, float loopSeconds, int restart)
{
    SoundGuard guard;
    CSound* sound = CSound::GetInstance();
    const CListener* listener = sound != nullptr ? sound->GetListener() : nullptr;
    // The search and the start happen under one hold of the lock, so a voice
    // handed out here is busy before anyone else can look at it.
    for (uint32_t i = 0; i < m_voices.size(); ++i)
    {
        CSoundVoice* voice = VoiceAt(i);
        if (voice == nullptr || voice->IsPlaying())
            continue;
        int played = 0;
        voice->m_loopSeconds = loopSeconds;
        if (m_flags & FLAG_STATIC)
        {
            voice->m_mode = (listener != nullptr && listener->GetMode() == CListener::MODE_SOFTWARE)
                                ? static_cast<uint32_t>(CSoundVoice::MODE_SOFTWARE)
                                : static_cast<uint32_t>(CSoundVoice::MODE_NORMAL);
            if (voice->m_mode == CSoundVoice::MODE_SOFTWARE)
                ApplySoftware3D(*voice);
            played = voice->PlayStatic(playFlags, restart);
        }
        else
        {
            played = voice->PlayStream(playFlags, restart, (m_flags & FLAG_POSITION_NOTIFY) != 0);
        }
        if (!played)
        {
            // A stream whose source cannot be read fails every voice alike.
            if (!(m_flags & FLAG_STATIC))
                return -1;
            continue;
        }
        voice->m_playFlags = playFlags;
        voice->m_paused = 0;
        voice->m_fadeStep = 0;
        voice->m_lastUpdate = 0;
        return static_cast<int>(i);
    }
    return -1;
}

int CSoundBuffer::PlayWithVolume(int32_t volume, uint32_t playFlags, float loopSeconds, int restart)
{
    return PlayWithFade(volume, 0, 0, playFlags, loopSeconds, restart);
}

int CSoundBuffer::PlayFade(int32_t volume, int32_t step, uint32_t playFlags, float loopSeconds, int restart)
{
    return PlayWithFade(volume, step, step >= 0 ? 0 : -10000, playFlags, loopSeconds, restart);
}

int CSoundBuffer::PlayWithFade(int32_t volume, int32_t step, int32_t target, uint32_t playFlags, float loopSeconds,
                               int restart)
{
    // One hold of the lock: the first samples already play at the new volume.
    SoundGuard guard;
    const int index = PlayVoice(playFlags, loopSeconds, restart);
    if (index < 0)
        return -1;
    SetVolume(static_cast<uint32_t>(index), volume);
    SetFade(static_cast<uint32_t>(index), step, target);
    return index;
}

void CSoundBuffer::Stop(uint32_t i, int rewind)
{
    CSoundVoice* voice = VoiceAt(i);
    if (voice == nullptr)
        return;
    std::thread thread;
    {
        SoundGuard guard;
        thread = voice->StopAndTakeThread(rewind);
    }
    // The thread sees its stop flag within one of its bounded waits, even
    // when the caller still holds the sound lock from further out.
    if (thread.joinable())
        thread.join();
}

void CSoundBuffer::StopAll(int rewind)
{
    for (uint32_t i = 0; i < m_voices.size(); ++i)
        Stop(i, rewind);
}

template <class Change>
bool CSoundBuffer::ChangeVoice(uint32_t i, Change change)
{
    SoundGuard guard;
    CSoundVoice* voice = VoiceAt(i);
    if (voice == nullptr)
        return false;
    change(*voice);
    return true;
}

template <class T, class Read>
T CSoundBuffer::ReadVoice(uint32_t i, T fallback, Read read) const
{
    SoundGuard guard;
    const CSoundVoice* voice = VoiceAt(i);
    return voice != nullptr ? read(*voice) : fallback;
}

void CSoundBuffer::Pause(uint32_t i)
{
    ChangeVoice(i, [](CSoundVoice& voice) {
        if (voice.m_paused || !voice.IsPlaying())
            return;
        voice.m_paused = 1;
        voice.PauseSources();
    });
}

void CSoundBuffer::Resume(uint32_t i)
{
    ChangeVoice(i, [](CSoundVoice& voice) {
        if (!voice.m_paused)
            return;
        voice.m_paused = 0;
        voice.ResumeSources();
    });
}

void CSoundBuffer::Rewind(uint32_t i)
{
    ChangeVoice(i, [this](CSoundVoice& voice) {
        if (m_flags & FLAG_STATIC)
            voice.RewindSources();
    });
}

int CSoundBuffer::SetVolume(uint32_t i, int32_t volume)
{
    const bool found = ChangeVoice(i, [volume](CSoundVoice& voice) {
        voice.m_volume = voice.m_appliedVolume = ClampVolume(volume);
        voice.ApplyLevels();
    });
    return found ? 1 : 0;
}

void CSoundBuffer::SetVolumeAll(int32_t volume)
{
    for (uint32_t i = 0; i < m_voices.size(); ++i)
        SetVolume(i, volume);
}

int32_t CSoundBuffer::GetVolume(uint32_t i) const
{
    return ReadVoice(i, int32_t(-10000), [](const CSoundVoice& voice) { return voice.m_appliedVolume; });
}

void CSoundBuffer::Fade(uint32_t i, int32_t step)
{
    SetFade(i, step, step >= 0 ? 0 : -10000);
}

void CSoundBuffer::SetFade(uint32_t i, int32_t step, int32_t target)
{
    ChangeVoice(i, [step, target](CSoundVoice& voice) {
        voice.m_fadeStep = step;
        voice.m_fadeTarget = target;
    });
}

int CSoundBuffer::SetPan(uint32_t i, int32_t pan)
{
    const bool found = ChangeVoice(i, [pan](CSoundVoice& voice) {
        voice.m_pan = voice.m_appliedPan = ClampPan(pan);
        voice.ApplyLevels();
    });
    return found ? 1 : 0;
}

int32_t CSoundBuffer::GetPan(uint32_t i) const
{
    return ReadVoice(i, int32_t(0), [](const CSoundVoice& voice) { return voice.m_appliedPan; });
}

void CSoundBuffer::SetPosition(uint32_t i, const CkvrVector3* position, float minDistance, uint32_t mode)
{
    ChangeVoice(i, [position, minDistance, mode](CSoundVoice& voice) {
        if (position != nullptr)
            voice.m_position = *position;
        voice.m_minDistance = minDistance;
        CSound* sound = CSound::GetInstance();
        const CListener* listener = sound != nullptr ? sound->GetListener() : nullptr;
        const bool software = listener != nullptr && listener->GetMode() == CListener::MODE_SOFTWARE;
        voice.m_mode = mode == CSoundVoice::MODE_NORMAL && software ? CSoundVoice::MODE_SOFTWARE : mode;
        voice.ApplyLevels();
    });
}

void CSoundBuffer::SetMinDistance(uint32_t i, float minDistance)
{
    ChangeVoice(i, [minDistance](CSoundVoice& voice) {
        voice.m_minDistance = minDistance;
        voice.ApplyLevels();
    });
}

void CSoundBuffer::SetMaxDistance(uint32_t i, float maxDistance)
{
    ChangeVoice(i, [maxDistance](CSoundVoice& voice) {
        voice.m_maxDistance = maxDistance;
        voice.ApplyLevels();
    });
}

void CSoundBuffer::SetVelocity(uint32_t i, const CkvrVector3* velocity)
{
    ChangeVoice(i, [velocity](CSoundVoice& voice) {
        if (velocity != nullptr)
            voice.SetVelocity(*velocity);
    });
}

void CSoundBuffer::SetMode(uint32_t i, uint32_t mode)
{
    ChangeVoice(i, [mode](CSoundVoice& voice) {
        if (voice.m_mode == mode)
            return;
        voice.m_mode = mode;
        if (mode != CSoundVoice::MODE_SOFTWARE)
        {
            // Leaving software 3D gives the voice back the levels it was set to.
            voice.m_appliedVolume = voice.m_volume;
            voice.m_appliedPan = voice.m_pan;
        }
        voice.ApplyLevels();
    });
}

uint32_t CSoundBuffer::GetMode(uint32_t i) const
{
    return ReadVoice(i, uint32_t(0), [](const CSoundVoice& voice) { return voice.m_mode; });
}

int CSoundBuffer::IsVoicePlaying(uint32_t i) const
{
    return ReadVoice(i, 0, [](const CSoundVoice& voice) { return voice.IsPlaying(); });
}

uint32_t CSoundBuffer::GetPlayFlags(uint32_t i) const
{
    return ReadVoice(i, uint32_t(0), [](const CSoundVoice& voice) { return voice.m_playFlags; });
}

void CSoundBuffer::Update()
{
    for (uint32_t i = 0; i < m_voices.size(); ++i)
        UpdateVoice(i, 0);
}

int CSoundBuffer::UpdateVoice(uint32_t i, int force)
{
    CSoundVoice* voice = VoiceAt(i);
    if (voice == nullptr)
        return 0;
    UpdateVolumeAndPan(*voice, i, force);
    SoundGuard guard;
    const int playing = voice->IsPlaying();
    if (playing && !force && !(m_flags & FLAG_STATIC) && !voice->IsThreaded())
        voice->ServiceStream();
    if (!voice->IsPlaying() && !force && (m_flags & FLAG_CTRL3D) && voice->m_mode != CSoundVoice::MODE_DISABLE)
    {
        voice->m_mode = CSoundVoice::MODE_DISABLE;
        voice->ApplyLevels();
    }
    return 1;
}

int CSoundBuffer::UpdateVolumeAndPan(CSoundVoice& voice, uint32_t i, int force)
{
    bool fadeEnded = false;
    {
        SoundGuard guard;
        if (voice.m_fadeStep != 0)
        {
            int32_t volume = voice.m_volume + voice.m_fadeStep;
            if (voice.m_fadeStep >= 0)
            {
                if (volume >= 0 || volume >= voice.m_fadeTarget)
                {
                    volume = voice.m_fadeTarget;
                    voice.m_fadeStep = 0;
                }
            }
            else if (volume < -9999 || volume <= voice.m_fadeTarget)
            {
                volume = voice.m_fadeTarget;
                voice.m_fadeStep = 0;
                fadeEnded = true;
            }
            SetVolume(i, volume);
        }
    }
    // The end of a fade-out stops the voice outside the lock, since a stream
    // thread needs the lock to end.
    if (fadeEnded)
        Stop(i, 1);

    SoundGuard guard;
    CSound* sound = CSound::GetInstance();
    if (sound == nullptr || sound->GetListener() == nullptr || voice.m_mode != CSoundVoice::MODE_SOFTWARE)
        return 1;
    if (!voice.IsPlaying() && !force)
    {
        voice.m_mode = CSoundVoice::MODE_DISABLE;
        voice.m_appliedVolume = voice.m_volume;
        voice.m_appliedPan = voice.m_pan;
        voice.ApplyLevels();
        return 1;
    }
    ApplySoftware3D(voice);
    return 1;
}

void CSoundBuffer::ApplySoftware3D(CSoundVoice& voice)
{
    CSound* sound = CSound::GetInstance();
    const CListener* listener = sound != nullptr ? sound->GetListener() : nullptr;
    if (listener == nullptr)
        return;
    const CkvrVector3& at = listener->GetPosition();
    const float dx = voice.m_position.x - at.x;
    const float dy = voice.m_position.y - at.y;
    const float dz = voice.m_position.z - at.z;
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);

    int32_t applied = voice.m_volume;
    if (distance >= voice.m_maxDistance)
    {
        applied = -10000;
    }
    else if (distance > voice.m_minDistance)
    {
        const float drop = listener->GetRolloffFactor() * (distance - voice.m_minDistance) * 30.0f;
        const float lowered = static_cast<float>(voice.m_volume) - drop;
        applied = lowered <= -10000.0f ? -10000 : static_cast<int32_t>(lowered);
        if (applied > voice.m_volume)
            applied = voice.m_volume;
    }

    // Turn the offset into the listener's frame (a rotation about y by minus
    // the listener's heading); its x then says how far right the source is.
    // A source on the listener itself is centred.
    int32_t pan = 0;
    if (distance > 0.0f)
    {
        const CkvrVector3& front = listener->GetFront();
        const double heading = std::atan2(static_cast<double>(front.x), static_cast<double>(front.z));
        const double x = dx * std::cos(-heading) + dz * std::sin(-heading);
        pan = static_cast<int32_t>(x / distance * 10000.0);
    }
    voice.m_appliedVolume = applied;
    voice.m_appliedPan = ClampPan(pan);
    voice.ApplyLevels();
}
