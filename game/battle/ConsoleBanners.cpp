// The phase banners (ready and go with their bands, win, lose, draw and the
// mission variants) and the defeat notice.
//
// Each banner runs on u, the phase clock past the pose mark, through steps
// of its own; within a step f runs from 0 to 1.
#include "game/battle/CConsoleRenderer.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <algorithm>
#include <cmath>

namespace
{
// Banner timelines (ms of u) and sizes, in 1024 x 768 layout units from
// the screen's centre.
constexpr float kReadyFadeIn = 300, kReadyHoldEnd = 1500, kReadyGone = 1800;
constexpr float kGoIn = 1800, kGoHold = 2100, kGoPulse = 2200, kGoEcho = 2325, kGoOut = 2700, kGoGone = 2900;
constexpr float kGoPulseLength = 500;
constexpr float kBandOffset = 48;       // each band from the centre line
constexpr float kStripePitch = 280;     // 272 and a gap of 8
constexpr float kStripeCycle = 1200;    // ms for one stripe pitch
constexpr float kBandsOut = 300;        // ms to slide out, from kGoIn
constexpr float kWinLetterX[3] = {-102, 0, 80};
constexpr float kWinLetterStagger = 200, kLetterIn = 200, kEchoLength = 333, kWinHoldEnd = 3200;
constexpr float kFlatten = 200;
constexpr float kLoseDrop = 900, kLoseHoldEnd = 3900, kLoseRise = 50;
constexpr float kDrawIn = 225, kDrawHoldEnd = 3225;
constexpr float kMissionBandAcross = 130;
constexpr float kMissionIn = 200;
constexpr float kNoticeIn = 225, kNoticeHoldEnd = 1725, kNoticeGone = 1925;
constexpr float kZoomFrom = 6.0f;
constexpr uint32_t kAlphaBlend = 1;
constexpr uint32_t kAdditiveBlend = 2;
constexpr uint32_t kWhite = 0xFFFFFFFF;

float Cube(float v)
{
    return v * v * v;
}

// A banner's look at one moment: scales across and down, and its alpha.
struct Look
{
    float x = 1.0f;
    float y = 1.0f;
    float alpha = 1.0f;
};

// Closing over a step: flattened down to nothing and faded; stretch-flatten
// also widens it to six times.
Look Flatten(float f)
{
    return {1.0f, Cube(1.0f - f), 1.0f - f};
}

Look StretchFlatten(float f)
{
    return {1.0f + 5.0f * f, Cube(1.0f - f), 1.0f - f};
}

float Step(float u, float from, float length)
{
    return std::clamp((u - from) / length, 0.0f, 1.0f);
}

// Lose and mission lose: dropping in from above the centre, held, then
// flattened. Empty when it is over.
bool DropLook(float u, Look* look, float* drop)
{
    *drop = 0.0f;
    if (u < kLoseDrop)
    {
        *drop = -kLoseRise * (1.0f - u / kLoseDrop);
        *look = {1.0f, 1.0f, u / kLoseDrop};
        return true;
    }
    if (u < kLoseHoldEnd)
    {
        *look = {};
        return true;
    }
    if (u < kLoseHoldEnd + kFlatten)
    {
        *look = Flatten(Step(u, kLoseHoldEnd, kFlatten));
        return true;
    }
    return false;
}
}

void CConsoleRenderer::DrawBanners()
{
    if (m_state.phaseClock < m_state.poseMark)
        return;
    const float u = static_cast<float>(m_state.phaseClock - m_state.poseMark);
    switch (m_state.phase)
    {
    case ConsolePhase::Ready:
        DrawSideBands(u);
        DrawReadyBanner(u);
        DrawGoBanner(u);
        break;
    case ConsolePhase::Win:
        if (Mission())
            DrawMissionWinBanner(u);
        else
            DrawWinBanner(u);
        break;
    case ConsolePhase::Lose:
        if (Mission())
            DrawMissionLoseBanner(u);
        else
            DrawLoseBanner(u);
        break;
    case ConsolePhase::Draw: DrawDrawBanner(u); break;
    default: break;
    }
}

void CConsoleRenderer::DrawReadyBanner(float u)
{
    if (u >= kReadyGone)
        return;
    Look look;
    if (u < kReadyFadeIn)
        look.alpha = u / kReadyFadeIn;
    else if (u >= kReadyHoldEnd)
        look = StretchFlatten(Step(u, kReadyHoldEnd, kReadyGone - kReadyHoldEnd));
    const uint32_t color = FadedBy(kWhite, look.alpha);
    const MenuRect drawn = SpriteStretched(ConsoleSheet::kReady, Centre(), MenuAnchor::Centre, look.x, look.y, color);
    Report(HudItem::Banner, 0, drawn, "ready");
}

