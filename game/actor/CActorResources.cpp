#include "game/actor/CActorResources.h"

#include "engine/effect/CEffectContainer.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CMesh.h"
#include "engine/render/CTexture.h"
#include "engine/resource/CResourceController.h"

namespace
{
CResourceController* s_controller = nullptr;
}

void CActorResources::Install(CResourceController* controller)
{
    s_controller = controller;
}

CResourceController* CActorResources::GetController()
{
    return s_controller;
}

CMesh* CActorResources::FindMesh(const std::string& name)
{
    if (s_controller == nullptr || name.empty())
        return nullptr;
    return dynamic_cast<CMesh*>(s_controller->GetMeshList().FindByFileName(name.c_str()));
}

CTexture* CActorResources::FindTexture(const std::string& name)
{
    if (s_controller == nullptr || name.empty())
        return nullptr;
    return s_controller->GetTextureList().FindByFileName(name.c_str());
}

CSoundBuffer* CActorResources::FindSound(const std::string& name)
{
    if (s_controller == nullptr || name.empty())
        return nullptr;
    return s_controller->GetSoundList().FindByFileName(name.c_str());
}

CEffectContainer* CActorResources::FindEffect(const std::string& name)
{
    if (s_controller == nullptr || name.empty())
        return nullptr;
    return dynamic_cast<CEffectContainer*>(s_controller->GetEffectList().FindByFileName(name.c_str()));
}
