// The fighter's model, animation, worn clothes and shadow, and the steps
// previews run. Drawing only reads the simulation: nothing here draws from
// the random stream or writes a field that the battle hashes.
#include "game/actor/CCharacter.h"

#include "engine/platform/FrameTimer.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CRenderList.h"
#include "game/actor/ActorDrawing.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CClothes.h"
#include "game/actor/CElement.h"
#include "game/actor/CStage.h"
#include "game/actor/CWeapon.h"
#include "game/actor/GroundShadow.h"
#include "game/actor/SimulationMath.h"

namespace
{
// The motion that blends in instead of cutting.
constexpr int32_t kBlendedMotion = 3;
constexpr float kBlendSeconds = 0.1f;
// A fighter's shadow fades out over 10 units of height.
constexpr float kShadowFade = 0.1f;

// The hand's bone as the pose puts it, the weapon's grip: the weapon stays
// in the hand whatever the pose does with it (hanging at a bowed loser's
// side, on the ground by a fallen fighter). Null without that bone.
const CkvrMatrix* PoseHand(CAnimationController* animation, const CCharacterDefinition* definition)
{
    const tag_KVRBONESTATE* bone =
        definition != nullptr ? ActorDrawing::FindBone(animation, definition->handBone) : nullptr;
    return bone != nullptr ? &bone->combined : nullptr;
}
}

void CCharacter::CreateModel()
{
    if (m_animation != nullptr)
        m_animation->Release();
    m_animation = nullptr;
    m_model = nullptr;
    m_motionSpeed = 1.0f;
    if (m_definition == nullptr)
        return;
    SetRadius(m_definition->height > m_definition->radius ? m_definition->height : m_definition->radius);
    m_model = CActorResources::FindMesh(m_definition->model);
    if (m_model != nullptr)
        m_animation = m_model->CreateAnimationController();
    for (const std::unique_ptr<CClothes>& clothes : m_wornClothes)
        clothes->Create(0);
    if (m_motion >= 0)
        PlayMotion(m_motion);
}

void CCharacter::ReleaseModel()
{
    if (m_animation != nullptr)
        m_animation->Release();
    m_animation = nullptr;
    m_model = nullptr;
    m_motionSpeed = 1.0f;
    m_shadowTexture = nullptr;
    for (const std::unique_ptr<CClothes>& clothes : m_wornClothes)
        clothes->ReleaseModel();
}

void CCharacter::PlayMotion(int32_t motion)
{
    m_motion = motion;
    if (m_animation == nullptr || m_definition == nullptr || motion < 0 ||
        static_cast<size_t>(motion) >= m_definition->motions.size())
        return;
    const CCharacterDefinition::Motion& entry = m_definition->motions[static_cast<size_t>(motion)];
    if (entry.animation == 255)
        return;
    const float blend = motion == kBlendedMotion ? kBlendSeconds : 0.0f;
    if (m_animation->Play(entry.animation, blend, entry.loop, 0) != 0)
        m_motionSpeed = entry.speed;
}

void CCharacter::AdvanceAnimation(float seconds)
{
    if (m_animation != nullptr)
        m_animation->Update(seconds * m_motionSpeed);
}

void CCharacter::SetAnimationSpeed(float speed)
{
    AdvanceAnimation(FrameSeconds(GetElapsedMilliseconds()) * speed);
}

void CCharacter::UpdateWeapons()
{
    const uint32_t milliseconds = GetElapsedMilliseconds();
    for (std::unique_ptr<CWeapon>& weapon : m_weapons)
    {
        if (weapon != nullptr)
            weapon->Update(milliseconds);
    }
}

void CCharacter::UpdateModelTransform()
{
    UpdateWorldMatrix();
    if (m_animation != nullptr)
        m_animation->UpdatePose(&m_world);
}

void CCharacter::UpdateAttachments()
{
    for (const std::unique_ptr<CClothes>& clothes : m_wornClothes)
        clothes->Follow(m_world, m_animation);
}

int CCharacter::Render(uintptr_t argument)
{
    if (argument != 0)
    {
        CRenderList* list = reinterpret_cast<CRenderList*>(argument);
        UpdateModelTransform();
        UpdateAttachments();
        if (m_model != nullptr)
            list->Add(this, 0);
        for (const std::unique_ptr<CClothes>& clothes : m_wornClothes)
            clothes->Render(argument);
        if (CWeapon* weapon = GetMainWeapon())
        {
            weapon->SetDrawnHand(PoseHand(m_animation, m_definition));
            weapon->Render(argument);
        }
        return 1;
    }
    ActorDrawing::DrawModel(m_model, &m_world, &m_color, GetBlendMode(), m_animation, true);
    return 1;
}

void CCharacter::DrawShadow(IBattleStage* stage)
{
    if (stage == nullptr || m_definition == nullptr)
        return;
    if (m_shadowTexture != nullptr)
        GroundShadow::Draw(stage, m_shadowTexture, m_position, m_definition->radius * 2.0f, kShadowFade);
    // The element it carries lives on the stage.
    CStage* battleStage = dynamic_cast<CStage*>(stage);
    const int32_t index = GetIndex();
    if (battleStage == nullptr || index < 0)
        return;
    for (uint32_t i = 0; i < battleStage->GetElementCount(); ++i)
    {
        CElement* element = battleStage->GetElements()[i];
        if (element->GetState() == CElement::STATE_CARRIED && element->GetCarrier() == index)
            element->DrawShadow(stage);
    }
}

void CCharacter::CopyTo(const CCharacter* source, CCharacter* target)
{
    if (source == nullptr || target == nullptr || source->m_definition == nullptr)
        return;
    auto copy = std::make_unique<CCharacterDefinition>(*source->m_definition);
    target->m_ownDefinition = std::move(copy);
    target->m_definition = target->m_ownDefinition.get();
}

const tag_TOLQRADIOCHAT* CCharacter::GetRadioChatTable() const
{
    return m_definition != nullptr ? m_definition->radio : nullptr;
}

const tag_TOLQRADIOCHAT* CCharacter::GetBattleRadioChat() const
{
    return m_data != nullptr ? m_data->radioChat : GetRadioChatTable();
}
