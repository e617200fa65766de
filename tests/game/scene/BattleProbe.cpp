#include "tests/game/scene/BattleProbe.h"

#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"

namespace
{
const CBattleConsole* Console(const CBattleScene* battle)
{
    return battle != nullptr ? const_cast<CBattleScene*>(battle)->GetConsole() : nullptr;
}
}

namespace battle_probe
{
bool InIntro(const CBattleScene* battle)
{
    return Console(battle) != nullptr && Console(battle)->GetPhase() == ConsolePhase::Intro;
}

bool Running(const CBattleScene* battle)
{
    return Console(battle) != nullptr && Console(battle)->GetPhase() == ConsolePhase::Running;
}

bool LoseMenuOpen(const CBattleScene* battle)
{
    return Console(battle) != nullptr && Console(battle)->GetState().currentMenu == ConsoleMenu::Lose;
}

void SetTimeLeft(CBattleScene* battle, uint32_t milliseconds)
{
    if (battle != nullptr && battle->GetConsole() != nullptr)
        battle->GetConsole()->GetStateForUpdate()->timeLeft = milliseconds;
}
}
