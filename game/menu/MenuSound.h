#pragma once

#include <cstdint>

// The sounds of menus, played by the items themselves through the frame.
enum class MenuSound : uint8_t
{
    Cursor, // the cursor moved ("Se_select.ogg")
    Decide, // a choice was made ("Se_decide.ogg")
    Cancel, // backing out ("Se_cancel.ogg")
    Error,  // a choice that can't be taken (the cancel sound)
};

// Whoever plays the menu sounds (the game application).
class IMenuSounds
{
public:
    virtual ~IMenuSounds() = default;
    virtual void PlayMenuSound(MenuSound sound) = 0;
};
