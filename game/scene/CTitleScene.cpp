// The title: logo, opening movie, title picture and the ring menu.
//
// Sections: set-up and release; update, one function per state; the
// flying element; drawing (layout table above it).
#include "game/scene/CTitleScene.h"

#include "engine/core/CRandom.h"
#include "engine/core/FailureLog.h"
#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CMovie.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/input/CInput.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "game/actor/CElement.h"
#include "game/actor/CElementDefinition.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CController.h"
#include "game/app/CGameConfig.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/app/tag_TOLQSCENEPARAM.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuButton.h"
#include "game/menu/MenuTransitions.h"
#include "game/scene/MenuScene.h"
#include "game/scene/TitleSheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
constexpr const char* kOpeningMovie = "Movie\\OP.mpg";
constexpr const char* kTitleVoices[] = {"Vo_plum_title.ogg",   "Vo_noce_title.ogg",     "Vo_aprico_title.ogg",
                                        "Vo_lierre_title.ogg", "Vo_alptraum_title.ogg", "Vo_cyneria_title.ogg",
                                        "Vo_limone_title.ogg"};
constexpr float kVersion = 1.03f;

// Times, in milliseconds.
constexpr uint32_t kLogoHold = 3000;
constexpr uint32_t kTurnTime = 300;
constexpr uint32_t kCursorFrameTime = 150;
constexpr uint32_t kPromptPeriod = 1500;
// The next element flies after 20 to about 85.5 seconds.
constexpr uint32_t kElementWaitRange = 65535;
constexpr int32_t kElementWaitMinimum = 20000;

// The camera and the flying element, in world units.
constexpr int kCameraFov = 60;
constexpr float kAspect4x3 = 1.333333f;
constexpr float kCameraNear = 0.1f;
constexpr float kCameraFar = 1500.0f;
constexpr float kCameraDistance = 1.5f;
constexpr float kElementStart = 1.5f;
constexpr float kElementSpeed = 0.6f;
constexpr float kElementYaw = 90.0f;
constexpr uint32_t kEveryElement = 0xFFFFFFFFu;

uint32_t WrapItem(int64_t item)
{
    const int64_t count = CTitleScene::kItemCount;
    return static_cast<uint32_t>(((item % count) + count) % count);
}

// Rotates v about the unit axis k by degrees.
CkvrVector3 RotateAbout(const CkvrVector3& v, const CkvrVector3& k, float degrees)
{
    const float radians = degrees * 3.14159265358979f / 180.0f;
    const float c = std::cos(radians);
    const float s = std::sin(radians);
    const CkvrVector3 cross(k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x);
    const float dot = k.x * v.x + k.y * v.y + k.z * v.z;
    return CkvrVector3(v.x * c + cross.x * s + k.x * dot * (1.0f - c), v.y * c + cross.y * s + k.y * dot * (1.0f - c),
                       v.z * c + cross.z * s + k.z * dot * (1.0f - c));
}
}

// ---------------------------------------------------------------------------
// Set-up and release

CTitleScene::CTitleScene() = default;

CTitleScene::~CTitleScene()
{
    Release();
}

