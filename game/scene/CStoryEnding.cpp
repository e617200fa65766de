// The ending's phases and its drawing.
#include "game/scene/CStoryEnding.h"

#include "engine/render/CBasicFilter.h"
#include "engine/render/CTexture.h"
#include "game/menu/CMenuPainter.h"
#include "game/menu/MenuTransitions.h"
#include "game/scene/StorySheet.h"
#include "game/story/StaffRoll.h"

#include <algorithm>

namespace
{
constexpr uint32_t kShortHold = 999;
constexpr uint32_t kLogoHold = 2999;
// Sepia turns to colour, and the logo comes, at a quarter per second; the
// zoom moves at 0.45 per second.
constexpr float kSlowRate = 0.25f;
constexpr float kZoomRate = 0.45f;
// The roll is drawn this far right of the middle, its lines this far
// above their place in the roll.
constexpr float kRollX = 284.0f;
constexpr float kRollLift = 1200.0f;
// The picture moves left by this share of the centre as it shrinks.
constexpr float kSideShift = 0.4f;
constexpr float kCardSize = 32.0f;
constexpr float kCardLineGap = 40.0f;
constexpr float kNoticeSize = 24.0f;
}

CStoryEnding::~CStoryEnding()
{
    ReleaseStaffRoll();
}

bool CStoryEnding::LoadStaffRoll(const char* path)
{
    return ReadStaffRoll(path, &m_lines) != 0;
}

void CStoryEnding::ReleaseStaffRoll()
{
    m_lines.SetCount(0);
}

float CStoryEnding::GetRollHeight() const
{
    float height = 0.0f;
    for (uint32_t i = 0; i < m_lines.GetCount(); ++i)
        height += static_cast<float>(m_lines.GetAt(i)->size) + kLineGap;
    return height;
}

float CStoryEnding::LineY(uint32_t line) const
{
    float below = 0.0f;
    for (uint32_t i = line + 1; i < m_lines.GetCount(); ++i)
        below += static_cast<float>(m_lines.GetAt(i)->size) + kLineGap;
    return CMenuLayout::kLayoutHeight * 0.5f + m_roll - kRollLift - below;
}

void CStoryEnding::Start()
{
    m_phase = Phase::Brighten;
    m_timer = 0;
    m_sepia = 1.0f;
    m_color = 0.0f;
    m_brightness = 0.0f;
    m_card = 0.0f;
    m_logo = 0.0f;
    m_zoom = kStartZoom;
    // An empty roll still takes its time: the picture stays at the side
    // for the twenty seconds the roll would start with.
    m_roll = kRollStart + GetRollHeight();
}

void CStoryEnding::Next(Phase phase)
{
    m_phase = phase;
}

bool CStoryEnding::Hold(uint32_t milliseconds, uint32_t limit)
{
    m_timer += milliseconds;
    if (m_timer <= limit)
        return false;
    m_timer = 0;
    return true;
}

bool CStoryEnding::Update(uint32_t milliseconds, bool fast)
{
    const std::array<float, 5> before = Levels();
    const bool done = Advance(milliseconds, fast);
    const std::array<float, 5> after = Levels();
    for (size_t i = 0; i < before.size(); ++i)
        MenuTransitions::Moved(before[i], after[i]);
    return done;
}

std::array<float, 5> CStoryEnding::Levels() const
{
    const float zoom = std::clamp((m_zoom - kSideZoom) / (1.0f - kSideZoom), 0.0f, 1.0f);
    return {m_brightness, m_color, m_card, m_logo, zoom};
}

