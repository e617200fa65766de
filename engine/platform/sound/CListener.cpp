#define AL_ALEXT_PROTOTYPES
#include "engine/platform/sound/CListener.h"

#include "engine/platform/sound/CSound.h"

#include <AL/alext.h>

#include <mutex>

namespace
{
// OpenAL is right-handed: z points out of the screen.
void ToOpenAl(const CkvrVector3& v, ALfloat* out)
{
    out[0] = v.x;
    out[1] = v.y;
    out[2] = -v.z;
}

constexpr float kSpeedOfSound = 343.3f;
}

CListener::CListener() = default;

CListener::CListener(CSound* owner) : m_owner(owner)
{
}

CListener::CListener(CSound* owner, uint32_t mode) : m_mode(mode), m_owner(owner)
{
}

CListener::CListener(const CListener& other) = default;

CListener& CListener::operator=(const CListener& other) = default;

CListener::~CListener()
{
    if (m_owner == nullptr)
        return;
    std::lock_guard<CSound::Mutex> lock(m_owner->GetMutex());
    if (m_owner->GetListener() == this)
        m_owner->SetListener(nullptr);
}

void CListener::SetPosition(const CkvrVector3* position)
{
    if (position != nullptr)
        m_position = *position;
}

void CListener::SetVelocity(const CkvrVector3* velocity)
{
    if (velocity != nullptr)
        m_velocity = *velocity;
}

void CListener::SetOrientation(const CkvrVector3* front, const CkvrVector3* top)
{
    if (front != nullptr)
        m_front = *front;
    if (top != nullptr)
        m_top = *top;
}

void CListener::SetFactors(float distance, float doppler, float rolloff)
{
    m_distanceFactor = distance;
    m_dopplerFactor = doppler;
    m_rolloffFactor = rolloff;
}

int CListener::Apply()
{
    if (m_owner == nullptr)
        return 0;
    std::lock_guard<CSound::Mutex> lock(m_owner->GetMutex());
    m_owner->SetListener(this);
    if (m_mode != MODE_DEVICE || m_owner->GetContext() == nullptr)
        return 1;
    ALfloat position[3];
    ALfloat velocity[3];
    ALfloat orientation[6];
    ToOpenAl(m_position, position);
    ToOpenAl(m_velocity, velocity);
    ToOpenAl(m_front, orientation);
    ToOpenAl(m_top, orientation + 3);
    // The distance factor is metres per unit of the game; OpenAL wants the
    // speed of sound in the game's units.
    const float distanceFactor = m_distanceFactor > 0.0f ? m_distanceFactor : 1.0f;
    alDeferUpdatesSOFT();
    alListenerfv(AL_POSITION, position);
    alListenerfv(AL_VELOCITY, velocity);
    alListenerfv(AL_ORIENTATION, orientation);
    alDopplerFactor(m_dopplerFactor >= 0.0f ? m_dopplerFactor : 0.0f);
    alSpeedOfSound(kSpeedOfSound / distanceFactor);
    alProcessUpdatesSOFT();
    return 1;
}
