#include "game/actor/CClothes.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CRenderList.h"
#include "game/actor/ActorDrawing.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CClothesDefinition.h"

CClothes::CClothes(const CClothesDefinition* definition) : m_definition(definition)
{
    SetKind(KIND_GAME_OBJECT);
    SetRadius(1.0f);
}

int CClothes::Create(uintptr_t)
{
    if (m_definition == nullptr)
        return 0;
    m_model = CActorResources::FindMesh(m_definition->model);
    return 1;
}

int CClothes::Render(uintptr_t argument)
{
    if (m_model == nullptr)
        return 1;
    if (argument != 0)
        return reinterpret_cast<CRenderList*>(argument)->Add(this, 0);
    ActorDrawing::DrawModel(m_model, &m_world, &m_color, GetBlendMode(), nullptr, true);
    return 1;
}

void CClothes::Follow(const CkvrMatrix& wearerWorld, CAnimationController* wearerAnimation)
{
    const tag_KVRBONESTATE* bone =
        m_definition != nullptr ? ActorDrawing::FindBone(wearerAnimation, m_definition->bone) : nullptr;
    m_world = bone != nullptr ? bone->combined : wearerWorld;
    m_onBone = bone != nullptr;
    m_position = CkvrVector3(m_world.m[12], m_world.m[13], m_world.m[14]);
}
