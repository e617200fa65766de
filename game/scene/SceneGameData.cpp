// The game data lists as the menu scenes read them.
#include "game/scene/SceneGameData.h"

#include "engine/core/CResourceList.h"
#include "game/actor/CGameDataResource.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"

namespace
{
CResourceList<CResourceBase*>* List(uint8_t kind)
{
    if (g_pResourceController == nullptr)
        return nullptr;
    return static_cast<CResourceList<CResourceBase*>*>(g_pResourceController->GetList(kind));
}

uint32_t Count(uint8_t kind)
{
    const CResourceList<CResourceBase*>* list = List(kind);
    return list != nullptr ? list->GetCount() : 0;
}

template <class T>
const T* At(uint8_t kind, uint32_t index)
{
    const CResourceList<CResourceBase*>* list = List(kind);
    if (list == nullptr || index >= list->GetCount())
        return nullptr;
    const auto* resource = dynamic_cast<const CGameDataResource<T>*>(list->GetItem(index));
    return resource != nullptr ? &resource->GetDefinition() : nullptr;
}
}

namespace SceneGameData
{
uint32_t CharacterCount()
{
    return Count(CQorResourceController::LIST_CHARACTERS);
}

uint32_t WeaponCount()
{
    return Count(CQorResourceController::LIST_WEAPONS);
}

uint32_t ClothesCount()
{
    return Count(CQorResourceController::LIST_CLOTHES);
}

uint32_t StageCount()
{
    return Count(CQorResourceController::LIST_STAGES);
}

const CCharacterDefinition* Character(uint32_t index)
{
    return At<CCharacterDefinition>(CQorResourceController::LIST_CHARACTERS, index);
}

const CWeaponDefinition* Weapon(uint32_t index)
{
    return At<CWeaponDefinition>(CQorResourceController::LIST_WEAPONS, index);
}

const CClothesDefinition* Clothes(uint32_t index)
{
    return At<CClothesDefinition>(CQorResourceController::LIST_CLOTHES, index);
}

const CClothesDefinition* FindClothes(const char* name)
{
    const CResourceList<CResourceBase*>* list = List(CQorResourceController::LIST_CLOTHES);
    if (list == nullptr || name == nullptr || name[0] == '\0')
        return nullptr;
    const auto* resource = dynamic_cast<const CGameDataResource<CClothesDefinition>*>(list->FindByName(name));
    return resource != nullptr ? &resource->GetDefinition() : nullptr;
}
}
