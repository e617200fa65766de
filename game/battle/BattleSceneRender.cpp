// Drawing one battle frame: the 3D pass, the shadows, the world overlays,
// the bullets and effects through the render list, the filter and the HUD.
// Drawing reads the battle and changes none of it.
#include "engine/effect/CEffectController.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/sound/CListener.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "game/actor/CBulletMemoryList.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CameraSight.h"
#include "game/actor/CStage.h"
#include "game/app/GameServices.h"
#include "game/battle/BattleServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"

#include <cmath>

namespace
{
// Queued objects a battle frame may hold: fighters, field objects, bullets,
// effects and particles.
constexpr uint32_t kRenderListCapacity = 8192;
// A light as seen from the camera (the way it travels: right, up, ahead)
// and its colour.
struct CameraLight
{
    float fromCamera[3];
    float diffuse[4];
};
// The battle's light: from above, behind and right of the eye, white, with
// a grey ambient so that shaded sides still read. It turns with the
// camera, so that every shot, the result poses that face the camera too,
// shows lit faces.
constexpr CameraLight kBattleLight = {{-0.4f, -1.0f, 0.6f}, {0.9f, 0.9f, 0.85f, 1.0f}};
// The figures' light while a result shot frames a fighter on its feet:
// from behind the eye on its right, a little below the line of sight, and
// softer, so that whatever the pose turns to the camera, a face bowed in
// defeat as well as one held up, is lit as the battle's light lights a
// face in play. The stage keeps the battle's light; a fallen fighter, its
// front turned to the sky, keeps it too.
constexpr CameraLight kPoseLight = {{-0.5f, 0.43f, 0.75f}, {0.6f, 0.6f, 0.57f, 1.0f}};
constexpr float kAmbient[4] = {0.45f, 0.45f, 0.5f, 1.0f};
// Blend mode of the shadow and HUD passes.
constexpr uint32_t kAlphaBlend = 1;

// The light's world direction for the camera's heading on the ground; a
// camera looking straight down keeps the heading of one looking along +z.
void SetCameraLight(const CCamera& camera, const CameraLight& light)
{
    CShader* shader = CGraphics::GetDefaultShader();
    if (shader == nullptr)
        return;
    const CkvrVector3 sight = camera.GetTarget() - camera.GetEye();
    const float ground = std::sqrt(sight.x * sight.x + sight.z * sight.z);
    const float fx = ground > 0.0f ? sight.x / ground : 0.0f;
    const float fz = ground > 0.0f ? sight.z / ground : 1.0f;
    // Right of the heading is (fz, 0, -fx) in the engine's left-handed world.
    const float* from = light.fromCamera;
    const float direction[3] = {from[0] * fz + from[2] * fx, from[1], -from[0] * fx + from[2] * fz};
    shader->SetFloatArray("g_LightDir", direction, 3);
    shader->SetVector("g_LightDiffuse", light.diffuse);
    shader->SetVector("g_WorldAmbient", kAmbient);
}

// A fighter standing inside the one a result shot frames is left out of
// the shot: seen through the other's body it hides the pose.
bool HiddenByShot(const CCharacter* fighter, const CCharacter* framed)
{
    return framed != nullptr && fighter != framed && CameraSight::StandsInside(*fighter, *framed);
}
}

CRenderList* CBattleScene::GetRenderList(CGraphics* graphics)
{
    if (g_pRenderList != nullptr)
        return g_pRenderList;
    if (m_ownRenderList == nullptr)
    {
        m_ownRenderList = std::make_unique<CRenderList>("Battle", kRenderListCapacity, graphics);
        m_ownRenderList->SetDrawLimit(kRenderListCapacity);
    }
    return m_ownRenderList.get();
}

void CBattleScene::PlaceListener()
{
    const uint32_t local = GetLocalPlayerIndex();
    const uint32_t viewed = GetViewedIndex();
    const CCharacter* listener = local < GetPlayerCount() ? m_fighters[local] : nullptr;
    if (viewed >= GetPlayerCount() || m_fighters[viewed] == nullptr || listener == nullptr)
    {
        // The camera's own up: a fixed (0, 1, 0) would lie along the line
        // of sight of a camera looking straight down.
        const CkvrVector3 eye = m_camera->GetEye();
        const CkvrVector3 front = m_camera->GetTarget() - eye;
        const CkvrVector3 up = m_camera->GetViewUp();
        m_listener->SetPosition(&eye);
        m_listener->SetOrientation(&front, &up);
        return;
    }
    const float yaw = listener->GetRotation()->y * 3.14159265f / 180.0f;
    const CkvrVector3 front(-std::sin(yaw), 0.0f, -std::cos(yaw));
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    m_listener->SetPosition(listener->GetPosition());
    m_listener->SetOrientation(&front, &up);
}

int CBattleScene::Render(uintptr_t)
{
    CGraphics* graphics = CCamera::GetGraphics();
    if (graphics == nullptr || m_stage == nullptr || m_console == nullptr)
        return 1;
    CRenderList* list = GetRenderList(graphics);
    CFilter* filter = GetBattleHDRFilter();
    if (filter != nullptr)
    {
        m_camera->Apply();
        list->SetFilter(filter);
    }
    list->Clear();
    PlaceListener();
    graphics->SetCamera(m_camera.get());
    m_camera->Apply();
    m_listener->Apply();
    graphics->Begin3D();
    SetCameraLight(*m_camera, kBattleLight);
    const CCharacter* framed = m_console->GetFramedFighter();
    const uintptr_t queue = reinterpret_cast<uintptr_t>(list);
    m_stage->Render(queue);
    for (CCharacter* fighter : m_fighters)
    {
        if (fighter != nullptr && !HiddenByShot(fighter, framed))
            fighter->Render(queue);
    }
    for (const std::unique_ptr<CWeapon>& weapon : m_field.weapons)
        weapon->Render(queue);
    for (const std::unique_ptr<CItem>& item : m_field.items)
        item->Render(queue);
    for (uint32_t i = 0; i < m_stage->GetElementCount(); ++i)
        m_stage->GetElements()[i]->Render(queue);
    DrawShadows(graphics, framed);
    m_console->RenderWorldOverlays();
    m_bullets->RenderAll(list);
    m_effectController->Render(list);
    graphics->SetFogEnable(0);
    graphics->SetLighting(0);
    // The stage has been drawn; the figures, drawn from the list, take the
    // pose light.
    if (framed != nullptr && !framed->IsDown())
        SetCameraLight(*m_camera, kPoseLight);
    list->Draw();
    list->SetFilter(nullptr);
    graphics->SetBlendMode(kAlphaBlend);
    graphics->Begin2D();
    m_console->Render(0);
    return 1;
}

void CBattleScene::DrawShadows(CGraphics* graphics, const CCharacter* framed)
{
    graphics->SetBlendMode(kAlphaBlend);
    graphics->SetZWriteEnable(0);
    graphics->SetLighting(0);
    graphics->SetFogEnable(0);
    for (CCharacter* fighter : m_fighters)
    {
        if (fighter != nullptr && !HiddenByShot(fighter, framed))
            fighter->DrawShadow(m_stage.get());
    }
    for (const std::unique_ptr<CWeapon>& weapon : m_field.weapons)
        weapon->DropToGround(m_stage.get());
    for (const std::unique_ptr<CItem>& item : m_field.items)
        item->DrawShadow(m_stage.get());
    graphics->SetZWriteEnable(1);
    graphics->SetLighting(1);
    graphics->SetFogEnable(1);
}
