#pragma once

#include "game/actor/CCharacter.h"

// A human fighter. With local input it packs the input object's pad into a
// record and applies that record, so that it acts on exactly what a replay
// or a peer receives; without it the battle applies records from elsewhere.
class CPlayer : public CCharacter
{
public:
    explicit CPlayer(const CCharacterDefinition* definition) : CCharacter(definition) {}
    const char* GetClassName() const override { return "CPlayer"; }
    int Update(uintptr_t argument) override;
    bool IsPlayer() const override { return true; }
};
