#include "game/actor/CClothes.h"

#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelBone.h"
#include "engine/render/CRenderList.h"
#include "game/actor/ActorDrawing.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CClothesDefinition.h"

#include <cstring>

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
    m_world = wearerWorld;
    m_onBone = false;
    if (wearerAnimation != nullptr && m_definition != nullptr && !m_definition->bone.empty())
    {
        CList<tag_KVRBONESTATE>* states = wearerAnimation->GetBoneStateList();
        for (uint32_t i = 0; i < states->GetCount(); ++i)
        {
            const tag_KVRBONESTATE* state = states->GetAt(i);
            if (state->bone == nullptr || state->bone->GetName() == nullptr ||
                std::strcmp(state->bone->GetName(), m_definition->bone.c_str()) != 0)
                continue;
            m_world = state->combined;
            m_onBone = true;
            break;
        }
    }
    m_position = CkvrVector3(m_world.m[12], m_world.m[13], m_world.m[14]);
}
