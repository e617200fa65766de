#pragma once

// What the scene tests ask of a battle's HUD. Its records live behind this
// file: the HUD's menu record and the game application's are two
// definitions of one name until they are folded into one.

class CBattleScene;

namespace battle_probe
{
bool InIntro(const CBattleScene* battle);
bool Running(const CBattleScene* battle);
bool LoseMenuOpen(const CBattleScene* battle);
}
