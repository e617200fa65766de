#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>

struct CBulletDefinition;
class CMesh;
class CStateHash;

// One live bullet of the shared pool. It names its owner by fighter index,
// carries the weapon's power and moves in a straight line bent by gravity
// until its life (range / speed) is spent or it leaves the stage's extent.
class CBullet : public CObjectBase
{
public:
    CBullet() { SetKind(KIND_GAME_OBJECT); }

    const char* GetClassName() const override { return "CBullet"; }

    // Fires from position along velocity (units per second).
    void Setup(const CBulletDefinition* definition, int32_t owner, uint8_t team, uint8_t power,
               const CkvrVector3& position, const CkvrVector3& velocity, const float extent[6]);

    int Create(uintptr_t) override { return 1; }
    // Previous = position, gravity, move by the frame's step. 0 when spent
    // or outside the extent.
    int Update(uintptr_t argument) override;
    // Draws the definition's model (resolved by name at the first draw
    // after Setup; none draws nothing) at the position, turned to face the
    // velocity. The pool queues bullets in the render list, which calls
    // this back. 1 when drawn.
    int Render(uintptr_t argument) override;

    void HashState(CStateHash* hash) const;

    const CBulletDefinition* GetDefinition() const { return m_definition; }
    int32_t GetOwner() const { return m_owner; }
    uint8_t GetTeam() const { return m_team; }
    uint8_t GetPower() const { return m_power; }
    float GetBulletRadius() const { return m_bulletRadius; }
    bool Cancels() const { return m_cancels; }
    const CkvrVector3& GetPrevious() const { return m_previous; }
    const CkvrVector3& GetVelocity() const { return m_velocity; }
    uint32_t GetLifeMilliseconds() const { return m_life; }

    // The pool's live chain, by slot index (-1 ends it).
    int32_t chainNext = -1;
    int32_t chainPrevious = -1;

private:
    const CBulletDefinition* m_definition = nullptr;
    int32_t m_owner = -1;
    uint8_t m_team = 4;
    uint8_t m_power = 0;
    bool m_cancels = false;
    float m_gravity = 0.0f;
    float m_bulletRadius = 0.0f;
    CkvrVector3 m_previous;
    CkvrVector3 m_velocity;
    uint32_t m_life = 0;
    float m_extent[6] = {};
    // Drawing only.
    CMesh* m_mesh = nullptr;
    bool m_meshResolved = false;
};
