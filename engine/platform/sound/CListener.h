#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CSound;

// The 3D listener: the game fills it from its camera and applies it once
// per frame. In mode 0 it becomes OpenAL's listener; in mode 1 (software
// 3D) nothing goes to OpenAL and voices in software 3D compute their own
// volume and pan from it.
class CListener
{
public:
    enum : uint32_t
    {
        MODE_DEVICE = 0,
        MODE_SOFTWARE = 1,
    };

    CListener();
    explicit CListener(CSound* owner);
    CListener(CSound* owner, uint32_t mode);
    CListener(const CListener& other);
    CListener& operator=(const CListener& other);
    virtual ~CListener();

    virtual const char* GetClassName() const { return "CListener"; }

    void SetPosition(const CkvrVector3* position);
    void SetVelocity(const CkvrVector3* velocity);
    void SetOrientation(const CkvrVector3* front, const CkvrVector3* top);
    void SetFactors(float distance, float doppler, float rolloff);

    // Makes this the owner's current listener and, in mode 0, hands the
    // whole state to OpenAL in one deferred batch. 0 without an owner.
    int Apply();

    float GetRolloffFactor() const { return m_rolloffFactor; }
    uint32_t GetMode() const { return m_mode; }
    const CkvrVector3& GetPosition() const { return m_position; }
    const CkvrVector3& GetFront() const { return m_front; }
    const CkvrVector3& GetTop() const { return m_top; }

private:
    CkvrVector3 m_position;
    CkvrVector3 m_velocity;
    CkvrVector3 m_front = {0.0f, 0.0f, 1.0f};
    CkvrVector3 m_top = {0.0f, 1.0f, 0.0f};
    float m_distanceFactor = 1.0f;
    float m_dopplerFactor = 1.0f;
    float m_rolloffFactor = 1.0f;
    uint32_t m_mode = MODE_DEVICE;
    CSound* m_owner = nullptr;
};
