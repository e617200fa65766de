#pragma once

// What the scene tests ask of a battle's HUD. Its records live behind this
// file: the HUD's menu record and the game application's are two
// definitions of one name until they are folded into one.

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
