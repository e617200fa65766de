#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CByteWriter.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A loaded game-data definition as an element of the resource controller's
// lists 7-15: the resource is named after the definition (so FindByName
// resolves names written in other files), holds the definition itself and
// remembers the file it came from, for saving the set again.
class CGameDataResourceBase : public CResourceBase
{
public:
    explicit CGameDataResourceBase(const char* name) : CResourceBase(name) { SetKind(KIND_GAME_OBJECT); }
    const char* GetClassName() const override { return "CGameDataResource"; }
    virtual void Save(CByteWriter* writer) const = 0;

    std::string fileName;
};

template <class T>
class CGameDataResource : public CGameDataResourceBase
{
public:
    explicit CGameDataResource(const T& definition) : CGameDataResourceBase(definition.name), m_definition(definition)
    {
    }
    const T& GetDefinition() const { return m_definition; }
    void Save(CByteWriter* writer) const override { m_definition.Save(writer); }

private:
    T m_definition;
};

// The list (7 bullets ... 15 elements) of a definition file by its magic,
// or 0 when the bytes start with none of the fourteen.
uint32_t GetGameDataListOfBytes(const void* bytes, size_t size);

// Reads a definition file of the given list into a new resource named after
// the definition; null when the file is refused or belongs to another list.
CGameDataResourceBase* LoadGameDataResource(uint32_t list, const void* bytes, size_t size);

// The file bytes of a resource made by LoadGameDataResource; 0 for any
// other resource.
uint32_t SaveGameDataResource(const CResourceBase* resource, CByteWriter* writer);
