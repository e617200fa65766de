#include "engine/effect/EffectContainerLoader.h"

#include "engine/effect/CEffectContainer.h"
#include "engine/resource/CResourceController.h"

namespace
{
// Containers resolve before they join the effect list, so a nested one must
// come earlier in the resource list, and none finds itself.
void Resolve(CResourceController& owner, CEffectContainer* container)
{
    container->ResolveResources(&owner.GetMeshList(), &owner.GetTextureList(), &owner.GetSoundList(),
                                &owner.GetEffectList());
}
}

tag_KVRKINDLOADER MakeEffectContainerLoader()
{
    tag_KVRKINDLOADER loader;
    loader.loadFile = [](CResourceController& owner, const char* path, uint32_t loadContents) -> CResourceBase* {
        CEffectContainer* container = new CEffectContainer();
        if (!container->Load(path))
        {
            container->Release();
            delete container;
            return nullptr;
        }
        if (loadContents != 0)
            Resolve(owner, container);
        return container;
    };
    loader.loadMemory = [](CResourceController& owner, const uint8_t* data, uint32_t size,
                           const char*) -> CResourceBase* {
        CEffectContainer* container = new CEffectContainer();
        if (!container->LoadFromMemory(data, size))
        {
            container->Release();
            delete container;
            return nullptr;
        }
        Resolve(owner, container);
        return container;
    };
    loader.saveFile = [](const CResourceBase& object, const char* path) -> int {
        const CEffectContainer* container = dynamic_cast<const CEffectContainer*>(&object);
        return container != nullptr ? container->Save(path) : 0;
    };
    return loader;
}

void InstallEffectContainerLoader(CResourceController& controller)
{
    controller.SetEffectLoader(MakeEffectContainerLoader());
}
