#pragma once

#include <cstdint>

// What fighters tell the battle HUD: kill-feed lines and radio messages.
// The HUD implements it; a null console hears nothing.
class IBattleConsole
{
public:
    virtual ~IBattleConsole() = default;
    // A kill-feed line: team is the fallen fighter's team (4 without
    // teams), fallen its index.
    virtual void ShowMessage(const char* text, uint32_t team, uint32_t fallen) = 0;
    virtual void AddRadioMessage(uint32_t fighter, uint32_t message) = 0;
};