int CTitleScene::Init(uintptr_t parameter)
{
    const tag_TOLQSCENEPARAM* param = SceneParam(parameter);
    m_state = TitleState::Logo;
    m_step = 0;
    m_fadeA = MenuFade();
    m_fadeB = MenuFade();
    m_timer = 0;
    m_frontItem = 0;
    m_turnDirection = 0;
    m_cursorClock = 0;
    if (param != nullptr)
    {
        m_state = static_cast<TitleState>(std::min<uint32_t>(param->subState, static_cast<uint32_t>(TitleState::Menu)));
        m_fadeA.SetLevel(param->fade);
        m_fadeB.SetLevel(param->fade2);
        m_spareFade = param->fade3;
        // A step past the state's last would wait for nothing, for ever.
        m_step = param->step <= LastStep(m_state) ? param->step : 0;
        m_frontItem = WrapItem(param->item);
    }
    m_titlePicture = MenuScene::FindTexture("Background_02.dds");
    m_menuSheet = MenuScene::FindTexture("Select_01.dds");
    m_logoPicture = MenuScene::FindTexture("CircleLogo_01.dds");

    m_camera = std::make_unique<CCamera>();
    g_pController->SetCameraViewport(m_camera.get());
    const float eye[3] = {0.0f, 0.0f, -kCameraDistance};
    const float target[3] = {0.0f, 0.0f, 0.0f};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    m_camera->SetProjection(kCameraFov, kAspect4x3, kCameraNear, kCameraFar);
    m_camera->SetLookAt(eye, target, up);
    m_listener =
        std::make_unique<CListener>(g_pController->GetSound(), g_pController->GetGameConfig()->GetData()->sound3D);
    m_listener->Apply();

    m_elementCountdown = static_cast<int32_t>(RandomInt(kElementWaitRange)) + kElementWaitMinimum;
    m_logoMusic = MenuScene::FindSound("Bgm_circle.ogg");
    m_titleMusic = MenuScene::FindSound("Bgm_title.ogg");
    if (g_pController->GetGameConfig()->GetData()->openingMovie != 0)
    {
        // A movie that can't be opened is skipped: the title goes on to its
        // picture rather than never reaching its menu.
        m_movie = new CMovie();
        if (!m_movie->Open(kOpeningMovie))
        {
            LogFailure("title: the opening movie can't be opened; the title picture follows the logo", kOpeningMovie);
            m_movie->Release();
            delete m_movie;
            m_movie = nullptr;
        }
    }
    // A block that names the movie starts it, or the picture that follows
    // it when there is none to play.
    if (m_state == TitleState::Movie)
    {
        if (m_movie != nullptr)
            StartMovie();
        else
            EnterPicture(PictureStep::FadeIn);
    }
    return 1;
}

uint32_t CTitleScene::LastStep(TitleState state)
{
    switch (state)
    {
    case TitleState::Logo:
        return static_cast<uint32_t>(LogoStep::Leave);
    case TitleState::Movie:
        return 0;
    case TitleState::TitlePicture:
        return static_cast<uint32_t>(PictureStep::Leave);
    case TitleState::Menu:
        return static_cast<uint32_t>(MenuStep::Choose);
    }
    return 0;
}

uint32_t CTitleScene::Release()
{
    m_camera.reset();
    m_listener.reset();
    if (m_element != nullptr)
    {
        m_element->ReleaseAnimation();
        delete m_element;
        m_element = nullptr;
    }
    if (m_movie != nullptr)
    {
        m_movie->Release();
        delete m_movie;
        m_movie = nullptr;
    }
    if (m_movieTexture)
    {
        m_movieTexture->Release();
        m_movieTexture.reset();
    }
    return CResourceBase::Release();
}

void CTitleScene::EnterState(TitleState state, uint32_t step)
{
    m_state = state;
    m_step = step;
    m_timer = 0;
    if (state == TitleState::Menu && step == static_cast<uint32_t>(MenuStep::Waiting))
        m_turnDirection = 0;
}

// ---------------------------------------------------------------------------
// Update

int CTitleScene::Update(uintptr_t)
{
    const CMenuLayout layout = MenuScene::Layout();
    m_frame.Begin(layout, MenuScene::ReadKeys(layout), g_pController);
    const uint32_t milliseconds = GetElapsedMilliseconds();
    switch (m_state)
    {
    case TitleState::Logo:
        UpdateLogo(milliseconds);
        return 1;
    case TitleState::Movie:
        UpdateMovie();
        return 1;
    case TitleState::TitlePicture:
        UpdatePicture(milliseconds);
        return 1;
    case TitleState::Menu:
    {
        const int result = UpdateMenu(milliseconds);
        g_pController->UpdateBackgroundEffect();
        return result;
    }
    }
    return 1;
}

