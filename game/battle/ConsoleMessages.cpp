// What the HUD tells about the battle: the participant list with its map,
// the kill-feed message and the radio lines.
//
// Sections: layout; participant list; its members; its map; kill feed and
// radio lines.
#include "game/battle/CConsoleRenderer.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CStage.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CHudStencil.h"
#include "game/battle/ConsoleText.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"
#include "game/menu/MenuTransitions.h"

#include <algorithm>
#include <cstdio>

namespace
{
// The participant list, in 1024 x 768 layout units; its contents and map
// stand in the centred 1024-unit area (the margin is added where drawn).
constexpr float kShutterTop = 60.0f;
constexpr float kShutterBottom = 692.0f;
constexpr float kShutterTravel = 316.0f; // each edge, to the middle
constexpr float kEdgeDepth = 4.0f;
constexpr uint32_t kOpenMilliseconds = 150;
constexpr uint32_t kContentsFullFrom = 350;
constexpr uint32_t kContentsFadeFrom = 2850;
constexpr uint32_t kCloseFrom = 3000;
constexpr uint32_t kClosedAt = 3200;
constexpr MenuPoint kTitleAt{36, 82};
constexpr float kTitleSize = 32.0f;
constexpr float kSoloListY = 158.0f;
constexpr float kTeamListY = 132.0f;
constexpr float kTeamNameX = 36.0f;
constexpr float kTeamNameSize = 32.0f;
constexpr float kAfterTeamName = 40.0f;
constexpr float kAfterTeam = 32.0f;
constexpr float kSlotX = 36.0f;
constexpr float kNameX = 60.0f;
constexpr float kColonX = 260.0f;
constexpr float kDownsX = 280.0f;
constexpr float kDownWordX = 312.0f;
constexpr float kLineSize = 24.0f;
constexpr float kLinePitch = 32.0f;
constexpr uint32_t kListedLines = 8;
constexpr const char* kRuleNames[8] = {"スマッシュレース", "メダルバトル", "ポイントバトル", "ジュエルバトル",
                                       "バトルロイヤル",   "ターゲット",   "ターゲットガード", "バトルロイヤル"};
constexpr const char* kTeamNames[4] = {"TEAM A", "TEAM B", "TEAM C", "TEAM D"};
constexpr const char* kMore = "他多数";
// The map: its box, and its centre and half-size, where a stage position
// lands as the radar places it.
constexpr MenuRect kMapBox{.left = 400, .top = 82, .right = 988, .bottom = 670};
constexpr MenuPoint kMapCentre{694, 376};
constexpr float kMapHalf = 294.0f;
constexpr uint32_t kSenderRingColor = 0xFFEF002E;
constexpr uint32_t kSenderRings = 3;
constexpr uint32_t kSenderRingDelay = 200;
constexpr uint32_t kSenderRingPeriod = 600;
constexpr uint32_t kMarkRings = 2;
constexpr uint32_t kMarkRingDelay = 400;
constexpr uint32_t kMarkRingPeriod = 800;
constexpr float kMarkRingScale = 0.3f;

// The kill feed and the radio lines, from the top-left and bottom-left.
// A line's panel ends short of the radar's column at the right, at every
// window size: a longer text is cut at the panel's end.
constexpr MenuPoint kFeedAt{4, 68};
constexpr float kLineRightMargin = 8.0f + 136.0f + 8.0f;
constexpr float kLineTextSize = 18.0f;
constexpr float kBackMargin = 4.0f;
constexpr float kRadioMeasureFromBottom = 108.0f;
constexpr float kRadioPitch = 32.0f;
constexpr float kRadioBackHeight = 32.0f;
constexpr uint32_t kRadioTeamColors[5] = {0xFFFF5064, 0xFF0F32C8, 0xFFFFDA0F, 0xFF00E10F, 0xFF545454};
constexpr uint32_t kSlideIn = 300;
constexpr uint32_t kSlideOutFrom = 2300;
constexpr uint32_t kSlideOut = 1000;

MenuPoint MapPoint(const CStageDefinition& stage, float x, float z, float margin)
{
    const float halfX = stage.mapHalfX != 0.0f ? stage.mapHalfX : 1.0f;
    const float halfZ = stage.mapHalfZ != 0.0f ? stage.mapHalfZ : 1.0f;
    return {kMapCentre.x - kMapHalf * (x - stage.mapCentreX) / halfX + margin,
            kMapCentre.y + kMapHalf * (z - stage.mapCentreZ) / halfZ};
}
}

