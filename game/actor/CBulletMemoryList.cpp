#include "game/actor/CBulletMemoryList.h"

#include "engine/core/Collision.h"
#include "engine/render/CRenderList.h"
#include "game/actor/CBulletDefinition.h"
#include "game/actor/CStateHash.h"
#include "game/actor/IBulletWorld.h"

#include <cmath>

CBulletMemoryList::CBulletMemoryList()
{
    SetCount(kCapacity);
}

int32_t CBulletMemoryList::IndexOf(const CBullet* bullet) const
{
    return static_cast<int32_t>(bullet - this->m_data);
}

CBullet* CBulletMemoryList::Spawn()
{
    CBullet* bullet = Alloc();
    if (bullet == nullptr)
        return nullptr;
    m_bodyTargetsValid = false;
    const int32_t index = IndexOf(bullet);
    bullet->chainPrevious = m_tail;
    bullet->chainNext = -1;
    if (m_tail >= 0)
        this->m_data[m_tail].chainNext = index;
    else
        m_head = index;
    m_tail = index;
    return bullet;
}

CBullet* CBulletMemoryList::GetHead() const
{
    return m_head >= 0 ? this->m_data + m_head : nullptr;
}

CBullet* CBulletMemoryList::GetNext(const CBullet* bullet) const
{
    if (bullet == nullptr || bullet->chainNext < 0)
        return nullptr;
    return this->m_data + bullet->chainNext;
}

void CBulletMemoryList::Destroy(CBullet* bullet)
{
    m_bodyTargetsValid = false;
    Unlink(bullet);
}

void CBulletMemoryList::Unlink(CBullet* bullet)
{
    if (bullet->chainPrevious >= 0)
        this->m_data[bullet->chainPrevious].chainNext = bullet->chainNext;
    else
        m_head = bullet->chainNext;
    if (bullet->chainNext >= 0)
        this->m_data[bullet->chainNext].chainPrevious = bullet->chainPrevious;
    else
        m_tail = bullet->chainPrevious;
    Free(bullet);
}

void CBulletMemoryList::UpdateAll(uintptr_t argument)
{
    m_bodyTargetsValid = false;
    for (CBullet* bullet = GetHead(); bullet != nullptr;)
    {
        CBullet* next = GetNext(bullet);
        if (bullet->Update(argument) == 0)
            Destroy(bullet);
        bullet = next;
    }
}

void CBulletMemoryList::RenderAll(CRenderList* list)
{
    for (CBullet* bullet = GetHead(); bullet != nullptr; bullet = GetNext(bullet))
    {
        if (list == nullptr)
        {
            bullet->Render(0);
            continue;
        }
        // The list skips what lies wholly behind the camera.
        const float radius = bullet->GetDefinition() != nullptr ? bullet->GetDefinition()->radius : 0.0f;
        bullet->SetRadius(radius > 1.0f ? radius : 1.0f);
        list->Add(bullet, 0);
    }
}

void CBulletMemoryList::HitTestAll(IBulletWorld* world)
{
    m_bodyTargetsValid = false;
    // Annulled bullets are collected first, so that a cancelled cancelling
    // bullet still annuls what it touched in the same pass.
    std::vector<CBullet*> annulled;
    for (CBullet* a = GetHead(); a != nullptr; a = GetNext(a))
    {
        if (!a->Cancels())
            continue;
        const CkvrVector3* pa = a->GetPosition();
        for (CBullet* b = GetHead(); b != nullptr; b = GetNext(b))
        {
            if (b == a || b->GetOwner() == a->GetOwner())
                continue;
            const CkvrVector3* pb = b->GetPosition();
            const float sa[4] = {pa->x, pa->y, pa->z, a->GetBulletRadius()};
            const float sb[4] = {pb->x, pb->y, pb->z, b->GetBulletRadius()};
            if (HitSphereSphere(sa, sb) != 0)
                annulled.push_back(b);
        }
    }
    for (CBullet* bullet : annulled)
    {
        if (IsUsed(static_cast<uint32_t>(IndexOf(bullet))))
            Destroy(bullet);
    }
    if (world == nullptr)
        return;
    for (CBullet* bullet = GetHead(); bullet != nullptr;)
    {
        CBullet* next = GetNext(bullet);
        const CkvrVector3& start = bullet->GetPrevious();
        const CkvrVector3& end = *bullet->GetPosition();
        if (world->HitBulletSegment(start, end) != 0 || world->HitBulletBoxes(start, end, *bullet) != 0)
            Destroy(bullet);
        bullet = next;
    }
}