// Go: flies in wide and flat, holds, pulses with an echo and a glow, then
// blows up and fades.
void CConsoleRenderer::DrawGoBanner(float u)
{
    if (u < kGoIn || u >= kGoGone)
        return;
    Look look;
    if (u < kGoHold)
    {
        const float f = Step(u, kGoIn, kGoHold - kGoIn);
        look = {(1.0f - f) * 5.0f + 1.0f, Cube(f), f};
    }
    else if (u >= kGoPulse && u < kGoOut)
    {
        const float g = Step(u, kGoPulse, kGoPulseLength);
        look = {1.0f + 0.3f * g, 1.0f + 0.3f * g, 1.0f};
        if (u >= kGoEcho)
        {
            const float echo = 1.0f + 10.0f * (u - kGoEcho) / kGoPulseLength;
            SpriteStretched(ConsoleSheet::kGo, Centre(), MenuAnchor::Centre, echo, echo, FadedBy(kWhite, 1.0f - g));
        }
        CGraphics* graphics = CCamera::GetGraphics();
        if (graphics != nullptr)
            graphics->SetBlendMode(kAdditiveBlend);
        SpriteStretched(ConsoleSheet::kGoGlow, Centre(), MenuAnchor::Centre, 1.0f + 10.0f * g, 1.0f + 10.0f * g,
                        FadedBy(kWhite, 1.0f - g));
        if (graphics != nullptr)
            graphics->SetBlendMode(kAlphaBlend);
    }
    else if (u >= kGoOut)
    {
        const float f = Step(u, kGoOut, kGoGone - kGoOut);
        look = {1.3f + 10.0f * f, 1.3f + 10.0f * f, 1.0f - f};
    }
    const uint32_t color = FadedBy(kWhite, look.alpha);
    Report(HudItem::Banner, 1, SpriteStretched(ConsoleSheet::kGo, Centre(), MenuAnchor::Centre, look.x, look.y, color),
           "go");
}

// Two bands across the screen above and below the centre line, stripes
// scrolling along them (the lower band's mirrored from the right edge);
// they share the ready banner's fade-in and slide out sideways as go
// comes in.
void CConsoleRenderer::DrawSideBands(float u)
{
    if (u >= kGoIn + kBandsOut)
        return;
    const float alpha = u < kReadyFadeIn ? u / kReadyFadeIn : 1.0f;
    const float out = u >= kGoIn ? (Right() + kStripePitch) * Step(u, kGoIn, kBandsOut) : 0.0f;
    const float scroll = kStripePitch * std::fmod(u, kStripeCycle) / kStripeCycle;
    const float across = Right() / ConsoleSheet::kBand.Width();
    const MenuPoint centre = Centre();
    // Lower band: from the left edge, leaving to the left.
    const MenuRect lower = SpriteStretched(ConsoleSheet::kBand, {-out, centre.y + kBandOffset}, MenuAnchor::Left,
                                           across, 1.0f, FadedBy(kWhite, alpha));
    // Upper band: from the right edge, leaving to the right.
    const MenuRect upper = SpriteStretched(ConsoleSheet::kBand, {Right() + out, centre.y - kBandOffset},
                                           MenuAnchor::Right, across, 1.0f, FadedBy(kWhite, alpha));
    const uint32_t stripes = static_cast<uint32_t>(Right() / kStripePitch) + 2;
    for (uint32_t i = 0; i < stripes; ++i)
    {
        const float along = kStripePitch * static_cast<float>(i) + scroll - kStripePitch;
        Sprite(ConsoleSheet::kBandStripe, {upper.left + along, upper.top + upper.Height() * 0.5f}, MenuAnchor::Left,
               FadedBy(kWhite, alpha));
        // Set from the right edge and running the other way, but the right
        // way round: the stripe's words must read.
        Sprite(ConsoleSheet::kBandStripe, {lower.right - along, lower.top + lower.Height() * 0.5f}, MenuAnchor::Right,
               FadedBy(kWhite, alpha));
    }
    Report(HudItem::BannerBand, 0, lower);
    Report(HudItem::BannerBand, 1, upper);
}

// Win: three letters, each 200 ms after the one before, zooming in from six
// times with an echo, held until 3200 ms, then flattened.
void CConsoleRenderer::DrawWinBanner(float u)
{
    if (u >= kWinHoldEnd + kFlatten)
        return;
    const MenuPoint centre = Centre();
    for (uint32_t k = 0; k < 3; ++k)
    {
        const float v = u - kWinLetterStagger * static_cast<float>(k);
        if (v < 0.0f)
            continue;
        const MenuPoint at{centre.x + kWinLetterX[k], centre.y};
        const MenuCell& letter = ConsoleSheet::kWinLetters[k];
        if (u >= kWinHoldEnd)
        {
            const Look look = Flatten(Step(u, kWinHoldEnd, kFlatten));
            SpriteStretched(letter, at, MenuAnchor::Centre, look.x, look.y, FadedBy(kWhite, look.alpha));
            continue;
        }
        if (v < kLetterIn)
        {
            const float zoom = kZoomFrom - (kZoomFrom - 1.0f) * v / kLetterIn;
            Sprite(letter, at, MenuAnchor::Centre, FadedBy(kWhite, v / kLetterIn), zoom);
            continue;
        }
        Report(HudItem::Banner, 2 + k, Sprite(letter, at, MenuAnchor::Centre, FadedBy(kWhite, 1.0f)), "win");
        const float e = (v - kLetterIn) / kEchoLength;
        if (e < 1.0f)
            Sprite(letter, at, MenuAnchor::Centre, FadedBy(kWhite, 1.0f - e), 1.0f + 10.0f * e);
    }
}