void CTitleScene::UpdateLogo(uint32_t milliseconds)
{
    switch (static_cast<LogoStep>(m_step))
    {
    case LogoStep::FadeIn:
        g_pController->PlayBgm(m_logoMusic, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, 0.0f);
        m_fadeA.SetTarget(1.0f);
        if (m_fadeA.Step(milliseconds))
            EnterLogo(LogoStep::Hold);
        return;
    case LogoStep::Hold:
        m_timer += milliseconds;
        if (m_timer >= kLogoHold)
            EnterLogo(LogoStep::FadeOut);
        return;
    case LogoStep::FadeOut:
        m_fadeA.SetTarget(0.0f);
        if (!m_fadeA.Step(milliseconds))
            return;
        EnterLogo(LogoStep::Leave);
        MenuScene::FadeOutMusic(m_logoMusic);
        return;
    case LogoStep::Leave:
        if (m_movie != nullptr)
        {
            StartMovie();
            EnterState(TitleState::Movie, 0);
            return;
        }
        EnterPicture(PictureStep::FadeIn);
        return;
    }
}

void CTitleScene::StartMovie()
{
    m_movie->Play();
    m_movieTexture = std::make_unique<CTexture>();
    if (!m_movieTexture->CreateRenderTarget(static_cast<uint32_t>(m_movie->GetWidth()),
                                            static_cast<uint32_t>(m_movie->GetHeight()), 0, FORMAT_X8R8G8B8, 1))
        m_movieTexture.reset();
}

void CTitleScene::StopMovie()
{
    m_movie->Stop();
    if (m_movieTexture)
    {
        m_movieTexture->Release();
        m_movieTexture.reset();
    }
}

void CTitleScene::UpdateMovie()
{
    if (m_movie == nullptr)
    {
        EnterPicture(PictureStep::FadeIn);
        return;
    }
    const bool pressed = CInput::IsAnyButtonDown(g_pInput->GetPadState(0)) != 0;
    const bool ended = m_movie->GetCurrentPosition() >= m_movie->GetStopTime() || m_movie->IsFinished();
    if (!pressed && !ended)
        return;
    StopMovie();
    EnterPicture(PictureStep::FadeIn);
}

void CTitleScene::UpdatePicture(uint32_t milliseconds)
{
    g_pController->PlayBgm(m_titleMusic, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, 0.0f);
    switch (static_cast<PictureStep>(m_step))
    {
    case PictureStep::FadeIn:
        m_fadeA.SetTarget(1.0f);
        if (!m_fadeA.Step(milliseconds))
            return;
        EnterPicture(PictureStep::WaitForButton);
        g_pController->PlayVoice(MenuScene::FindSound(kTitleVoices[RandomInt(std::size(kTitleVoices))]));
        return;
    case PictureStep::WaitForButton:
        m_timer += milliseconds;
        if (CInput::IsAnyButtonDown(g_pInput->GetPadState(0)) == 0)
            return;
        // The ring chooses on a held decide: the button that leaves the
        // picture must be let go first.
        HoldKeysUntilReleased();
        EnterPicture(PictureStep::FadeOut);
        m_frame.Play(MenuSound::Decide);
        return;
    case PictureStep::FadeOut:
        m_fadeA.SetTarget(0.0f);
        if (m_fadeA.Step(milliseconds))
            EnterPicture(PictureStep::Leave);
        return;
    case PictureStep::Leave:
        EnterMenu(MenuStep::FadeIn);
        return;
    }
}

// ---------------------------------------------------------------------------
// The ring menu

namespace
{
// Title menu, in 1024 x 768 layout units: the ring turns about (224, 458),
// the arrows above and below its front, the front item's picture centred
// on the ring's centre.
constexpr MenuPoint kRingCentre{224.0f, 458.0f};
constexpr MenuRect kUpperArrow{.left = 184, .top = 388, .right = 260, .bottom = 420};
constexpr MenuRect kLowerArrow{.left = 184, .top = 496, .right = 260, .bottom = 528};

MenuRect FrontItemRect(uint32_t item)
{
    const MenuCell& cell = TitleSheet::kRingItems[item];
    return {kRingCentre.x - cell.Width() * 0.5f, kRingCentre.y - cell.Height() * 0.5f,
            kRingCentre.x + cell.Width() * 0.5f, kRingCentre.y + cell.Height() * 0.5f};
}
}

