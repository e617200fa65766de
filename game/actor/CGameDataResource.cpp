#include "game/actor/CGameDataResource.h"

#include "game/actor/CGameDataLists.h"

#include <cstring>

namespace
{
struct MagicList
{
    const char* magic;
    uint32_t list;
};

constexpr MagicList kMagics[] = {
    {"QBLT", CGameDataLists::LIST_BULLETS},         {"QITM", CGameDataLists::LIST_ITEMS},
    {"QCHR", CGameDataLists::LIST_CHARACTERS},      {"QSWP", CGameDataLists::LIST_WEAPONS},
    {"QLWP", CGameDataLists::LIST_WEAPONS},         {"QSPW", CGameDataLists::LIST_WEAPONS},
    {"QCLS", CGameDataLists::LIST_CLOTHES},         {"QSTO", CGameDataLists::LIST_STAGE_OBJECTS},
    {"QSRO", CGameDataLists::LIST_STAGE_OBJECTS},   {"QSTG", CGameDataLists::LIST_STAGES},
    {"QELA", CGameDataLists::LIST_ELEMENT_ATTACKS}, {"QEBA", CGameDataLists::LIST_ELEMENT_ATTACKS},
    {"QEMA", CGameDataLists::LIST_ELEMENT_ATTACKS}, {"QELT", CGameDataLists::LIST_ELEMENTS},
};

template <class T>
CGameDataResourceBase* Make(const void* bytes, size_t size)
{
    T definition;
    if (definition.Load(bytes, size) == 0)
        return nullptr;
    return new CGameDataResource<T>(definition);
}

}

uint32_t GetGameDataListOfBytes(const void* bytes, size_t size)
{
    if (bytes == nullptr || size < 4)
        return 0;
    for (const MagicList& entry : kMagics)
    {
        if (std::memcmp(bytes, entry.magic, 4) == 0)
            return entry.list;
    }
    return 0;
}

CGameDataResourceBase* LoadGameDataResource(uint32_t list, const void* bytes, size_t size)
{
    if (GetGameDataListOfBytes(bytes, size) != list)
        return nullptr;
    switch (list)
    {
    case CGameDataLists::LIST_BULLETS: return Make<CBulletDefinition>(bytes, size);
    case CGameDataLists::LIST_ITEMS: return Make<CItemDefinition>(bytes, size);
    case CGameDataLists::LIST_CHARACTERS: return Make<CCharacterDefinition>(bytes, size);
    case CGameDataLists::LIST_WEAPONS: return Make<CWeaponDefinition>(bytes, size);
    case CGameDataLists::LIST_CLOTHES: return Make<CClothesDefinition>(bytes, size);
    case CGameDataLists::LIST_STAGE_OBJECTS: return Make<CStageObjectDefinition>(bytes, size);
    case CGameDataLists::LIST_STAGES: return Make<CStageDefinition>(bytes, size);
    case CGameDataLists::LIST_ELEMENT_ATTACKS: return Make<CElementAttackDefinition>(bytes, size);
    case CGameDataLists::LIST_ELEMENTS: return Make<CElementDefinition>(bytes, size);
    default: return nullptr;
    }
}

uint32_t SaveGameDataResource(const CResourceBase* resource, CByteWriter* writer)
{
    const CGameDataResourceBase* entry = dynamic_cast<const CGameDataResourceBase*>(resource);
    if (entry == nullptr || writer == nullptr)
        return 0;
    entry->Save(writer);
    return 1;
}