void CConsoleRenderer::DrawLoseBanner(float u)
{
    Look look;
    float drop = 0.0f;
    if (!DropLook(u, &look, &drop))
        return;
    const MenuPoint at{Centre().x, Centre().y + drop};
    const uint32_t color = FadedBy(kWhite, look.alpha);
    Report(HudItem::Banner, 5, SpriteStretched(ConsoleSheet::kLose, at, MenuAnchor::Centre, look.x, look.y, color),
           "lose");
}

void CConsoleRenderer::DrawDrawBanner(float u)
{
    if (u >= kDrawHoldEnd + kFlatten)
        return;
    Look look;
    if (u < kDrawIn)
        look.alpha = u / kDrawIn;
    else if (u >= kDrawHoldEnd)
        look = Flatten(Step(u, kDrawHoldEnd, kFlatten));
    const uint32_t color = FadedBy(kWhite, look.alpha);
    const MenuRect drawn = SpriteStretched(ConsoleSheet::kDraw, Centre(), MenuAnchor::Centre, look.x, look.y, color);
    Report(HudItem::Banner, 6, drawn, "draw");
}

// Mission win: a band and the text zooming in from six times together,
// the band 130 times its width across.
void CConsoleRenderer::DrawMissionWinBanner(float u)
{
    if (u >= kWinHoldEnd + kFlatten)
        return;
    float zoom = 1.0f;
    Look look;
    if (u < kMissionIn)
    {
        zoom = kZoomFrom - (kZoomFrom - 1.0f) * u / kMissionIn;
        look.alpha = u / kMissionIn;
    }
    else if (u >= kWinHoldEnd)
        look = Flatten(Step(u, kWinHoldEnd, kFlatten));
    const uint32_t color = FadedBy(kWhite, look.alpha);
    SpriteStretched(ConsoleSheet::kMissionWinBand, Centre(), MenuAnchor::Centre, kMissionBandAcross * zoom,
                    zoom * look.y, color);
    Report(HudItem::Banner, 7,
           SpriteStretched(ConsoleSheet::kMissionWin, Centre(), MenuAnchor::Centre, zoom, zoom * look.y, color),
           "mission win");
}

void CConsoleRenderer::DrawMissionLoseBanner(float u)
{
    Look look;
    float drop = 0.0f;
    if (!DropLook(u, &look, &drop))
        return;
    const MenuPoint at{Centre().x, Centre().y + drop};
    const uint32_t color = FadedBy(kWhite, look.alpha);
    SpriteStretched(ConsoleSheet::kMissionLoseBand, at, MenuAnchor::Centre, kMissionBandAcross, look.y, color);
    Report(HudItem::Banner, 8,
           SpriteStretched(ConsoleSheet::kMissionLose, at, MenuAnchor::Centre, look.x, look.y, color),
           "mission lose");
}

// ---------------------------------------------------------------- defeat notice

// When the focused fighter has just downed someone, and only in the running
// battle with no menu open: zooms in, holds, squashes flat.
void CConsoleRenderer::DrawDefeatNotice()
{
    if (m_focused == nullptr || m_state.phase != ConsolePhase::Running || m_state.currentMenu != ConsoleMenu::None)
        return;
    const tag_TOLQCHARAACTION* action = m_focused->GetActionData();
    const float t = static_cast<float>(action->noticeClock);
    if (action->notice == 0 || t >= kNoticeGone)
        return;
    Look look;
    float zoom = 1.0f;
    if (t < kNoticeIn)
    {
        zoom = kZoomFrom - (kZoomFrom - 1.0f) * t / kNoticeIn;
        look.alpha = t / kNoticeIn;
    }
    else if (t >= kNoticeHoldEnd)
        look = Flatten(Step(t, kNoticeHoldEnd, kNoticeGone - kNoticeHoldEnd));
    Report(HudItem::DefeatNotice, 0,
           SpriteStretched(ConsoleSheet::kDefeatNotice, Centre(), MenuAnchor::Centre, zoom * look.x, zoom * look.y,
                           FadedBy(kWhite, look.alpha)));
}
