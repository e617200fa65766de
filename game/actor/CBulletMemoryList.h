#pragma once

#include "engine/core/CMemoryList.h"
#include "game/actor/CBullet.h"

#include <cstdint>
#include <vector>

class CRenderList;
class CStateHash;
class IBulletWorld;

// The one bullet pool of a battle: 1024 slots, and a chain of the live ones
// in the order they were fired, which every pass walks so that all machines
// meet the same bullets in the same order.
class CBulletMemoryList : public CMemoryList<CBullet>
{
public:
    static constexpr uint32_t kCapacity = 1024;

    struct BodyHit
    {
        int32_t owner = -1;
        uint8_t power = 0;
    };

    // Filter for body hits: 1 when the bullet may hit this body.
    using AcceptBullet = bool (*)(const CBullet& bullet, void* context);

    CBulletMemoryList();
    const char* GetClassName() const override { return "CBulletMemoryList"; }

    // A bullet in the lowest free slot, at the end of the chain; null when
    // the pool is full.
    CBullet* Spawn();
    CBullet* GetHead() const;
    CBullet* GetNext(const CBullet* bullet) const;
    uint32_t GetLiveCount() const { return GetUsedCount(); }

    // Updates every live bullet in chain order, destroying those that end.
    void UpdateAll(uintptr_t argument);
    // Cancelling bullets first annul touching bullets of other owners; then
    // each bullet's step previous -> current meets the world (and dies).
    void HitTestAll(IBulletWorld* world);
    // The bullets of other owners whose step passes through one of the two
    // body spheres (x, y, z, r) and that accept allows; each one hit dies at
    // once, so no later body meets it.
    std::vector<BodyHit> HitTestBody(int32_t victim, const float spheres[2][4], AcceptBullet accept, void* context);
    void DestroyAll();
    // Queues every live bullet in chain order into the render list, which
    // draws them sorted; without a list each draws at once.
    void RenderAll(CRenderList* list);
    void HashState(CStateHash* hash) const;

private:
    // What a body pass reads of the live bullets, in chain order, one array
    // per field so that the boxes are tested many at a time: each bullet's
    // slot (-1 once a body took it) and owner, and the box its step sweeps
    // (low and high per axis), widened by its radius and a margin far above
    // rounding, so that a body whose spheres lie wholly outside that box
    // can't be hit by it.
    struct BodyTargets
    {
        std::vector<int32_t> slot;
        std::vector<int32_t> owner;
        std::vector<float> low[3];
        std::vector<float> high[3];
        // One byte per bullet, written by each pass: its box meets the body's.
        std::vector<uint8_t> near;
        void Clear();
    };

    int32_t IndexOf(const CBullet* bullet) const;
    // Takes the bullet out of the chain and the pool; Destroy also drops
    // the body targets, which every change of the live bullets does.
    void Unlink(CBullet* bullet);
    void Destroy(CBullet* bullet);
    void BuildBodyTargets();

    int32_t m_head = -1;
    int32_t m_tail = -1;
    // Kept from one body pass to the next while no bullet moves, comes or
    // goes but those the passes take.
    BodyTargets m_bodyTargets;
    bool m_bodyTargetsValid = false;
};
