#pragma once

#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <vector>

class CCharacter;
class CGameDataLists;
class CStateHash;
class IActorEffects;
struct CElementAttackDefinition;
struct CWeaponDefinition;
struct tag_TOLQBATTLEFRAME;
struct tag_TOLQCHARASTATE;

// The element attack a fighter is running (elemental, burst or maximum).
// It keeps no clock of its own: it runs on the element-attack time of its
// fighter's state block, and marks the fighters it hit in that block's hit
// mask, so that the state hash sees all of it. Each key of its effect
// players plays once, on the step whose clock passes it; during its hit
// window its sphere hits each fighter and each box once.
class CElementAttack
{
public:
    // Runs definition from time 0 (null stops).
    void Start(const CElementAttackDefinition* definition);
    void Stop() { Start(nullptr); }
    bool IsRunning() const { return m_definition != nullptr; }
    const CElementAttackDefinition* GetDefinition() const { return m_definition; }

    // The state's element-attack time moves on to clock; every effect-player
    // key with time before <= key < clock plays through effects (null, as
    // for a preview: nothing plays) for the fighter at position facing yaw.
    void Advance(tag_TOLQCHARASTATE* state, uint32_t clock, IActorEffects* effects, uint32_t fighter,
                 const CkvrVector3& position, float yaw) const;

    // While the attacker's element-attack time is in [hit start, hit end):
    // a sphere of the attack's radius, reach in front of the attacker's
    // chest, hits every other fighter not yet in the attacker's hit mask
    // and every standing box not yet hit by this attack.
    void TestHits(tag_TOLQBATTLEFRAME* frame, CCharacter* attacker);

    // What the HUD shows in the weapon's place at attack time clock: the
    // attack's own weapon from the first-phase time on; null before it,
    // when not running, without one, or when the name does not resolve.
    const CWeaponDefinition* GetShownWeapon(uint32_t clock, const CGameDataLists* gameData) const;
    // The attack running (by name) and the boxes it has hit.
    void HashState(CStateHash* hash) const;

private:
    const CElementAttackDefinition* m_definition = nullptr;
    std::vector<uint32_t> m_boxesHit;
};