CTitleScene::MenuHits CTitleScene::ReportMenuItems()
{
    MenuHits hits;
    hits.upperArrow = MenuButton(m_frame, kUpperArrowId, kUpperArrow, m_turnDirection > 0, "up").hovered;
    hits.lowerArrow = MenuButton(m_frame, kLowerArrowId, kLowerArrow, m_turnDirection < 0, "down").hovered;
    hits.frontItem = MenuButton(m_frame, kRingItemId + static_cast<int32_t>(m_frontItem), FrontItemRect(m_frontItem),
                                true, TitleSheet::kRingItemNames[m_frontItem])
                         .hovered;
    return hits;
}

int CTitleScene::UpdateMenu(uint32_t milliseconds)
{
    m_cursorClock += milliseconds;
    UpdateFlyingElement(milliseconds);
    // The element fades with the menu.
    if (m_element != nullptr)
        m_element->GetColor()->w = m_fadeB.Level();
    const MenuHits hits = ReportMenuItems();
    switch (static_cast<MenuStep>(m_step))
    {
    case MenuStep::FadeIn:
        g_pController->PlayBgm(m_titleMusic, MenuScene::MusicVolume(), MenuScene::kMusicFadeIn, 0.0f);
        m_fadeB.SetTarget(1.0f);
        if (m_fadeB.Step(milliseconds))
            EnterMenu(MenuStep::Waiting);
        // The background rises with the menu but never drops here.
        m_fadeA.RaiseTo(m_fadeB.Level());
        return 1;
    case MenuStep::Waiting:
        UpdateWaiting(hits);
        return 1;
    case MenuStep::Turning:
    {
        const float before = TurnProgress();
        m_timer += milliseconds;
        MenuTransitions::Moved(before, TurnProgress());
        if (m_timer < kTurnTime)
            return 1;
        m_frontItem = WrapItem(static_cast<int64_t>(m_frontItem) - m_turnDirection);
        EnterMenu(MenuStep::Waiting);
        return 1;
    }
    case MenuStep::FadeOut:
    {
        m_fadeB.SetTarget(0.0f);
        const bool out = m_fadeB.Step(milliseconds);
        // Only the network's lobby has a background of its own.
        if (m_frontItem == kNetworkItem)
            m_fadeA.LowerTo(m_fadeB.Level());
        if (out)
            EnterMenu(MenuStep::Choose);
        return 1;
    }
    case MenuStep::Choose:
        return Choose();
    }
    return 1;
}

bool CTitleScene::ItemAvailable(uint32_t item)
{
    return item == kQuitItem || g_pController->HasScene(item + 1);
}

void CTitleScene::Turn(int32_t direction)
{
    m_frame.Play(MenuSound::Cursor);
    EnterMenu(MenuStep::Turning);
    m_turnDirection = direction;
}

void CTitleScene::UpdateWaiting(const MenuHits& hits)
{
    const MenuKeys& keys = m_frame.Keys();
    const bool pointerHeld = keys.Held(MenuKey::Click) || keys.Held(MenuKey::Decide);
    if (keys.Held(MenuKey::Down) || (pointerHeld && hits.lowerArrow))
    {
        Turn(-1);
        return;
    }
    if (keys.Held(MenuKey::Up) || (pointerHeld && hits.upperArrow))
    {
        Turn(+1);
        return;
    }
    const bool chosen = (keys.Held(MenuKey::Decide) && !hits.upperArrow && !hits.lowerArrow) ||
                        (keys.Held(MenuKey::Click) && hits.frontItem);
    if (!chosen)
        return;
    if (!ItemAvailable(m_frontItem))
    {
        // Held keys would repeat it every frame: only a fresh press sounds.
        if (keys.Pressed(MenuKey::Decide) || keys.Pressed(MenuKey::Click))
            m_frame.Play(MenuSound::Error);
        return;
    }
    m_frame.Play(MenuSound::Decide);
    MenuScene::FadeOutMusic(m_titleMusic);
    EnterMenu(MenuStep::FadeOut);
}

