#pragma once

#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "game/app/tag_TOLQMENU.h"

#include <cstdint>
#include <vector>

class CCharacter;
class CStage;
struct CFieldLists;

// The HUD's phases; the numbers are those the battle and the mode scenes
// test.
enum class ConsolePhase : uint32_t
{
    Running = 0,
    Intro = 1,
    Ready = 2, // the ready/go call
    Win = 3,
    Lose = 4,
    Draw = 5,
    Finish = 6, // the closing fade; final
};

// The phases after the battle's end: its result and the closing fade.
constexpr bool IsEndPhase(ConsolePhase phase)
{
    return phase == ConsolePhase::Win || phase == ConsolePhase::Lose || phase == ConsolePhase::Draw ||
           phase == ConsolePhase::Finish;
}

// Which of the HUD's four menus is open.
enum class ConsoleMenu : uint32_t
{
    None = 0,
    Pause = 1,
    Win = 2,
    Lose = 3,
    Draw = 4,
};

// The codes a menu item carries, and the battle's result code: what the mode
// scene does once the battle has finished.
enum BattleResultCode : int8_t
{
    RESULT_UNDECIDED = 0,
    RESULT_RETRY = 1,           // retry, or play the replay again
    RESULT_TITLE = 2,           // back to the title
    RESULT_LOBBY_CLOSE = 3,     // back to the lobby, the room owner closing the room
    RESULT_LOBBY_LEAVE = 4,     // back to the lobby, leaving the room
    RESULT_MODE_SELECT = 5,     // back to the mode (or mission) selection
    RESULT_CHARACTER_SELECT = 6,
    RESULT_REPLAY_SELECT = 7,
    RESULT_RESUME = 8, // close the menu; as a result: nothing chosen
};

// One key of the HUD camera, its time counted from the camera's start.
struct tag_TOLQCAMERAKEY
{
    uint32_t time = 0;
    float distance = 0.0f;
    CkvrVector3 angles;  // degrees, added to the focused fighter's rotation
    CkvrVector3 offset;  // added to the focused fighter's position
};

// One radio line, newest first in the state's array.
struct tag_TOLQRADIOLINE
{
    static constexpr uint32_t kTextSize = 64;
    uint8_t team = 0;
    uint32_t clock = 0;
    CCharacter* sender = nullptr;
    char text[kTextSize] = {};
    uint32_t shown = 0;
};

// Everything the HUD runs on and draws from. Clocks are milliseconds.
struct tag_TOLQCONSOLESTATE
{
    static constexpr uint32_t kMessageSize = 64;
    static constexpr uint32_t kRadioLines = 4;

    ConsolePhase phase = ConsolePhase::Running;
    CkvrVector4 hudColour = {1.0f, 1.0f, 1.0f, 1.0f};
    CCharacter* focused = nullptr;     // whose gauges show; the camera follows it
    CCharacter** characters = nullptr; // players, then NPCs; entries may be null
    uint32_t characterCount = 0;
    CStage* stage = nullptr;
    CFieldLists* field = nullptr; // weapons and items lying on the field
    uint32_t timeLeft = 0;        // 1000000: no limit
    uint32_t hudClock = 0;
    uint32_t phaseClock = 0;
    uint32_t poseMark = 0;    // phase time from which the poses are driven
    uint32_t cameraStart = 0; // phase times between which the HUD drives the camera
    uint32_t phaseEnd = 0;
    uint32_t cameraEnd = 0;
    std::vector<tag_TOLQCAMERAKEY> cameraKeys;
    float fade = 0.0f; // 0 clear, 1 black
    uint32_t voiceIndex = 0;
    uint32_t voiceStep = 0; // 0 none played, 1 ready played, 2 go played
    ConsoleMenu currentMenu = ConsoleMenu::None;
    int8_t resultCode = RESULT_UNDECIDED;
    tag_TOLQMENU winMenu;
    tag_TOLQMENU loseMenu;
    tag_TOLQMENU drawMenu;
    tag_TOLQMENU pauseMenu;
    uint32_t messageClock = 0;
    char messageText[kMessageSize] = {};
    uint32_t messageShown = 0;
    tag_TOLQRADIOLINE radio[kRadioLines];
    uint32_t participantClock = 0;
    uint32_t participantShown = 0;
};