// ---------------------------------------------------------------- participant list

void CConsoleRenderer::ReportParticipantClock(uint32_t before, uint32_t after)
{
    MenuTransitions::MovedThrough(before, after, 0, kOpenMilliseconds);
    MenuTransitions::MovedThrough(before, after, kCloseFrom, kClosedAt - kCloseFrom);
}

void CConsoleRenderer::ReportLineClock(uint32_t before, uint32_t after)
{
    MenuTransitions::MovedThrough(before, after, 0, kSlideIn);
    MenuTransitions::MovedThrough(before, after, kSlideOutFrom, kSlideOut);
}

// Opened by the participant-list button: a shutter opens over 150 ms, the
// contents fade in until 350 and out from 2850, and it closes from 3000.
void CConsoleRenderer::DrawParticipantList()
{
    if (m_state.participantShown == 0 || m_state.participantClock >= kClosedAt)
        return;
    const uint32_t p = m_state.participantClock;
    float closing = 0.0f;
    if (p < kOpenMilliseconds)
        closing = 1.0f - static_cast<float>(p) / kOpenMilliseconds;
    else if (p >= kCloseFrom)
        closing = static_cast<float>(p - kCloseFrom) / static_cast<float>(kClosedAt - kCloseFrom);
    DrawListShutter(closing);
    if (p <= kOpenMilliseconds || p >= kCloseFrom)
        return;
    const int32_t hudAlpha = static_cast<int32_t>(m_hudColor >> 24);
    int32_t alpha = hudAlpha;
    if (p < kContentsFullFrom)
        alpha = static_cast<int32_t>(static_cast<float>(p - kOpenMilliseconds) /
                                     static_cast<float>(kContentsFullFrom - kOpenMilliseconds) * 255.0f);
    else if (p >= kContentsFadeFrom)
        alpha = hudAlpha - static_cast<int32_t>(static_cast<float>(p - kContentsFadeFrom) /
                                                static_cast<float>(kCloseFrom - kContentsFadeFrom) * 255.0f);
    const uint32_t contents = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
    const uint8_t rule = std::min<uint8_t>(Rule(), 7);
    const MenuPoint titleAt{kTitleAt.x + m_margin, kTitleAt.y};
    m_painter.TextAt(m_resources.large, titleAt, MenuAnchor::TopLeft, kTitleSize, 1.0f,
                     WithAlpha(m_hudColor, contents), GameText(kRuleNames[rule]));
    Report(HudItem::ListTitle, 0,
           m_painter.MeasureText(m_resources.large, titleAt, MenuAnchor::TopLeft, kTitleSize, 1.0f,
                                 GameText(kRuleNames[rule])),
           GameText(kRuleNames[rule]));
    DrawListMembers(contents);
    DrawListMap(contents);
}

// The background across the whole width and its two edge lines, each edge
// moved towards the middle by the closing share of its travel.
void CConsoleRenderer::DrawListShutter(float closing)
{
    const float top = kShutterTop + kShutterTravel * closing;
    const float bottom = kShutterBottom - kShutterTravel * closing;
    if (bottom <= top)
        return;
    m_painter.PictureInto(m_resources.sheet, ConsoleSheet::kKindFrame, {0.0f, top, Right(), bottom}, m_hudColor);
    m_painter.PictureInto(m_resources.sheet, ConsoleSheet::kListEdge, {0.0f, top - kEdgeDepth, Right(), top},
                          m_hudColor);
    m_painter.PictureInto(m_resources.sheet, ConsoleSheet::kListEdge,
                          {0.0f, bottom, Right(), bottom + kEdgeDepth}, m_hudColor);
    Report(HudItem::ListShutter, 0, {0.0f, top, Right(), bottom});
}

