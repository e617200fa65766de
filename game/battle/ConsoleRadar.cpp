// The radar: the stage's map around the focused fighter, the fighters as
// arrows and the stage objects' marks, clipped to the radar's disc.
#include "game/battle/CConsoleRenderer.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/actor/CStageObjectDefinition.h"
#include "game/battle/CHudStencil.h"
#include "game/battle/tag_TOLQCONSOLESTATE.h"

#include <cmath>

namespace
{
// The radar, in 1024 x 768 layout units from the top-right; its centre
// 76 from both edges. The map is 256 units across: the stage's map
// half-extent is 128 units from the map's centre.
constexpr MenuPoint kBackAt{8, 8};
constexpr MenuPoint kFrameAt{12, 12};
constexpr MenuPoint kCentreAt{76, 76};
constexpr float kMapSize = 256.0f;
constexpr float kHalfMap = kMapSize * 0.5f;
// The corner of the map's square turned any way: what the mask is cleared
// over before it is drawn.
constexpr float kMapReach = kHalfMap * 1.4143f;
constexpr float kPi = 3.14159265358979f;

// A stage position on the map, in map units from its centre: the map shows
// the stage from above with +x to the left and +z down, as the
// participant map does.
MenuPoint MapOffset(const CStageDefinition& stage, float x, float z, float halfSize)
{
    const float halfX = stage.mapHalfX != 0.0f ? stage.mapHalfX : 1.0f;
    const float halfZ = stage.mapHalfZ != 0.0f ? stage.mapHalfZ : 1.0f;
    return {-(x - stage.mapCentreX) / halfX * halfSize, (z - stage.mapCentreZ) / halfZ * halfSize};
}

MenuPoint Turn(MenuPoint offset, float degrees)
{
    const float a = degrees * kPi / 180.0f;
    const float c = std::cos(a);
    const float s = std::sin(a);
    return {offset.x * c - offset.y * s, offset.x * s + offset.y * c};
}
}

void CConsoleRenderer::DrawRadar()
{
    if (m_focused == nullptr)
        return;
    const MenuRect back =
        Sprite(ConsoleSheet::kRadarBack, FromTopRight(kBackAt), MenuAnchor::TopRight, m_hudColor);
    Sprite(ConsoleSheet::kRadarFrame, FromTopRight(kFrameAt), MenuAnchor::TopRight, m_hudColor);
    Report(HudItem::Radar, 0, back);
    if (m_state.stage == nullptr)
        return;
    const MenuPoint centre = FromTopRight(kCentreAt);
    // A rotating radar keeps the focused fighter's facing up.
    const float turn = m_resources.rotatingRadar ? -m_focused->GetRotation()->y : 0.0f;
    CGraphics* graphics = CCamera::GetGraphics();
    // Where the disc's picture stands the stencil holds 1: the map and the
    // marks are drawn only there.
    const CHudStencil mask(graphics != nullptr ? graphics->GetDevice() : nullptr);
    mask.BeginWriting(0);
    m_painter.Fill({centre.x - kMapReach, centre.y - kMapReach, centre.x + kMapReach, centre.y + kMapReach},
                   0xFF000000);
    mask.BeginWriting(1);
    Sprite(ConsoleSheet::kRadarFrame, FromTopRight(kFrameAt), MenuAnchor::TopRight, m_hudColor);
    mask.BeginClipping();
    DrawRadarMap(centre, turn);
    DrawRadarMarks(centre, turn);
    DrawRadarArrows(centre, turn);
    mask.End();
}

// The stage's map, 256 units across, with the focused fighter's place on
// it at the radar's centre.
void CConsoleRenderer::DrawRadarMap(MenuPoint centre, float turn)
{
    const CStageDefinition& stage = m_state.stage->GetDefinition();
    CTexture* map = CActorResources::FindTexture(stage.mapPicture);
    if (map == nullptr || map->GetWidth() == 0 || map->GetHeight() == 0)
        return;
    const CkvrVector3& focus = *m_focused->GetPosition();
    const MenuPoint shift = Turn(MapOffset(stage, focus.x, focus.z, kHalfMap), turn);
    const MenuCell whole{0.0f, 0.0f, static_cast<float>(map->GetWidth()), static_cast<float>(map->GetHeight())};
    const float mapScale = kMapSize / whole.Height();
    // The picture's middle is the stage's map centre.
    m_painter.PictureRotated(map, whole, {centre.x - shift.x, centre.y - shift.y}, turn, mapScale, m_hudColor);
}

void CConsoleRenderer::DrawRadarArrows(MenuPoint centre, float turn)
{
    const CStageDefinition& stage = m_state.stage->GetDefinition();
    const CkvrVector3& focus = *m_focused->GetPosition();
    const uint8_t ownTeam = m_focused->GetTeam();
    const bool hideOtherTeams = TeamBattle() && !Mission();
    for (uint32_t i = 0; i < m_state.characterCount; ++i)
    {
        CCharacter* fighter = m_state.characters[i];
        if (fighter == nullptr || fighter->IsDown() || (hideOtherTeams && fighter->GetTeam() != ownTeam))
            continue;
        const CkvrVector3& at = *fighter->GetPosition();
        const MenuPoint offset = Turn(MapOffset(stage, at.x - focus.x + stage.mapCentreX,
                                                at.z - focus.z + stage.mapCentreZ, kHalfMap),
                                      turn);
        uint32_t color = TeamColor(fighter->GetTeam());
        if (!TeamBattle())
            color = TeamColor(fighter == m_focused ? 0 : 1);
        const MenuPoint point{centre.x + offset.x, centre.y + offset.y};
        m_painter.PictureRotated(m_resources.sheet, ConsoleSheet::kRadarArrow, point,
                                 fighter->GetRotation()->y + turn, 1.0f, color);
        Report(HudItem::RadarArrow, i,
               PlaceRect({point.x, point.y, point.x, point.y}, MenuAnchor::Centre, {},
                         ConsoleSheet::kRadarArrow.Width(), ConsoleSheet::kRadarArrow.Height()));
    }
}

void CConsoleRenderer::DrawRadarMarks(MenuPoint centre, float turn)
{
    const CStageDefinition& stage = m_state.stage->GetDefinition();
    const CkvrVector3& focus = *m_focused->GetPosition();
    const std::vector<CStageObject>& objects = m_state.stage->GetStageObjects();
    for (size_t i = 0; i < objects.size(); ++i)
    {
        const CStageObjectDefinition* definition = objects[i].definition;
        if (definition == nullptr || definition->mapMark >= ConsoleSheet::kMapMarks.count)
            continue;
        const CkvrVector3& at = objects[i].position;
        const MenuPoint offset = Turn(MapOffset(stage, at.x - focus.x + stage.mapCentreX,
                                                at.z - focus.z + stage.mapCentreZ, kHalfMap),
                                      turn);
        Report(HudItem::RadarMark, static_cast<uint32_t>(i),
               Sprite(ConsoleSheet::kMapMarks[definition->mapMark], {centre.x + offset.x, centre.y + offset.y},
                      MenuAnchor::Centre, m_hudColor));
    }
}
