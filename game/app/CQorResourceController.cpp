#include "game/app/CQorResourceController.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/core/FileIo.h"
#include "engine/effect/EffectContainerLoader.h"
#include "engine/resource/CResourceSaveJob.h"
#include "engine/resource/CSafeFileWriter.h"
#include "engine/resource/MeshLoader.h"
#include "game/actor/CGameDataResource.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace
{
struct GameExtension
{
    const char* extension;
    uint8_t list;
};

constexpr GameExtension kGameExtensions[] = {
    {".blt", CQorResourceController::LIST_BULLETS},
    {".itm", CQorResourceController::LIST_ITEMS},
    {".chr", CQorResourceController::LIST_CHARACTERS},
    {".swp", CQorResourceController::LIST_WEAPONS},
    {".lwp", CQorResourceController::LIST_WEAPONS},
    {".spw", CQorResourceController::LIST_WEAPONS},
    {".cls", CQorResourceController::LIST_CLOTHES},
    {".sro", CQorResourceController::LIST_STAGE_OBJECTS},
    {".sto", CQorResourceController::LIST_STAGE_OBJECTS},
    {".stg", CQorResourceController::LIST_STAGES},
    {".ela", CQorResourceController::LIST_ELEMENT_ATTACKS},
    {".eba", CQorResourceController::LIST_ELEMENT_ATTACKS},
    {".ema", CQorResourceController::LIST_ELEMENT_ATTACKS},
    {".elt", CQorResourceController::LIST_ELEMENTS},
    {".mit", CQorResourceController::LIST_MISSIONS},
    {".mis", CQorResourceController::LIST_MISSIONS},
    {".str", CQorResourceController::LIST_STORIES},
    {".stt", CQorResourceController::LIST_STORIES},
};

std::string UpperCase(const char* text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

uint32_t ToFlag(uint32_t value)
{
    return value != 0 ? 1 : 0;
}

std::string Quoted(const char* text)
{
    std::string quoted = "\"";
    quoted += text != nullptr ? text : "";
    quoted += '"';
    return quoted;
}

constexpr const char* kListFolders[] = {"Bullet\\", "Item\\",   "Character\\", "Weapon\\", "Clothes\\",
                                        "Object\\", "Stage\\",  "Attack\\",    "Element\\"};

// Where a definition made in memory is saved: its list's folder, its name
// and the extension of its kind, which is the file's magic without its "Q"
// ("QSWP" is a ".swp"). Empty for a name that is no plain file name.
std::string FileNameOfDefinition(uint32_t list, const char* name, const std::vector<uint8_t>& bytes)
{
    const uint32_t index = list - CQorResourceController::LIST_BULLETS;
    if (index >= std::size(kListFolders) || bytes.size() < 4 || name == nullptr || name[0] == '\0' ||
        std::strpbrk(name, "\\/:*?\"<>|") != nullptr || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return {};
    std::string extension = ".";
    for (size_t i = 1; i < 4; ++i)
        extension += static_cast<char>(std::tolower(bytes[i]));
    return kListFolders[index] + std::string(name) + extension;
}
}

CQorResourceController::CQorResourceController() : CResourceController(kSetIdentifier)
{
    InstallMeshLoader(*this);
    InstallEffectContainerLoader(*this);
}

CQorResourceController::CQorResourceController(uint32_t panSounds, uint32_t musicWithoutNotify,
                                               uint32_t voicesPerSound)
    : CResourceController(std::array<uint32_t, 5>{kSetIdentifier, 1, ToFlag(panSounds), ToFlag(musicWithoutNotify),
                                                  voicesPerSound}
                              .data())
{
    InstallMeshLoader(*this);
    InstallEffectContainerLoader(*this);
}

CQorResourceController::~CQorResourceController()
{
    Release();
}

int CQorResourceController::ListOfName(const char* name)
{
    if (name == nullptr)
        return -1;
    for (const GameExtension& entry : kGameExtensions)
    {
        // Each extension in lower case or in upper case, anywhere in the name.
        if (std::strstr(name, entry.extension) != nullptr ||
            std::strstr(name, UpperCase(entry.extension).c_str()) != nullptr)
            return entry.list;
    }
    return -1;
}

int CQorResourceController::LoadOther(CkvrPackFile* pack, const char* name, uint32_t loadContents)
{
    return LoadGameData(pack, name, loadContents);
}

int CQorResourceController::LoadGameData(CkvrPackFile* pack, const char* name, uint32_t loadContents)
{
    const int list = ListOfName(name);
    if (list < 0)
        return 1;
    CResourceList<CResourceBase*>& target = m_gameLists[list - LIST_BULLETS];
    if (loadContents != 0 && list <= LIST_ELEMENTS)
        return LoadDefinition(pack, name, static_cast<uint32_t>(list), target);
    if (target.FindByName(name) != nullptr)
        return 1;
    CResourceBase* entry = new CResourceBase(name);
    if (!target.Add(entry))
    {
        delete entry;
        return 0;
    }
    return 1;
}

// A definition file read whole and kept under the definition's own name,
// which other files use to refer to it; a second definition of a name is
// skipped like a repeated file.
int CQorResourceController::LoadDefinition(CkvrPackFile* pack, const char* name, uint32_t list,
                                           CResourceList<CResourceBase*>& target)
{
    std::vector<uint8_t> bytes;
    if (pack != nullptr)
    {
        const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
        uint8_t* data = entry != nullptr ? pack->LoadFile(name) : nullptr;
        if (data == nullptr)
            return Fail(Quoted(name), "the game data can't be read from its pack");
        bytes.assign(data, data + entry->size);
        AlignedFree(data);
    }
    else if (!ReadWholeFile(GetLoadPath(name).c_str(), kMaxGameDataSize, &bytes))
        return Fail(Quoted(name), "the game data can't be read");
    CGameDataResourceBase* definition = LoadGameDataResource(list, bytes.data(), bytes.size());
    if (definition == nullptr)
        return Fail(Quoted(name), "the game data is damaged or of another kind");
    definition->fileName = name;
    if (target.FindByName(definition->GetName()) != nullptr || !target.Add(definition))
    {
        definition->Release();
        delete definition;
    }
    return 1;
}

int CQorResourceController::SaveGameData(CResourceSaveJob& job)
{
    for (uint32_t list = LIST_BULLETS; list < LIST_GAME_COUNT; ++list)
    {
        const CResourceList<CResourceBase*>& entries = m_gameLists[list - LIST_BULLETS];
        for (uint32_t i = 0; i < entries.GetCount(); ++i)
        {
            if (!SaveDefinition(job, list, entries.GetData()[i]))
                return 0;
        }
    }
    return 1;
}

// A definition goes back to the file it was read from, written through its
// own Save; one made in memory goes to its list's folder. An element held by
// name only can't be written: 0.
int CQorResourceController::SaveDefinition(CResourceSaveJob& job, uint32_t list, const CResourceBase* element)
{
    const CGameDataResourceBase* definition = dynamic_cast<const CGameDataResourceBase*>(element);
    if (definition == nullptr)
        return Fail(Quoted(element != nullptr ? element->GetName() : ""), "held by name only, its data can't be saved");
    CByteWriter writer;
    definition->Save(&writer);
    const std::vector<uint8_t>& bytes = writer.GetBytes();
    const std::string fileName =
        !definition->fileName.empty() ? definition->fileName : FileNameOfDefinition(list, definition->GetName(), bytes);
    if (fileName.empty())
        return Fail(Quoted(definition->GetName()), "no file name to save it under");
    CSafeFileWriter* file = job.CreateFile(fileName);
    if (file == nullptr)
        return Fail(Quoted(fileName.c_str()), job.GetError().c_str());
    if (!file->Write(bytes.data(), bytes.size()) || !file->Close())
        return Fail(Quoted(fileName.c_str()), "can't be written");
    job.AddRecord(fileName);
    return 1;
}

void CQorResourceController::DeleteGameData()
{
    for (CResourceList<CResourceBase*>& list : m_gameLists)
    {
        for (uint32_t i = 0; i < list.GetCount(); ++i)
        {
            CResourceBase* element = list.GetData()[i];
            if (element == nullptr)
                continue;
            element->Release();
            delete element;
            list.GetData()[i] = nullptr;
        }
        list.SetCount(0);
    }
}

void CQorResourceController::ReleaseInstances()
{
}

CResourceBase* CQorResourceController::GetList(uint8_t kind)
{
    if (kind < LIST_BULLETS)
        return CResourceController::GetList(kind);
    if (kind >= LIST_GAME_COUNT)
        return nullptr;
    return &m_gameLists[kind - LIST_BULLETS];
}