// The players (never the NPCs): in one list, or team by team under the
// names of the teams that have any.
void CConsoleRenderer::DrawListMembers(uint32_t alpha)
{
    const uint32_t players = PlayerCount();
    bool ended = false;
    if (!TeamBattle())
    {
        DrawListLines(players, -1, kSoloListY, alpha, &ended);
        return;
    }
    float y = kTeamListY;
    for (uint8_t team = 0; team < 4 && !ended; ++team)
    {
        if (CBattleConsole::CountTeamMembers(m_state.characters, players, team) == 0)
            continue;
        const MenuPoint nameAt{kTeamNameX + m_margin, y};
        m_painter.TextAt(m_resources.large, nameAt, MenuAnchor::TopLeft, kTeamNameSize, 1.0f,
                         WithAlpha(m_hudColor, alpha), kTeamNames[team]);
        Report(HudItem::ListTeam, team,
               m_painter.MeasureText(m_resources.large, nameAt, MenuAnchor::TopLeft, kTeamNameSize, 1.0f,
                                     kTeamNames[team]),
               kTeamNames[team]);
        y = DrawListLines(players, team, y + kAfterTeamName, alpha, &ended) + kAfterTeam;
    }
}

// One line per player of the team (-1: every player) from y: slot mark,
// name, ":", downs and "DOWN". At the ninth entry of the battle's array
// "他多数" stands instead and the list ends. Returns the next line's y.
float CConsoleRenderer::DrawListLines(uint32_t players, int team, float y, uint32_t alpha, bool* ended)
{
    const uint32_t color = WithAlpha(m_hudColor, alpha);
    for (uint32_t i = 0; i < players && !*ended; ++i)
    {
        CCharacter* fighter = m_state.characters[i];
        if (fighter == nullptr || (team >= 0 && fighter->GetTeam() != team))
            continue;
        if (i >= kListedLines)
        {
            const MenuPoint at{kSlotX + m_margin, y};
            m_painter.TextAt(m_resources.large, at, MenuAnchor::TopLeft, kLineSize, 1.0f, color, GameText(kMore));
            Report(HudItem::ListMore, 0,
                   m_painter.MeasureText(m_resources.large, at, MenuAnchor::TopLeft, kLineSize, 1.0f,
                                         GameText(kMore)),
                   GameText(kMore));
            *ended = true;
            break;
        }
        Sprite(ConsoleSheet::kSlotMarkRows[i / 4][i % 4], {kSlotX + m_margin, y}, MenuAnchor::TopLeft, color);
        char name[kNameBytes];
        NameOf(fighter, name);
        char downs[16];
        std::snprintf(downs, sizeof(downs), "%u", fighter->GetBattleScore()->value[tag_TOLQBATTLESCORE::DOWNS]);
        m_painter.TextAt(m_resources.large, {kNameX + m_margin, y}, MenuAnchor::TopLeft, kLineSize, 1.0f, color,
                         name);
        m_painter.TextAt(m_resources.large, {kColonX + m_margin, y}, MenuAnchor::TopLeft, kLineSize, 1.0f, color,
                         ":");
        m_painter.TextAt(m_resources.large, {kDownsX + m_margin, y}, MenuAnchor::TopLeft, kLineSize, 1.0f, color,
                         downs);
        m_painter.TextAt(m_resources.large, {kDownWordX + m_margin, y}, MenuAnchor::TopLeft, kLineSize, 1.0f, color,
                         "DOWN");
        Report(HudItem::ListLine, i, {kSlotX + m_margin, y, kDownWordX + m_margin + kLineSize * 3.0f, y + kLinePitch},
               name);
        y += kLinePitch;
    }
    return y;
}

