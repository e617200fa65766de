#pragma once

#include <cstdint>
#include <memory>

class CBattleScene;
class CGameConfig;
struct tag_TOLQBATTLESETTING;

// What the story and mission scenes do alike around the battle each of them
// runs: fill the setting from the play data and the game data, give the
// HUD the menus the mode handles, and read what the player chose at the
// end. The HUD's records stay behind this file.
namespace ModeBattle
{
// The menus a mode's HUD offers. Both pause with "back to the battle",
// "retry" and "back to the title" (missions also "back to the selection");
// a won battle closes by itself; a lost or drawn one offers the rest.
enum class Mode : uint8_t
{
    Story,
    Mission,
};

// What the player chose, once the battle has finished.
enum class Choice : uint8_t
{
    Playing,  // the battle goes on
    Retry,    // the same battle again
    Title,    // back to the title
    Select,   // back to the mode's selection
    Continue, // a won battle, or nothing chosen: the mode goes on
};

// The fields a mode sets before its battle starts: entry 0's six clothes
// become copies of what the play data holds for its character (the
// setting's texts are its own aligned copies, as the story readers make
// them, and the old ones are freed), every entry gets its radio messages as
// every battle's seats do (GiveSeatRadioChat: the player its own, the
// others their character's), and the stage count is the stage list's. An
// entry whose character has no play data or no definition keeps what it
// had.
void PrepareSetting(tag_TOLQBATTLESETTING* setting, CGameConfig* config);

// The HUD's four menus, after the battle's Init and before its first
// update.
void InstallMenus(CBattleScene* battle, Mode mode);

// Playing until the battle has finished, then the choice of its menus.
Choice Finished(const CBattleScene* battle);

// The mode's battle on setting: the setting prepared (PrepareSetting, and
// no replay), the battle built with the game's settings and given the
// mode's menus. Null when it can't be built; the caller says why.
std::unique_ptr<CBattleScene> Start(tag_TOLQBATTLESETTING* setting, Mode mode, CGameConfig* config);
// One frame of the battle, then what Finished says.
Choice Step(CBattleScene* battle, uintptr_t argument);
// The battle released and gone (nothing when there is none).
void Release(std::unique_ptr<CBattleScene>& battle);
}
