// A fighter on a menu screen, turned and moved by the camera keys.
#include "game/scene/CFighterPreview.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CShader.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CController.h"
#include "game/app/GameServices.h"

#include <algorithm>

CFighterPreview::CFighterPreview() = default;

CFighterPreview::~CFighterPreview()
{
    Clear();
}

void CFighterPreview::Clear()
{
    if (m_character == nullptr)
        return;
    m_character->ReleaseModel();
    m_character.reset();
}

void CFighterPreview::Show(const CCharacterDefinition* character, const CClothesDefinition* const* clothes,
                           uint32_t clothesCount, const CWeaponDefinition* weapon)
{
    Clear();
    if (character == nullptr)
        return;
    m_character = std::make_unique<CCharacter>(character);
    for (uint32_t i = 0; i < clothesCount; ++i)
    {
        if (clothes[i] != nullptr)
            m_character->SetClothes(clothes[i]);
    }
    m_character->Create(0);
    if (weapon != nullptr)
        m_character->SetWeaponAt(weapon, 0, 1);
    const CkvrVector3 rotation(0.0f, kFacingViewer + kShownYaw, 0.0f);
    m_character->SetRotation(&rotation);
    const float shown = character->height > kFittedHeight ? kFittedHeight / character->height : 1.0f;
    *m_character->GetScale() = CkvrVector3(shown, shown, shown);
    m_character->UpdateWorldMatrix();
}

void CFighterPreview::Step(const MenuKeys& keys, uint32_t milliseconds)
{
    if (m_character == nullptr)
        return;
    m_character->SetAnimationSpeed(1.0f);
    m_character->UpdateWeapons();
    m_character->UpdateAttachments();
    m_character->UpdateModelTransform();
    const float seconds = static_cast<float>(milliseconds) * 0.001f;
    CkvrVector3* rotation = m_character->GetRotation();
    CkvrVector3* position = m_character->GetPosition();
    if (keys.Held(MenuKey::CameraLeft))
        rotation->y += kTurnDegreesPerSecond * seconds;
    if (keys.Held(MenuKey::CameraRight))
        rotation->y -= kTurnDegreesPerSecond * seconds;
    if (keys.Held(MenuKey::CameraUp))
        position->z = std::min(position->z + kMoveUnitsPerSecond * seconds, kMoveLimit);
    if (keys.Held(MenuKey::CameraDown))
        position->z = std::max(position->z - kMoveUnitsPerSecond * seconds, -kMoveLimit);
    m_character->UpdateWorldMatrix();
}

namespace
{
// The preview's light: from above and behind the viewer, white, with a grey
// ambient so that the shaded side still reads.
constexpr float kLightDirection[3] = {-0.3f, -0.7f, 0.8f};
constexpr float kLightDiffuse[4] = {0.9f, 0.9f, 0.85f, 1.0f};
constexpr float kAmbient[4] = {0.5f, 0.5f, 0.55f, 1.0f};
}

void CFighterPreview::Render(CCamera* camera)
{
    CRenderList* list = g_pController != nullptr ? g_pController->GetRenderList() : nullptr;
    if (m_character == nullptr || list == nullptr || camera == nullptr)
        return;
    CGraphics* graphics = g_pController->GetGraphics();
    list->Clear();
    graphics->SetBlendMode(1);
    graphics->Begin3D();
    camera->Apply();
    if (CShader* shader = CGraphics::GetDefaultShader())
    {
        shader->SetFloatArray("g_LightDir", kLightDirection, 3);
        shader->SetVector("g_LightDiffuse", kLightDiffuse);
        shader->SetVector("g_WorldAmbient", kAmbient);
    }
    m_character->Render(reinterpret_cast<uintptr_t>(list));
    list->Draw();
}
