#pragma once

#include "engine/core/CObjectBase.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <memory>

struct CWeaponDefinition;
class CFiringWeapon;
class CGameDataLists;
class CLongWeapon;
class CMesh;
class CShortWeapon;
class CSpecialWeapon;
class CStateHash;
class IBattleStage;

// A weapon carried by a fighter or lying on the field: its template, its
// owner (fighter index, -1 none), and its ammunition record. The type byte
// of the template picks the class: close range 0-5 (CShortWeapon), long
// range 6-11 (CLongWeapon), special 12-16 (CSpecialWeapon); Make builds the
// right one, and nothing else makes weapons.
//
// While held, the weapon keeps a copy of its owner's position, yaw and hand
// offset, which the owner sets in its simulation step; the muzzle reads that
// copy, never a bone. The drawing follows the hand as the owner's pose moves
// it, when the owner's drawing gives it one. It takes no part in the state
// hash: it only repeats what the owner hashes.
class CWeapon : public CObjectBase
{
public:
    static constexpr uint32_t kFieldLifeMilliseconds = 100000;

    // What the HUD reads of a firing weapon: the rounds or uses left, a
    // zero word, then the reload clock (ms run of the current reload).
    // Close-range weapons keep it at zero.
    struct AmmoRecord
    {
        uint16_t count = 0;
        uint16_t reserved = 0;
        uint32_t reloadClock = 0;
    };
    static_assert(sizeof(AmmoRecord) == 8, "the HUD reads 2 + 2 + 4 bytes");

    // The class-specific block of the template.
    struct WeaponData
    {
        float motionSpeed = 1.0f;
        uint32_t flags = 0;
    };

    // The class of the template's type byte, full of ammunition; null for
    // no template or a type past 16.
    static std::unique_ptr<CWeapon> Make(const CWeaponDefinition* definition);

    CWeapon(const CWeapon&) = delete;
    CWeapon& operator=(const CWeapon&) = delete;
    ~CWeapon() override;

    const char* GetClassName() const override { return "CWeapon"; }
    const CWeaponDefinition* GetDefinition() const { return m_definition; }

    // The weapon itself when its type byte is in the class's range, else
    // null.
    CShortWeapon* AsShortWeapon();
    CLongWeapon* AsLongWeapon();
    CSpecialWeapon* AsSpecialWeapon();
    const CShortWeapon* AsShortWeapon() const;
    const CLongWeapon* AsLongWeapon() const;
    const CSpecialWeapon* AsSpecialWeapon() const;
    // Long and special weapons: the shared fire base.
    CFiringWeapon* AsFiringWeapon();
    const CFiringWeapon* AsFiringWeapon() const;
    bool IsShort() const { return AsShortWeapon() != nullptr; }
    bool IsLong() const { return AsLongWeapon() != nullptr; }
    bool IsSpecial() const { return AsSpecialWeapon() != nullptr; }
    bool Fires() const { return AsFiringWeapon() != nullptr; }

    // Full magazine or uses; 0 for close range.
    virtual uint16_t GetMaxAmmo() const { return 0; }
    // Rounds or uses left.
    uint16_t GetAmmo() const { return m_ammo.count; }
    uint32_t GetReloadClock() const { return m_ammo.reloadClock; }
    // One round or use; 0 when empty.
    uint32_t Spend();
    void Refill() { m_ammo.count = GetMaxAmmo(); }
    const WeaponData* GetWeaponData() const { return &m_weaponData; }

    int Create(uintptr_t) override { return 1; }
    // argument: the milliseconds of the step. Held and empty, the reload
    // clock runs to the reload time, then the weapon is full (a reload time
    // of 0 never reloads). On the field: 0 once it has lain there 100 s.
    int Update(uintptr_t argument) override;
    // Draws the template's model (resolved by name at the first draw; none
    // draws nothing) in the owner's hand while held (the drawn hand, else
    // the simulation's), else where it lies.
    // The model is solid, so it draws at once with depth writes; the render
    // list argument is not needed for that. 1 when drawn.
    int Render(uintptr_t argument) override;
    // The shadow pass of a field weapon: draws it on the ground (or a box
    // top) within 100 units below where it lies. Draws only: the weapon
    // stays where it is. 1 when drawn.
    uint32_t DropToGround(IBattleStage* stage);
    // Forgets the resolved model; the next draw resolves it again. Called
    // before a field weapon is deleted.
    void ReleaseRuntime();

    // The owner's pose, copied by the owner in its simulation step; the
    // game data resolves bullet names.
    void SetHolder(const CkvrVector3& position, float yaw, const CkvrVector3& handOffset,
                   const CGameDataLists* gameData);
    // The owner's hand in the world: the hand offset turned by the yaw.
    CkvrVector3 GetHandPosition() const;
    // Where the owner's drawing last posed its hand, as a world matrix; null
    // draws the hand offset turned by the yaw. Drawing only.
    void SetDrawnHand(const CkvrMatrix* hand);
    float GetHolderYaw() const { return m_holderYaw; }

    void HashState(CStateHash* hash) const;

    int32_t owner = -1;
    bool held = false;

    // An offset in the body's frame (x right, y up, z forward) turned by a
    // yaw in degrees, as firing turns it.
    static CkvrVector3 TurnByYaw(const CkvrVector3& offset, float yawDegrees);

protected:
    explicit CWeapon(const CWeaponDefinition* definition);

    AmmoRecord m_ammo;
    const CGameDataLists* m_gameData = nullptr;

private:
    CMesh* ResolveMesh();
    uint32_t DrawAt(const CkvrVector3& position, float yaw);
    uint32_t DrawWorld();

    const CWeaponDefinition* m_definition;
    WeaponData m_weaponData;
    uint32_t m_dropClock = 0;
    CkvrVector3 m_holderPosition;
    float m_holderYaw = 0.0f;
    CkvrVector3 m_handOffset;
    CkvrMatrix m_drawnHand;
    bool m_hasDrawnHand = false;
    CMesh* m_mesh = nullptr;
    bool m_meshResolved = false;
};