int CTitleScene::Choose()
{
    const uint32_t item = m_frontItem;
    // Should the title stay current (the quit item), its menu fades in again.
    EnterMenu(MenuStep::FadeIn);
    if (item == kQuitItem)
    {
        MessageQueue::PostQuit(0);
        return 1;
    }
    if (item == kNetworkItem)
        return g_pController->ChangeScene(CController::SCENE_NETWORK, nullptr);
    return g_pController->ChangeScene(item + 1, 0, 1.0f, 0);
}

// ---------------------------------------------------------------------------
// The flying element

void CTitleScene::UpdateFlyingElement(uint32_t milliseconds)
{
    if (m_element == nullptr)
    {
        auto* templates = static_cast<CResourceList<CResourceBase*>*>(
            g_pResourceController->GetList(CQorResourceController::LIST_ELEMENTS));
        if (templates == nullptr || templates->GetCount() == 0)
            return;
        m_elementCountdown -= static_cast<int32_t>(milliseconds);
        if (m_elementCountdown >= 1)
            return;
        const auto* chosen = dynamic_cast<const CGameDataResource<CElementDefinition>*>(
            templates->GetItem(RandomInt(templates->GetCount())));
        if (chosen == nullptr)
            return;
        m_element = new CElement(&chosen->GetDefinition(), CkvrVector3(kElementStart, -kElementStart, 0.0f));
        m_element->ResetAtAltar(kEveryElement);
        m_element->ResetAnimation();
        const CkvrVector3 rotation(0.0f, kElementYaw, 0.0f);
        m_element->SetRotation(&rotation);
        m_element->UpdateMatrix();
        return;
    }
    const float distance = kElementSpeed * static_cast<float>(milliseconds) * 0.001f;
    CkvrVector3* position = m_element->GetPosition();
    position->x -= distance;
    position->y += distance;
    m_element->AdvanceAnimation(1.0f);
    m_element->UpdateMatrix();
    if (position->y < kElementStart)
        return;
    m_element->ReleaseAnimation();
    delete m_element;
    m_element = nullptr;
    m_elementCountdown = static_cast<int32_t>(RandomInt(kElementWaitRange)) + kElementWaitMinimum;
}

// ---------------------------------------------------------------------------
// Drawing

namespace
{
// Title screens, in 1024 x 768 layout units.
constexpr MenuPoint kScreenCentre{512.0f, 384.0f};
constexpr MenuPoint kCornerStripAt{1024.0f - 4.0f, 768.0f - 4.0f};
constexpr MenuPoint kPromptAt{512.0f + 32.0f, 632.0f};
constexpr MenuRect kVersionArea{.left = 0, .top = 336, .right = 1024.0f - 44.0f, .bottom = 356};
constexpr float kVersionSize = 20.0f;
constexpr uint32_t kVersionFont = 0;
// The prompt's pulse: alpha dips by up to 225 over 1.5 s.
constexpr float kPromptDip = 0.3f;
constexpr float kPromptMiddle = 750.0f;
// The ring: radius, the tilted axis it turns about, the scale of each slot
// from the front, and the arrows' jump while turning.
constexpr float kRingRadius = 230.0f;
constexpr float kRingStep = 360.0f / static_cast<float>(CTitleScene::kItemCount);
constexpr float kSlotScales[CTitleScene::kItemCount] = {1.0f, 0.9f, 0.8f, 0.7f, 0.6f, 0.5f,
                                                        0.5f, 0.6f, 0.7f, 0.8f, 0.9f};
constexpr float kArrowLift = 12.0f;
constexpr MenuPoint kCornerLogoAt{504.0f, 24.0f};
constexpr float kCornerLogoScale = 0.6f;
constexpr float kCursorRaise = 6.0f;

CkvrVector3 RingAxis()
{
    const float length = std::sqrt(1.0f + 0.4f * 0.4f);
    return CkvrVector3(1.0f / length, 0.0f, 0.4f / length);
}

uint32_t Shade(float scale, float alpha)
{
    const uint32_t level = static_cast<uint32_t>(std::clamp(scale, 0.0f, 1.0f) * 255.0f);
    return MenuAlpha(alpha) << 24 | level << 16 | level << 8 | level;
}
}