// ---------------------------------------------------------------- its map

// The stage's map in the list's box: every fighter standing (NPCs too) as
// an arrow, rings around the senders of the radio lines shown, the stage
// objects' marks, pulsing where the mark is the focused fighter's own.
void CConsoleRenderer::DrawListMap(uint32_t alpha)
{
    const MenuRect box = kMapBox.Offset(m_margin, 0.0f);
    const uint32_t color = WithAlpha(m_hudColor, alpha);
    m_painter.PictureInto(m_resources.sheet, ConsoleSheet::kMapFrame, box, color);
    Report(HudItem::ListMap, 0, box);
    if (m_state.stage == nullptr)
        return;
    const CStageDefinition& stage = m_state.stage->GetDefinition();
    if (CTexture* map = CActorResources::FindTexture(stage.mapPicture))
    {
        const MenuCell whole{0.0f, 0.0f, static_cast<float>(map->GetWidth()), static_cast<float>(map->GetHeight())};
        m_painter.PictureInto(map, whole, box, color);
    }
    for (uint32_t i = 0; i < m_state.characterCount; ++i)
    {
        CCharacter* fighter = m_state.characters[i];
        if (fighter == nullptr || fighter->IsDown())
            continue;
        const CkvrVector3& at = *fighter->GetPosition();
        const MenuPoint point = MapPoint(stage, at.x, at.z, m_margin);
        const uint32_t team = TeamBattle() ? fighter->GetTeam() : (fighter == m_focused ? 0 : 1);
        m_painter.PictureRotated(m_resources.sheet, ConsoleSheet::kMapArrow, point, fighter->GetRotation()->y, 1.0f,
                                 WithAlpha(TeamColor(static_cast<uint8_t>(team)), alpha));
        Report(HudItem::ListArrow, i,
               PlaceRect({point.x, point.y, point.x, point.y}, MenuAnchor::Centre, {},
                         ConsoleSheet::kMapArrow.Width(), ConsoleSheet::kMapArrow.Height()));
    }
    for (const tag_TOLQRADIOLINE& line : m_state.radio)
    {
        if (line.shown == 0)
            break;
        if (line.sender == nullptr)
            continue;
        const CkvrVector3& at = *line.sender->GetPosition();
        const MenuPoint point = MapPoint(stage, at.x, at.z, m_margin);
        for (uint32_t k = 0; k < kSenderRings && line.clock >= kSenderRingDelay * k; ++k)
        {
            const float scale = static_cast<float>((line.clock - kSenderRingDelay * k) % kSenderRingPeriod) /
                                static_cast<float>(kSenderRingPeriod);
            Sprite(ConsoleSheet::kRing, point, MenuAnchor::Centre, WithAlpha(kSenderRingColor, alpha), scale);
        }
    }
    const uint8_t ownMark = m_focused != nullptr && m_focused->GetDefinition() != nullptr
                                ? m_focused->GetDefinition()->element
                                : CStageObjectDefinition::kNoMapMark;
    for (const CStageObject& object : m_state.stage->GetStageObjects())
    {
        if (object.definition == nullptr || object.definition->mapMark >= ConsoleSheet::kMapMarks.count)
            continue;
        const MenuPoint point = MapPoint(stage, object.position.x, object.position.z, m_margin);
        Sprite(ConsoleSheet::kMapMarks[object.definition->mapMark], point, MenuAnchor::Centre, color);
        if (object.definition->mapMark != ownMark)
            continue;
        for (uint32_t j = 0; j < kMarkRings && m_state.hudClock >= kMarkRingDelay * j; ++j)
        {
            const float scale = kMarkRingScale *
                                static_cast<float>((m_state.hudClock - kMarkRingDelay * j) % kMarkRingPeriod) /
                                static_cast<float>(kMarkRingPeriod);
            Sprite(ConsoleSheet::kRing, point, MenuAnchor::Centre, color, scale);
        }
    }
}

