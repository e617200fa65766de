#include "game/battle/BattleGameData.h"

#include "engine/core/CResourceList.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CGameDataResource.h"

#include <vector>

namespace
{
// Calls visit with every definition of type T in the controller's list of
// that kind, in list order; entries of another type are passed over.
template <class T, class Visit>
void ForEachDefinition(CResourceController* controller, uint32_t kind, Visit visit)
{
    auto* list = dynamic_cast<CResourceList<CResourceBase*>*>(controller->GetList(static_cast<uint8_t>(kind)));
    if (list == nullptr)
        return;
    for (uint32_t i = 0; i < list->GetCount(); ++i)
    {
        const auto* resource = dynamic_cast<const CGameDataResource<T>*>(*list->GetAt(i));
        if (resource != nullptr)
            visit(resource->GetDefinition());
    }
}

template <class T>
void CopyList(CResourceController* controller, uint32_t kind, std::vector<T>* out)
{
    ForEachDefinition<T>(controller, kind, [out](const T& definition) { out->push_back(definition); });
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
    uint32_t count = 0;
    if (controller != nullptr)
        ForEachDefinition<CCharacterDefinition>(controller, CGameDataLists::LIST_CHARACTERS,
                                                [&count](const CCharacterDefinition&) { ++count; });
    return count;
}