int CTitleScene::Render(uintptr_t)
{
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    m_camera->Apply();
    const CMenuPainter painter(MenuScene::Layout());
    switch (m_state)
    {
    case TitleState::Logo:
        RenderLogo(painter);
        break;
    case TitleState::Movie:
        RenderMovie(painter);
        break;
    case TitleState::TitlePicture:
        RenderPicture(painter);
        break;
    case TitleState::Menu:
        RenderMenu(painter);
        break;
    }
    return 1;
}

void CTitleScene::RenderLogo(const CMenuPainter& painter) const
{
    const float alpha = m_fadeA.Level();
    painter.Fill(painter.Layout().Area(), MenuColor(MenuRole::Focused, alpha));
    painter.Picture(m_logoPicture, TitleSheet::kMakerLogo, kScreenCentre, MenuColor(MenuRole::Focused, alpha),
                    MenuAnchor::Centre);
}

void CTitleScene::RenderMovie(const CMenuPainter& painter)
{
    uint8_t* frame = m_movie != nullptr ? m_movie->GetCurrentFrame() : nullptr;
    if (frame == nullptr || !m_movieTexture)
        return;
    const uint32_t width = static_cast<uint32_t>(m_movie->GetWidth());
    const uint32_t height = static_cast<uint32_t>(m_movie->GetHeight());
    m_movieTexture->SetPixelsRGB24(width, height, frame);
    const MenuCell whole{.left = 0, .top = 0, .right = static_cast<float>(width), .bottom = static_cast<float>(height)};
    painter.PictureInto(m_movieTexture.get(), whole, painter.Layout().Area(), MenuColor(MenuRole::Focused, 1.0f));
}

void CTitleScene::RenderPicture(const CMenuPainter& painter) const
{
    const float alpha = m_fadeA.Level();
    const uint32_t color = MenuColor(MenuRole::Focused, alpha);
    painter.Picture(m_titlePicture, TitleSheet::kTitlePicture, {0.0f, 0.0f}, color);
    painter.Picture(m_titlePicture, TitleSheet::kCornerStrip, kCornerStripAt, color, MenuAnchor::BottomRight);
    const float pulse =
        alpha * 255.0f - std::fabs(kPromptMiddle - static_cast<float>(m_timer % kPromptPeriod)) * kPromptDip;
    painter.Picture(m_titlePicture, TitleSheet::kPrompt, kPromptAt, MenuColor(MenuRole::Focused, pulse / 255.0f));
    char version[16];
    std::snprintf(version, sizeof version, "Ver.%.2f", kVersion);
    painter.Text(MenuScene::Font(kVersionFont), kVersionArea, MenuAnchor::TopRight, kVersionSize, color,
                 ToGameText(version).c_str());
}

float CTitleScene::TurnProgress() const
{
    if (static_cast<MenuStep>(m_step) != MenuStep::Turning || m_timer == 0)
        return 0.0f;
    return std::min(1.0f, static_cast<float>(m_timer) / static_cast<float>(kTurnTime));
}

void CTitleScene::RenderMenu(const CMenuPainter& painter)
{
    g_pController->DrawBackground(MenuColor(MenuRole::Focused, m_fadeA.Level()));
    RenderFlyingElement();
    CGraphics* graphics = g_pController->GetGraphics();
    graphics->Begin2D();
    graphics->SetBlendMode(1);
    m_camera->Apply();
    RenderArrows(painter);
    RenderRing(painter);
    painter.Picture(m_menuSheet, TitleSheet::kCornerLogo, kCornerLogoAt, MenuColor(MenuRole::Focused, m_fadeB.Level()),
                    MenuAnchor::TopLeft, kCornerLogoScale);
    RenderCursor(painter);
    g_pController->DrawCursor();
}

