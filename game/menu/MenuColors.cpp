// Role colours of the menu screens.
#include "game/menu/MenuColors.h"

namespace
{
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kLightGrey = 0xB4B4B4;
constexpr uint32_t kGrey = 0x888888;
constexpr uint32_t kBlack = 0x000000;
// A pop-up panel lets three quarters of what is under it through dimmed.
constexpr float kPanelOpacity = 0.75f;
}

uint32_t MenuAlpha(float alpha)
{
    if (!(alpha > 0.0f))
        return 0;
    if (alpha >= 1.0f)
        return 255;
    return static_cast<uint32_t>(alpha * 255.0f);
}

uint32_t MenuColor(MenuRole role, float alpha)
{
    switch (role)
    {
    case MenuRole::Focused:
        return MenuAlpha(alpha) << 24 | kWhite;
    case MenuRole::Unfocused:
        return MenuAlpha(alpha) << 24 | kLightGrey;
    case MenuRole::Dimmed:
        return MenuAlpha(alpha) << 24 | kGrey;
    case MenuRole::Outline:
        return MenuAlpha(alpha) << 24 | kBlack;
    case MenuRole::Panel:
        return MenuAlpha(alpha * kPanelOpacity) << 24 | kBlack;
    }
    return MenuAlpha(alpha) << 24 | kWhite;
}
