#include "game/actor/ActorDrawing.h"

#include "engine/platform/CGraphics.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelBone.h"

#include <cstring>

namespace ActorDrawing
{
void DrawModel(CMesh* model, const CkvrMatrix* world, const CkvrVector4* colour, uint32_t blendMode,
               CAnimationController* animation, bool solid)
{
    CGraphics* graphics = CMesh::GetGraphics();
    if (model == nullptr || graphics == nullptr)
        return;
    const uint32_t zWrite = graphics->GetStateCache()->zWriteEnable;
    if (solid)
        graphics->SetZWriteEnable(1);
    graphics->SetBlendMode(blendMode);
    if (animation != nullptr && animation->GetBoneCount() > 0)
        model->DrawSkinned(world, colour, animation);
    else
        model->DrawStatic(world, colour);
    if (solid)
        graphics->SetZWriteEnable(zWrite);
}

const tag_KVRBONESTATE* FindBone(CAnimationController* animation, const std::string& name)
{
    if (animation == nullptr || name.empty())
        return nullptr;
    CList<tag_KVRBONESTATE>* states = animation->GetBoneStateList();
    for (uint32_t i = 0; i < states->GetCount(); ++i)
    {
        const tag_KVRBONESTATE* state = states->GetAt(i);
        if (state->bone != nullptr && state->bone->GetName() != nullptr &&
            std::strcmp(state->bone->GetName(), name.c_str()) == 0)
            return state;
    }
    return nullptr;
}
}