void CTitleScene::RenderFlyingElement()
{
    CRenderList* list = g_pController->GetRenderList();
    if (m_element == nullptr || list == nullptr)
        return;
    g_pController->GetGraphics()->Begin3D();
    m_camera->Apply();
    list->Clear();
    m_element->Render(reinterpret_cast<uintptr_t>(list));
    list->Draw();
}

void CTitleScene::RenderRing(const CMenuPainter& painter) const
{
    struct Placed
    {
        uint32_t item;
        MenuPoint at;
        float scale;
    };
    Placed placed[kItemCount];
    const float progress = TurnProgress();
    const CkvrVector3 axis = RingAxis();
    CkvrVector3 position(0.0f, 0.0f, kRingRadius);
    if (progress > 0.0f)
        position = RotateAbout(position, axis, kRingStep * progress * static_cast<float>(m_turnDirection));
    for (uint32_t slot = 0; slot < kItemCount; ++slot)
    {
        float scale = kSlotScales[slot];
        if (progress > 0.0f)
            scale += (kSlotScales[WrapItem(static_cast<int64_t>(slot) + m_turnDirection)] - scale) * progress;
        placed[slot] = {WrapItem(static_cast<int64_t>(slot) + m_frontItem),
                        {kRingCentre.x + position.x, kRingCentre.y + position.y},
                        scale};
        position = RotateAbout(position, axis, kRingStep);
    }
    // Back items first: the nearer ones cover them.
    std::sort(std::begin(placed), std::end(placed), [](const Placed& a, const Placed& b) { return a.scale < b.scale; });
    for (const Placed& item : placed)
        painter.Picture(m_menuSheet, TitleSheet::kRingItems[item.item], item.at, Shade(item.scale, m_fadeB.Level()),
                        MenuAnchor::Centre, item.scale, 0, 1.0f - item.scale);
}

void CTitleScene::RenderArrows(const CMenuPainter& painter) const
{
    const float progress = TurnProgress();
    const float jump = (0.5f - std::fabs(progress - 0.5f)) * kArrowLift;
    const uint32_t color = MenuColor(MenuRole::Focused, m_fadeB.Level());
    const MenuItemRecord* upper = m_frame.FindItem(kUpperArrowId);
    const MenuItemRecord* lower = m_frame.FindItem(kLowerArrowId);
    const bool upperLit = m_turnDirection > 0 || (upper != nullptr && m_frame.HitTest(upper->rect));
    const bool lowerLit = m_turnDirection < 0 || (lower != nullptr && m_frame.HitTest(lower->rect));
    const float upperLift = m_turnDirection > 0 ? jump : 0.0f;
    const float lowerDrop = m_turnDirection < 0 ? jump : 0.0f;
    painter.Picture(m_menuSheet, upperLit ? TitleSheet::kLitArrow : TitleSheet::kArrow,
                    {kUpperArrow.left, kUpperArrow.top - upperLift}, color);
    painter.Picture(m_menuSheet, lowerLit ? TitleSheet::kLitArrow : TitleSheet::kArrow,
                    {kLowerArrow.left, kLowerArrow.top + lowerDrop}, color, MenuAnchor::TopLeft, 1.0f,
                    KVRDRAWFLIP_VERTICAL);
}

void CTitleScene::RenderCursor(const CMenuPainter& painter) const
{
    const uint32_t frame = (m_cursorClock % (kCursorFrameTime * TitleSheet::kCursorFrameCount)) / kCursorFrameTime;
    const MenuRect front = FrontItemRect(m_frontItem);
    float left = front.left;
    const float progress = TurnProgress();
    if (progress > 0.0f)
    {
        const MenuRect next = FrontItemRect(WrapItem(static_cast<int64_t>(m_frontItem) - m_turnDirection));
        left += (next.left - front.left) * progress;
    }
    painter.Picture(m_menuSheet, TitleSheet::kCursorFrames[frame], {left, front.top - kCursorRaise},
                    MenuColor(MenuRole::Focused, m_fadeB.Level()), MenuAnchor::TopRight);
}