void CBulletMemoryList::BodyTargets::Clear()
{
    slot.clear();
    owner.clear();
    for (int axis = 0; axis < 3; ++axis)
    {
        low[axis].clear();
        high[axis].clear();
    }
}

void CBulletMemoryList::BuildBodyTargets()
{
    BodyTargets& targets = m_bodyTargets;
    targets.Clear();
    for (const CBullet* bullet = GetHead(); bullet != nullptr; bullet = GetNext(bullet))
    {
        targets.slot.push_back(IndexOf(bullet));
        targets.owner.push_back(bullet->GetOwner());
        const float* from = &bullet->GetPrevious().x;
        const float* to = &bullet->GetPosition()->x;
        for (int axis = 0; axis < 3; ++axis)
        {
            const float low = from[axis] < to[axis] ? from[axis] : to[axis];
            const float high = from[axis] > to[axis] ? from[axis] : to[axis];
            const float reach = bullet->GetBulletRadius() + RoundingMargin(low, high);
            targets.low[axis].push_back(low - reach);
            targets.high[axis].push_back(high + reach);
        }
    }
    targets.near.resize(targets.slot.size());
    m_bodyTargetsValid = true;
}

std::vector<CBulletMemoryList::BodyHit> CBulletMemoryList::HitTestBody(int32_t victim, const float spheres[2][4],
                                                                       AcceptBullet accept, void* context)
{
    std::vector<BodyHit> hits;
    if (!m_bodyTargetsValid)
        BuildBodyTargets();
    // The box around both body spheres: a bullet whose swept box misses it
    // misses both spheres, and only the others take the exact test.
    float low[3], high[3];
    for (int axis = 0; axis < 3; ++axis)
    {
        const float a = spheres[0][axis] - spheres[0][3], b = spheres[1][axis] - spheres[1][3];
        const float c = spheres[0][axis] + spheres[0][3], d = spheres[1][axis] + spheres[1][3];
        low[axis] = a < b ? a : b;
        high[axis] = c > d ? c : d;
    }
    BodyTargets& targets = m_bodyTargets;
    const size_t count = targets.slot.size();
    // Every box at once, without a branch, before the few near ones in order.
    const float* lowX = targets.low[0].data();
    const float* lowY = targets.low[1].data();
    const float* lowZ = targets.low[2].data();
    const float* highX = targets.high[0].data();
    const float* highY = targets.high[1].data();
    const float* highZ = targets.high[2].data();
    uint8_t* near = targets.near.data();
    for (size_t i = 0; i < count; ++i)
        near[i] = static_cast<uint8_t>((lowX[i] <= high[0]) & (highX[i] >= low[0]) & (lowY[i] <= high[1]) &
                                       (highY[i] >= low[1]) & (lowZ[i] <= high[2]) & (highZ[i] >= low[2]));
    for (size_t i = 0; i < count; ++i)
    {
        if (near[i] == 0 || targets.slot[i] < 0 || targets.owner[i] == victim)
            continue;
        CBullet* bullet = this->m_data + targets.slot[i];
        if (accept != nullptr && !accept(*bullet, context))
            continue;
        for (int s = 0; s < 2; ++s)
        {
            const float sphere[4] = {spheres[s][0], spheres[s][1], spheres[s][2],
                                     spheres[s][3] + bullet->GetBulletRadius()};
            if (HitSegmentSphere(&bullet->GetPrevious(), bullet->GetPosition(), sphere) == 0)
                continue;
            hits.push_back({bullet->GetOwner(), bullet->GetPower()});
            // Only this bullet leaves: the other targets stay as they are.
            Unlink(bullet);
            targets.slot[i] = -1;
            break;
        }
    }
    return hits;
}

void CBulletMemoryList::DestroyAll()
{
    m_bodyTargetsValid = false;
    while (m_head >= 0)
        Destroy(this->m_data + m_head);
}

void CBulletMemoryList::HashState(CStateHash* hash) const
{
    hash->U32(GetUsedCount());
    for (const CBullet* bullet = GetHead(); bullet != nullptr; bullet = GetNext(bullet))
    {
        hash->I32(IndexOf(bullet));
        bullet->HashState(hash);
    }
}
