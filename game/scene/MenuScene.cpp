// Helpers shared by the menu scenes.
#include "game/scene/MenuScene.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/scene/MenuScreenSheet.h"
#include "game/scene/ShopSheet.h"

#include <algorithm>

namespace
{
// The menu frame, in layout units.
constexpr float kTopBandY = 8.0f;
constexpr float kUnderTitleBandY = 80.0f;
constexpr float kBottomBandBottom = 768.0f - 16.0f;
constexpr float kTitleTop = 32.0f;
constexpr float kTitleBottom = 80.0f;
// "Bgm_custom.ogg" loops from here.
constexpr float kCustomMusicLoop = 7.717f;
// The title's states: its picture and its menu.
constexpr uint32_t kTitlePicture = 2;
constexpr uint32_t kTitleMenu = 3;
// The preview camera.
constexpr int kPreviewFov = 30;
constexpr float kAspect4x3 = 1.333333f;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
constexpr float kUp[3] = {0.0f, 1.0f, 0.0f};
constexpr float kNoticeTextSize = 20.0f;
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

void MoveMouseTo(CMenuFrame& frame, MenuPoint point)
{
    frame.PointerWarped(point);
    if (g_pInput == nullptr)
        return;
    const MenuPoint pixels = frame.Layout().LayoutToCursor(point);
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

void ScreenFades::Resume(const tag_TOLQSCENEPARAM* param)
{
    background = MenuFade();
    screen = MenuFade();
    if (param == nullptr)
        return;
    background.SetLevel(param->fade);
    screen.SetLevel(param->fade2);
    spare = param->fade3;
}

bool ScreenFades::StepIn(CSoundBuffer* music, uint32_t milliseconds)
{
    g_pController->PlayBgm(music, MusicVolume(), kMusicFadeIn, kCustomMusicLoop);
    screen.SetTarget(1.0f);
    const bool in = screen.Step(milliseconds);
    background.RaiseTo(screen.Level());
    return in;
}

bool ScreenFades::StepOut(uint32_t milliseconds)
{
    screen.SetTarget(0.0f);
    return screen.Step(milliseconds);
}

int LeaveToTitleMenu(CSoundBuffer* music, uint32_t ringItem)
{
    FadeOutMusic(music);
    return g_pController->ChangeScene(CController::SCENE_TITLE, kTitleMenu, 1.0f, ringItem);
}

int LeaveToTitlePicture(uint32_t ringItem)
{
    return g_pController->ChangeScene(CController::SCENE_TITLE, kTitlePicture, 0.0f, ringItem);
}

std::unique_ptr<CCamera> MakePreviewCamera(const float eye[3], const float target[3])
{
    auto camera = std::make_unique<CCamera>();
    g_pController->SetCameraViewport(camera.get());
    camera->SetProjection(kPreviewFov, kAspect4x3, kCameraNear, kCameraFar);
    camera->SetLookAt(eye, target, kUp);
    return camera;
}

uint32_t OffsetPositions(uint32_t count, uint32_t rows)
{
    return count > rows ? count - (rows - 1) : 1;
}

uint32_t ScrollOffset(float y, const MenuRect& bar, uint32_t positions)
{
    if (positions == 0 || y <= bar.top)
        return 0;
    if (y >= bar.bottom)
        return positions - 1;
    return std::min(static_cast<uint32_t>((y - bar.top) / (bar.Height() / static_cast<float>(positions))),
                    positions - 1);
}

void DrawNotice(const CMenuPainter& painter, CTexture* sheet, CFontTexture* font, const MenuRect& rect,
                const char* gameText, float alpha)
{
    const uint32_t white = MenuColor(MenuRole::Focused, alpha);
    painter.Frame(sheet, ShopSheet::kFrame, ShopSheet::kFrameBorder, rect, white);
    painter.TextFit(font, rect, MenuAnchor::Centre, kNoticeTextSize, white, gameText);
}
}