// ---------------------------------------------------------------- kill feed and radio lines

void CConsoleRenderer::DrawKillFeed()
{
    if (m_state.messageShown == 0)
        return;
    char text[tag_TOLQCONSOLESTATE::kMessageSize];
    CopyGameText(text, sizeof(text), m_state.messageText, sizeof(m_state.messageText));
    DrawSlidingLine(HudItem::KillFeed, 0, text, kFeedAt, m_state.messageClock, ConsoleSheet::kFeedBack, m_hudColor,
                    0.0f);
}

// Newest first, up to the first line no longer shown; each on its team's
// colour.
void CConsoleRenderer::DrawRadioLines()
{
    for (uint32_t i = 0; i < tag_TOLQCONSOLESTATE::kRadioLines; ++i)
    {
        const tag_TOLQRADIOLINE& line = m_state.radio[i];
        if (line.shown == 0)
            break;
        char text[tag_TOLQRADIOLINE::kTextSize];
        CopyGameText(text, sizeof(text), line.text, sizeof(line.text));
        const MenuPoint at{kFeedAt.x, Bottom() - (kRadioPitch * static_cast<float>(i) + kRadioMeasureFromBottom)};
        DrawSlidingLine(HudItem::RadioLine, i, text, at, line.clock, ConsoleSheet::kRadioBack,
                        kRadioTeamColors[std::min<uint8_t>(line.team, 4)], kRadioBackHeight);
    }
}

// A line that is wiped in from the left over 300 ms, stays until 2300 and
// is wiped out towards the left over 1000 ms. Its panel is the text's
// rectangle grown by 4 units (backHeight > 0: that high from the text's
// top, the text 4 units lower), never past the panel's end; the wipe shows
// the panel from its left edge as far as it has come, and the words only
// where the panel shows, so that the line is cut by its panel, never by
// the window's edge.
void CConsoleRenderer::DrawSlidingLine(HudItem item, uint32_t index, const char* text, MenuPoint at, uint32_t clock,
                                       const MenuCell& back, uint32_t backColor, float backHeight)
{
    if (clock >= kSlideOutFrom + kSlideOut)
        return;
    MenuRect rect = m_painter.MeasureText(m_resources.large, at, MenuAnchor::TopLeft, kLineTextSize, 1.0f, text);
    rect = {rect.left - kBackMargin, rect.top - kBackMargin, rect.right + kBackMargin, rect.bottom + kBackMargin};
    if (backHeight > 0.0f)
        rect = {rect.left, at.y, rect.right, at.y + backHeight};
    rect.right = std::max(rect.left, std::min(rect.right, Right() - kLineRightMargin));
    float hidden = 0.0f;
    if (clock < kSlideIn)
        hidden = (1.0f - static_cast<float>(clock) / kSlideIn) * rect.right;
    else if (clock >= kSlideOutFrom)
        hidden = rect.right * static_cast<float>(clock - kSlideOutFrom) / kSlideOut;
    const MenuRect shown{rect.left, rect.top, std::max(rect.left, rect.right - hidden), rect.bottom};
    if (shown.right <= shown.left)
        return;
    m_painter.PictureInto(m_resources.sheet, back, shown, backColor);
    CGraphics* graphics = CCamera::GetGraphics();
    const CHudStencil clip(graphics != nullptr ? graphics->GetDevice() : nullptr);
    clip.BeginWriting(0);
    m_painter.Fill(rect, 0xFF000000);
    clip.BeginWriting(1);
    m_painter.Fill(shown, 0xFF000000);
    clip.BeginClipping();
    const float textY = backHeight > 0.0f ? at.y + kBackMargin : at.y;
    m_painter.TextAt(m_resources.large, {at.x, textY}, MenuAnchor::TopLeft, kLineTextSize, 1.0f, m_hudColor, text);
    clip.End();
    Report(item, index, shown, text);
}
