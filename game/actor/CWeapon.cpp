#include "game/actor/CWeapon.h"

#include "engine/core/DeterministicMath.h"
#include "engine/core/MathConstants.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CMesh.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CLongWeapon.h"
#include "game/actor/CShortWeapon.h"
#include "game/actor/CSpecialWeapon.h"
#include "game/actor/CStateHash.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/actor/GroundShadow.h"
#include "game/actor/IBattleStage.h"

namespace
{
bool TypeIn(const CWeaponDefinition* definition, uint8_t first, uint8_t last)
{
    return definition != nullptr && definition->type >= first && definition->type <= last;
}
}

std::unique_ptr<CWeapon> CWeapon::Make(const CWeaponDefinition* definition)
{
    if (definition == nullptr)
        return nullptr;
    if (definition->type <= 5)
        return std::make_unique<CShortWeapon>(definition);
    if (definition->type <= 11)
        return std::make_unique<CLongWeapon>(definition);
    if (definition->type <= 16)
        return std::make_unique<CSpecialWeapon>(definition);
    return nullptr;
}

CWeapon::CWeapon(const CWeaponDefinition* definition) : m_definition(definition)
{
    SetKind(KIND_GAME_OBJECT);
    if (definition != nullptr)
    {
        m_weaponData.motionSpeed = definition->motionSpeed;
        m_weaponData.flags = definition->flags;
        SetName(definition->name);
    }
}

CWeapon::~CWeapon() = default;

CShortWeapon* CWeapon::AsShortWeapon()
{
    return TypeIn(m_definition, 0, 5) ? dynamic_cast<CShortWeapon*>(this) : nullptr;
}

CLongWeapon* CWeapon::AsLongWeapon()
{
    return TypeIn(m_definition, 6, 11) ? dynamic_cast<CLongWeapon*>(this) : nullptr;
}

CSpecialWeapon* CWeapon::AsSpecialWeapon()
{
    return TypeIn(m_definition, 12, 16) ? dynamic_cast<CSpecialWeapon*>(this) : nullptr;
}

const CShortWeapon* CWeapon::AsShortWeapon() const
{
    return const_cast<CWeapon*>(this)->AsShortWeapon();
}

const CLongWeapon* CWeapon::AsLongWeapon() const
{
    return const_cast<CWeapon*>(this)->AsLongWeapon();
}

const CSpecialWeapon* CWeapon::AsSpecialWeapon() const
{
    return const_cast<CWeapon*>(this)->AsSpecialWeapon();
}

CFiringWeapon* CWeapon::AsFiringWeapon()
{
    if (CLongWeapon* weapon = AsLongWeapon())
        return weapon;
    return AsSpecialWeapon();
}

const CFiringWeapon* CWeapon::AsFiringWeapon() const
{
    return const_cast<CWeapon*>(this)->AsFiringWeapon();
}

uint32_t CWeapon::Spend()
{
    if (m_ammo.count == 0)
        return 0;
    --m_ammo.count;
    m_ammo.reloadClock = 0;
    return 1;
}

int CWeapon::Update(uintptr_t argument)
{
    const uint32_t milliseconds = static_cast<uint32_t>(argument);
    if (owner < 0)
    {
        m_dropClock += milliseconds;
        return m_dropClock >= kFieldLifeMilliseconds ? 0 : 1;
    }
    m_dropClock = 0;
    if (!Fires() || m_ammo.count != 0 || m_definition->reloadTime == 0)
        return 1;
    m_ammo.reloadClock += milliseconds;
    if (m_ammo.reloadClock >= m_definition->reloadTime)
    {
        m_ammo.reloadClock = 0;
        Refill();
    }
    return 1;
}

void CWeapon::SetHolder(const CkvrVector3& position, float yaw, const CkvrVector3& handOffset,
                        const CGameDataLists* gameData)
{
    m_holderPosition = position;
    m_holderYaw = yaw;
    m_handOffset = handOffset;
    m_gameData = gameData;
}

CkvrVector3 CWeapon::TurnByYaw(const CkvrVector3& offset, float yawDegrees)
{
    const float yaw = DegreeToRadian(yawDegrees);
    const float s = KvrSin(yaw), c = KvrCos(yaw);
    return CkvrVector3(offset.x * c + offset.z * s, offset.y, offset.z * c - offset.x * s);
}

CkvrVector3 CWeapon::GetHandPosition() const
{
    const CkvrVector3 hand = TurnByYaw(m_handOffset, m_holderYaw);
    return CkvrVector3(m_holderPosition.x + hand.x, m_holderPosition.y + hand.y, m_holderPosition.z + hand.z);
}

CMesh* CWeapon::ResolveMesh()
{
    if (!m_meshResolved && m_definition != nullptr)
    {
        m_mesh = CActorResources::FindMesh(m_definition->model);
        m_meshResolved = true;
    }
    return m_mesh;
}

void CWeapon::ReleaseRuntime()
{
    m_mesh = nullptr;
    m_meshResolved = false;
}

// The world matrix goes into the drawing's own member; the placement that
// the simulation reads stays untouched.
uint32_t CWeapon::DrawAt(const CkvrVector3& position, float yaw)
{
    m_world.SetRotation(0.0f, yaw, 0.0f);
    m_world.m[12] = position.x;
    m_world.m[13] = position.y;
    m_world.m[14] = position.z;
    return DrawWorld();
}

uint32_t CWeapon::DrawWorld()
{
    CMesh* mesh = ResolveMesh();
    if (mesh == nullptr)
        return 0;
    if (CGraphics* graphics = CMesh::GetGraphics())
        graphics->SetBlendMode(GetBlendMode());
    return mesh->DrawStatic(&m_world, nullptr);
}

void CWeapon::SetDrawnHand(const CkvrMatrix* hand)
{
    m_hasDrawnHand = hand != nullptr;
    if (hand != nullptr)
        m_drawnHand = *hand;
}

int CWeapon::Render(uintptr_t)
{
    if (!held)
        return static_cast<int>(DrawAt(m_position, m_rotation.y));
    if (!m_hasDrawnHand)
        return static_cast<int>(DrawAt(GetHandPosition(), m_holderYaw));
    m_world = m_drawnHand;
    return static_cast<int>(DrawWorld());
}

uint32_t CWeapon::DropToGround(IBattleStage* stage)
{
    if (held || stage == nullptr)
        return 0;
    CkvrVector3 ground;
    if (!GroundShadow::FindGround(stage, m_position, &ground))
        return 0;
    return DrawAt(CkvrVector3(m_position.x, ground.y, m_position.z), m_rotation.y);
}

void CWeapon::HashState(CStateHash* hash) const
{
    hash->Text(m_definition != nullptr ? m_definition->name : nullptr);
    hash->I32(owner);
    hash->U8(held ? 1 : 0);
    hash->U32(m_ammo.count);
    hash->U32(m_ammo.reloadClock);
    hash->U32(m_dropClock);
}
