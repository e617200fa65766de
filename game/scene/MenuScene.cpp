// Helpers shared by the menu scenes.
#include "game/scene/MenuScene.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/scene/MenuScreenSheet.h"

namespace
{
// The menu frame, in layout units.
constexpr float kTopBandY = 8.0f;
constexpr float kUnderTitleBandY = 80.0f;
constexpr float kBottomBandBottom = 768.0f - 16.0f;
constexpr float kTitleTop = 32.0f;
constexpr float kTitleBottom = 80.0f;
}

namespace MenuScene
{
CTexture* FindTexture(const char* fileName)
{
    return g_pResourceController != nullptr ? g_pResourceController->GetTextureList().FindByFileName(fileName)
                                            : nullptr;
}

CSoundBuffer* FindSound(const char* fileName)
{
    return g_pResourceController != nullptr ? g_pResourceController->GetSoundList().FindByFileName(fileName) : nullptr;
}

CFontTexture* Font(uint32_t index)
{
    return g_pController != nullptr ? g_pController->GetFont(index) : nullptr;
}

CMenuLayout Layout()
{
    return CMenuLayout::ForGraphics(g_pController != nullptr ? g_pController->GetGraphics() : nullptr,
                                    MenuScaleRule::Menu4x3);
}

MenuKeys ReadKeys(const CMenuLayout& layout)
{
    if (g_pInput == nullptr)
        return MenuKeys();
    float mouse[2] = {};
    g_pInput->GetMousePosition(mouse);
    return MenuKeys::FromPad(g_pInput->GetPadState(0), layout, {mouse[0], mouse[1]});
}

void MoveMouseTo(const CMenuLayout& layout, MenuPoint point)
{
    if (g_pInput == nullptr)
        return;
    const MenuPoint pixels = layout.LayoutToCursor(point);
    const float mouse[2] = {pixels.x, pixels.y};
    g_pInput->SetMousePosition(mouse);
}

int32_t MusicVolume()
{
    return g_pController != nullptr && g_pController->GetGameConfig() != nullptr
               ? g_pController->GetGameConfig()->GetData()->bgmVolume
               : 0;
}

void FadeOutMusic(CSoundBuffer* music)
{
    if (music != nullptr)
        music->Fade(0, kMusicFadeOut);
}

void DrawMenuFrame(const CMenuPainter& painter, CTexture* sheet, const MenuCell& title, float backgroundAlpha,
                   float foregroundAlpha)
{
    if (g_pController != nullptr)
        g_pController->DrawBackground(MenuColor(MenuRole::Focused, backgroundAlpha));
    const uint32_t color = MenuColor(MenuRole::Focused, foregroundAlpha);
    const float width = painter.Layout().Area().right;
    // Four-pixel strips stretched over the whole width.
    const float across = width / MenuScreenSheet::kTopBand.Width();
    painter.PictureStretched(sheet, MenuScreenSheet::kTopBand, {0.0f, kTopBandY}, across, 1.0f, color);
    painter.PictureStretched(sheet, MenuScreenSheet::kUnderTitleBand, {0.0f, kUnderTitleBandY}, across, 1.0f, color);
    painter.PictureStretched(sheet, MenuScreenSheet::kBottomBand, {0.0f, kBottomBandBottom}, across, 1.0f, color,
                             MenuAnchor::BottomLeft);
    painter.Picture(sheet, title, {width * 0.5f, kTitleTop}, color, MenuAnchor::Top);
    const float half = title.Width() * 0.5f;
    painter.Fill({0.0f, kTitleTop, width * 0.5f - half, kTitleBottom}, color);
    painter.Fill({width * 0.5f + half, kTitleTop, width, kTitleBottom}, color);
}
}
