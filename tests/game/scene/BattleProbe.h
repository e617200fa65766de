#pragma once

// What the mode scenes' tests ask of a battle's HUD, and tell it.

#include <cstdint>

class CBattleScene;

namespace battle_probe
{
bool InIntro(const CBattleScene* battle);
bool Running(const CBattleScene* battle);
bool LoseMenuOpen(const CBattleScene* battle);
// The HUD's time left, in milliseconds.
void SetTimeLeft(CBattleScene* battle, uint32_t milliseconds);
}