bool CStoryEnding::Advance(uint32_t milliseconds, bool fast)
{
    const float dt = static_cast<float>(milliseconds) / 1000.0f;
    switch (m_phase)
    {
    case Phase::Brighten:
        m_brightness += dt;
        if (m_brightness >= 1.0f)
        {
            m_brightness = 1.0f;
            Next(Phase::Hold);
        }
        return false;
    case Phase::Hold:
        if (Hold(milliseconds, kShortHold))
            Next(Phase::ToColor);
        return false;
    case Phase::ToColor:
        m_color += dt * kSlowRate;
        if (m_color >= 1.0f)
        {
            m_color = 1.0f;
            Next(Phase::CardIn);
        }
        m_sepia = 1.0f - m_color;
        m_zoom = kStartZoom - 2.0f * m_color;
        return false;
    case Phase::CardIn:
        m_card += dt;
        if (m_card >= 1.0f)
        {
            m_card = 1.0f;
            Next(Phase::CardHold);
        }
        return false;
    case Phase::CardHold:
        if (Hold(milliseconds, kShortHold))
            Next(Phase::Shrink);
        return false;
    case Phase::Shrink:
        m_card = std::max(m_card - dt, 0.0f);
        m_zoom -= dt * kZoomRate;
        if (m_zoom <= kSideZoom)
        {
            m_zoom = kSideZoom;
            m_card = 0.0f;
            Next(Phase::Roll);
        }
        return false;
    case Phase::Roll:
        m_roll -= dt * (fast ? kFastRollSpeed : kRollSpeed);
        if (m_roll <= kRollEnd)
        {
            m_roll = kRollEnd;
            Next(Phase::Grow);
        }
        return false;
    case Phase::Grow:
        m_zoom += dt * kZoomRate;
        if (m_zoom >= 1.0f)
        {
            m_zoom = 1.0f;
            Next(Phase::LogoIn);
        }
        return false;
    case Phase::LogoIn:
        m_logo += dt * kSlowRate;
        if (m_logo >= 1.0f)
        {
            m_logo = 1.0f;
            Next(Phase::LogoHold);
        }
        return false;
    case Phase::LogoHold:
        if (Hold(milliseconds, kLogoHold))
            Next(Phase::LogoOut);
        return false;
    case Phase::LogoOut:
        m_logo -= dt;
        m_card = std::min(m_card, std::max(m_logo, 0.0f));
        m_color = std::min(m_color, std::max(m_logo, 0.0f));
        if (m_logo > 0.0f)
            return false;
        m_logo = 0.0f;
        Next(Phase::Done);
        return true;
    case Phase::Done:
        return true;
    }
    return true;
}

void CStoryEnding::Render(const CMenuLayout& layout, CTexture* picture, CBasicFilter* sepia, CFontTexture* font,
                          CTexture* logo, const char* const title[2], const char* notice) const
{
    const CMenuPainter painter(layout);
    const MenuRect area = layout.Area();
    const MenuPoint centre = area.Centre();
    const float k = m_zoom < 1.0f ? (1.0f - m_zoom) / kZoomRate : 0.0f;
    const MenuPoint at{centre.x - kSideShift * k * centre.x, centre.y};
    const uint32_t rgb = MenuAlpha(m_brightness) * 0x010101u;
    if (picture != nullptr)
    {
        const std::array<float, 4> source = StorySheet::kWholeScreen.Source();
        const MenuPoint pixels = layout.ToPixels(at);
        const uint8_t centred = ToDrawAnchor(MenuAnchor::Centre);
        if (sepia != nullptr)
            sepia->DrawScaledEx(picture, pixels.x, pixels.y, source.data(), m_zoom * layout.Scale(),
                                MenuAlpha(m_sepia) << 24 | rgb, 0, 0, centred);
        painter.Picture(picture, StorySheet::kWholeScreen, at, MenuAlpha(m_color) << 24 | rgb, MenuAnchor::Centre,
                        m_zoom);
    }
    if (font != nullptr)
    {
        const uint32_t card = MenuColor(MenuRole::Focused, m_card);
        for (int line = 0; line < 2; ++line)
        {
            const float y = centre.y + kCardLineGap * static_cast<float>(line);
            painter.Text(font, {centre.x, y, centre.x, y}, MenuAnchor::Centre, kCardSize, card, title[line]);
        }
        const uint32_t staff = MenuColor(MenuRole::Focused, m_color);
        const float x = centre.x + kRollX;
        for (uint32_t i = 0; i < m_lines.GetCount(); ++i)
        {
            const tag_TOLQSTORYENDINGSTAFF* line = m_lines.GetAt(i);
            const float y = LineY(i);
            // Only what can be seen is drawn.
            if (line->text[0] == '\0' || y < area.top - line->size || y > area.bottom + line->size)
                continue;
            painter.Text(font, {x, y, x, y}, MenuAnchor::Centre, static_cast<float>(line->size), staff, line->text);
        }
        painter.Text(font, area, MenuAnchor::BottomRight, kNoticeSize, MenuColor(MenuRole::Focused, m_logo), notice);
    }
    painter.Picture(logo, StorySheet::kLogo, centre, MenuColor(MenuRole::Focused, m_logo), MenuAnchor::Centre);
}
