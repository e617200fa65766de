#include "game/battle/BattleGameData.h"

#include "engine/core/CResourceList.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CGameDataResource.h"

#include <vector>

namespace
{
CResourceList<CResourceBase*>* GameList(CResourceController* controller, uint32_t kind)
{
    return dynamic_cast<CResourceList<CResourceBase*>*>(controller->GetList(static_cast<uint8_t>(kind)));
}

template <class T>
void CopyList(CResourceController* controller, uint32_t kind, std::vector<T>* out)
{
    CResourceList<CResourceBase*>* list = GameList(controller, kind);
    if (list == nullptr)
        return;
    for (uint32_t i = 0; i < list->GetCount(); ++i)
    {
        const auto* resource = dynamic_cast<const CGameDataResource<T>*>(*list->GetAt(i));
        if (resource != nullptr)
            out->push_back(resource->GetDefinition());
    }
}
}

void CopyGameDataLists(CResourceController* controller, CGameDataLists* lists)
{
    lists->Clear();
    if (controller == nullptr)
        return;
    CopyList(controller, CGameDataLists::LIST_BULLETS, &lists->bullets);
    CopyList(controller, CGameDataLists::LIST_ITEMS, &lists->items);
    CopyList(controller, CGameDataLists::LIST_CHARACTERS, &lists->characters);
    CopyList(controller, CGameDataLists::LIST_WEAPONS, &lists->weapons);
    CopyList(controller, CGameDataLists::LIST_CLOTHES, &lists->clothes);
    CopyList(controller, CGameDataLists::LIST_STAGE_OBJECTS, &lists->stageObjects);
    CopyList(controller, CGameDataLists::LIST_STAGES, &lists->stages);
    CopyList(controller, CGameDataLists::LIST_ELEMENT_ATTACKS, &lists->elementAttacks);
    CopyList(controller, CGameDataLists::LIST_ELEMENTS, &lists->elements);
}

uint32_t CountGameCharacters(CResourceController* controller)
{
    CResourceList<CResourceBase*>* list =
        controller != nullptr ? GameList(controller, CGameDataLists::LIST_CHARACTERS) : nullptr;
    if (list == nullptr)
        return 0;
    uint32_t count = 0;
    for (uint32_t i = 0; i < list->GetCount(); ++i)
        count += dynamic_cast<const CGameDataResource<CCharacterDefinition>*>(*list->GetAt(i)) != nullptr ? 1 : 0;
    return count;
}
