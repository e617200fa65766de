// The screen the shop and the equipment screen share.
#include "game/scene/CPreviewScreen.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/render/CCamera.h"
#include "game/app/CController.h"
#include "game/app/GameServices.h"
#include "game/scene/ShopSheet.h"

#include <algorithm>

namespace
{
constexpr uint32_t kScreenFont = 1;
// The back button, at the foot on the left.
constexpr MenuPoint kBackAt{24.0f, 720.0f};
// A button that is not lit.
constexpr uint32_t kIdleButtonRgb = 0xB4B4B4u;
}

CPreviewScreen::CPreviewScreen() = default;

CPreviewScreen::~CPreviewScreen() = default;

void CPreviewScreen::Open(const tag_TOLQSCENEPARAM* param, const float eye[3], const float target[3])
{
    m_fades.Resume(param);
    m_noticeMilliseconds = 0;
    m_sheet = MenuScene::FindTexture("Select_01.dds");
    m_font = MenuScene::Font(kScreenFont);
    m_music = MenuScene::FindSound("Bgm_custom.ogg");
    m_camera = MenuScene::MakePreviewCamera(eye, target);
}

void CPreviewScreen::Close()
{
    m_camera.reset();
    m_preview.Clear();
}

uint32_t CPreviewScreen::BeginUpdate()
{
    const uint32_t milliseconds = GetElapsedMilliseconds();
    g_pController->UpdateBackgroundEffect();
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    m_noticeMilliseconds -= std::min(m_noticeMilliseconds, milliseconds);
    return milliseconds;
}

int CPreviewScreen::LeaveToTitle(uint32_t ringItem)
{
    return MenuScene::LeaveToTitleMenu(m_music, ringItem);
}

CMenuPainter CPreviewScreen::BeginRender(const MenuCell& title)
{
    CGraphics* graphics = g_pController->GetGraphics();
    m_camera->Apply();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    g_pController->DrawBackground(MenuColor(MenuRole::Focused, m_fades.background.Level()));
    m_preview.Render(m_camera.get());
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    const CMenuPainter painter(MenuScene::Layout());
    MenuScene::DrawMenuFrame(painter, m_sheet, title, 0.0f, m_fades.screen.Level());
    return painter;
}

uint32_t CPreviewScreen::ButtonColor(bool lit) const
{
    return lit ? Color(MenuRole::Focused) : Tint(kIdleButtonRgb);
}

void CPreviewScreen::DrawBackButton(const CMenuPainter& painter, bool lit) const
{
    painter.Picture(m_sheet, ShopSheet::kBackButton, kBackAt, ButtonColor(lit));
}

void CPreviewScreen::DrawNotice(const CMenuPainter& painter, const MenuRect& rect, const char* gameText) const
{
    if (m_noticeMilliseconds > 0)
        MenuScene::DrawNotice(painter, m_sheet, m_font, rect, gameText, m_fades.screen.Level());
}

uint32_t CPreviewScreen::Tint(uint32_t rgb) const
{
    return MenuAlpha(m_fades.screen.Level()) << 24 | rgb;
}

MenuRect CPreviewScreen::BackRect()
{
    return ShopSheet::kBackButton.PlacedAt(kBackAt.x, kBackAt.y);
}
