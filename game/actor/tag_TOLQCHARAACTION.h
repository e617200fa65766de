#pragma once

#include <cstdint>

// A fighter's action block: what it carries and the weapon palette.
struct tag_TOLQCHARAACTION
{
    static constexpr uint8_t kNoSlot = 10;
    // The palette's list on show: the short weapons or the others.
    enum SelectMode : uint8_t
    {
        SELECT_NONE = 0,
        SELECT_SHORT = 1,
        SELECT_OTHERS = 2,
    };

    uint8_t weight = 0;
    uint8_t mainSlot = kNoSlot; // in hand
    uint8_t subSlot = kNoSlot;  // the other category's
    uint8_t cursorSlot = 0;
    uint8_t team = 4;
    uint8_t weaponChange = 0;
    uint8_t palette = 0;
    uint32_t switchClock = 0;
    uint8_t switchDirection = 0; // 1 open, 2 close
    float effectTime = 0.0f;     // seconds of the longest item timer
    uint32_t notice = 0;
    uint32_t noticeClock = 0;
    uint32_t pickedWord = 0; // slot + 1
    uint32_t blessing = 0;

    uint8_t selectMode = SELECT_NONE; // the cursor's list; kept while the closed list slides out
    uint8_t stepDirection = 0;        // the cursor's last step: 1 up, 2 down, 3 into the other list
    uint32_t stepClock = 0;           // ms since that step
    int32_t targetedFieldWeapon = -1;
};
