#include "game/actor/CGameDataLists.h"

#include <strings.h>

#include <cstring>

namespace
{
struct ExtensionList
{
    const char* extension;
    uint32_t list;
    const char* magic;
};

constexpr ExtensionList kExtensions[] = {
    {".blt", CGameDataLists::LIST_BULLETS, "QBLT"},        {".itm", CGameDataLists::LIST_ITEMS, "QITM"},
    {".chr", CGameDataLists::LIST_CHARACTERS, "QCHR"},     {".swp", CGameDataLists::LIST_WEAPONS, "QSWP"},
    {".lwp", CGameDataLists::LIST_WEAPONS, "QLWP"},        {".spw", CGameDataLists::LIST_WEAPONS, "QSPW"},
    {".cls", CGameDataLists::LIST_CLOTHES, "QCLS"},        {".sto", CGameDataLists::LIST_STAGE_OBJECTS, "QSTO"},
    {".sro", CGameDataLists::LIST_STAGE_OBJECTS, "QSRO"},  {".stg", CGameDataLists::LIST_STAGES, "QSTG"},
    {".ela", CGameDataLists::LIST_ELEMENT_ATTACKS, "QELA"}, {".eba", CGameDataLists::LIST_ELEMENT_ATTACKS, "QEBA"},
    {".ema", CGameDataLists::LIST_ELEMENT_ATTACKS, "QEMA"}, {".elt", CGameDataLists::LIST_ELEMENTS, "QELT"},
};

const ExtensionList* FindExtension(const char* fileName)
{
    if (fileName == nullptr)
        return nullptr;
    const char* dot = std::strrchr(fileName, '.');
    if (dot == nullptr)
        return nullptr;
    for (const ExtensionList& entry : kExtensions)
    {
        if (strcasecmp(dot, entry.extension) == 0)
            return &entry;
    }
    return nullptr;
}

template <class T>
const T* FindIn(const std::vector<T>& list, const char* name)
{
    if (name == nullptr || name[0] == '\0')
        return nullptr;
    for (const T& definition : list)
    {
        if (std::strcmp(definition.name, name) == 0)
            return &definition;
    }
    return nullptr;
}

// Loads into a fresh definition and appends it unless the name is taken.
template <class T>
bool LoadInto(std::vector<T>* list, const void* bytes, size_t size)
{
    T definition;
    if (definition.Load(bytes, size) == 0 || FindIn(*list, definition.name) != nullptr)
        return false;
    list->push_back(std::move(definition));
    return true;
}
}

uint32_t CGameDataLists::GetListOfFile(const char* fileName)
{
    const ExtensionList* entry = FindExtension(fileName);
    return entry != nullptr ? entry->list : 0;
}

uint32_t CGameDataLists::LoadFile(const char* fileName, const void* bytes, size_t size)
{
    const ExtensionList* entry = FindExtension(fileName);
    if (entry == nullptr || size < 4 || bytes == nullptr || std::memcmp(bytes, entry->magic, 4) != 0)
        return 0;
    bool loaded = false;
    switch (entry->list)
    {
    case LIST_BULLETS: loaded = LoadInto(&bullets, bytes, size); break;
    case LIST_ITEMS: loaded = LoadInto(&items, bytes, size); break;
    case LIST_CHARACTERS: loaded = LoadInto(&characters, bytes, size); break;
    case LIST_WEAPONS: loaded = LoadInto(&weapons, bytes, size); break;
    case LIST_CLOTHES: loaded = LoadInto(&clothes, bytes, size); break;
    case LIST_STAGE_OBJECTS: loaded = LoadInto(&stageObjects, bytes, size); break;
    case LIST_STAGES: loaded = LoadInto(&stages, bytes, size); break;
    case LIST_ELEMENT_ATTACKS: loaded = LoadInto(&elementAttacks, bytes, size); break;
    case LIST_ELEMENTS: loaded = LoadInto(&elements, bytes, size); break;
    default: break;
    }
    return loaded ? entry->list : 0;
}

const CBulletDefinition* CGameDataLists::FindBullet(const char* name) const { return FindIn(bullets, name); }
const CItemDefinition* CGameDataLists::FindItem(const char* name) const { return FindIn(items, name); }
const CCharacterDefinition* CGameDataLists::FindCharacter(const char* name) const
{
    return FindIn(characters, name);
}
const CWeaponDefinition* CGameDataLists::FindWeapon(const char* name) const { return FindIn(weapons, name); }
const CClothesDefinition* CGameDataLists::FindClothes(const char* name) const { return FindIn(clothes, name); }
const CStageObjectDefinition* CGameDataLists::FindStageObject(const char* name) const
{
    return FindIn(stageObjects, name);
}
const CStageDefinition* CGameDataLists::FindStage(const char* name) const { return FindIn(stages, name); }
const CElementAttackDefinition* CGameDataLists::FindElementAttack(const char* name) const
{
    return FindIn(elementAttacks, name);
}
const CElementDefinition* CGameDataLists::FindElement(const char* name) const { return FindIn(elements, name); }

void CGameDataLists::Clear()
{
    bullets.clear();
    items.clear();
    characters.clear();
    weapons.clear();
    clothes.clear();
    stageObjects.clear();
    stages.clear();
    elementAttacks.clear();
    elements.clear();
}
