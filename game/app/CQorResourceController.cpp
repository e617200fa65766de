#include "game/app/CQorResourceController.h"

#include "engine/render/CFontTexture.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CByteWriter.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/core/FailureLog.h"
#include "engine/core/FileIo.h"
#include "engine/effect/EffectContainerLoader.h"
#include "engine/resource/CResourceSaveJob.h"
#include "engine/resource/CSafeFileWriter.h"
#include "engine/resource/MeshLoader.h"
#include "game/actor/CGameDataResource.h"
#include "game/story/CMission.h"
#include "game/story/CStory.h"
#include "game/story/CStoryWriter.h"
#include "game/story/StoryFiles.h"

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

// A name that can be a file name of its own.
bool IsPlainFileName(const char* name)
{
    return name != nullptr && name[0] != '\0' && std::strpbrk(name, "\\/:*?\"<>|") == nullptr &&
           std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0;
}

constexpr const char* kListFolders[] = {"Bullet\\", "Item\\",   "Character\\", "Weapon\\", "Clothes\\",
                                        "Object\\", "Stage\\",  "Attack\\",    "Element\\"};

// Where a definition made in memory is saved: its list's folder, its name
// and the extension of its kind, which is the file's magic without its "Q"
// ("QSWP" is a ".swp"). Empty for a name that is no plain file name.
std::string FileNameOfDefinition(uint32_t list, const char* name, const std::vector<uint8_t>& bytes)
{
    const uint32_t index = list - CQorResourceController::LIST_BULLETS;
    if (index >= std::size(kListFolders) || bytes.size() < 4 || !IsPlainFileName(name))
        return {};
    std::string extension = ".";
    for (size_t i = 1; i < 4; ++i)
        extension += static_cast<char>(std::tolower(bytes[i]));
    return kListFolders[index] + std::string(name) + extension;
}

template <class T>
void DeleteAll(CResourceList<T*>& list)
{
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        T* element = list.GetData()[i];
        if (element == nullptr)
            continue;
        element->Release();
        delete element;
        list.GetData()[i] = nullptr;
    }
    list.SetCount(0);
}

// Keeps a loaded story or mission in its list, unless one of its name is
// there already (a file listed twice, or the text and binary forms of one
// chapter): the first one stays.
template <class T>
int KeepFirst(CResourceList<T*>& list, T* element)
{
    if (list.FindByName(element->GetName()) == nullptr && list.Add(element))
        return 1;
    element->Release();
    delete element;
    return 1;
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
    if (list == LIST_STORIES)
        return LoadScript(pack, name, "the story script", m_stories);
    if (list == LIST_MISSIONS)
        return LoadScript(pack, name, "the mission", m_missions);
    CResourceList<CResourceBase*>& target = m_gameLists[list - LIST_BULLETS];
    if (loadContents != 0)
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

int CQorResourceController::ReadGameFile(CkvrPackFile* pack, const char* name, uint64_t maxSize,
                                         std::vector<uint8_t>* bytes)
{
    if (pack == nullptr)
        return ReadWholeFile(GetLoadPath(name).c_str(), maxSize, bytes) ? 1 : 0;
    const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
    if (entry == nullptr || entry->size > maxSize)
        return 0;
    uint8_t* data = pack->LoadFile(name);
    if (data == nullptr)
        return 0;
    bytes->assign(data, data + entry->size);
    AlignedFree(data);
    return 1;
}

// A definition file read whole and kept under the definition's own name,
// which other files use to refer to it; a second definition of a name is
// skipped like a repeated file.
int CQorResourceController::LoadDefinition(CkvrPackFile* pack, const char* name, uint32_t list,
                                           CResourceList<CResourceBase*>& target)
{
    std::vector<uint8_t> bytes;
    if (!ReadGameFile(pack, name, kMaxGameDataSize, &bytes))
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

// A chapter or mission is named by its file name, by which the scenes and
// NextScene find it. One that can't be read is left out and the load goes
// on: the game starts without it rather than not at all.
template <class T>
int CQorResourceController::LoadScript(CkvrPackFile* pack, const char* name, const char* what,
                                       CResourceList<T*>& list)
{
    std::vector<uint8_t> bytes;
    const std::string leftOut = std::string("game data: ") + what + " is left out";
    if (!ReadGameFile(pack, name, kMaxStoryFileSize, &bytes))
    {
        LogFailure(leftOut.c_str(), (Quoted(name) + ": it can't be read").c_str());
        return 1;
    }
    T* script = new T();
    std::string error;
    if (!script->LoadMemory(name, bytes.data(), static_cast<uint32_t>(bytes.size()), &error))
    {
        script->Release();
        delete script;
        LogFailure(leftOut.c_str(), (Quoted(name) + ": " + error).c_str());
        return 1;
    }
    return KeepFirst(list, script);
}

int CQorResourceController::SaveGameData(CResourceSaveJob& job)
{
    for (uint32_t list = LIST_BULLETS; list < LIST_MISSIONS; ++list)
    {
        const CResourceList<CResourceBase*>& entries = m_gameLists[list - LIST_BULLETS];
        for (uint32_t i = 0; i < entries.GetCount(); ++i)
        {
            if (!SaveDefinition(job, list, entries.GetData()[i]))
                return 0;
        }
    }
    return SaveScripts(job, m_missions, "Mission\\", ".mis") && SaveScripts(job, m_stories, "Story\\", ".str");
}

// Each in its binary form, named after itself, whatever form it was read
// from.
template <class T>
int CQorResourceController::SaveScripts(CResourceSaveJob& job, const CResourceList<T*>& list, const char* folder,
                                        const char* extension)
{
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        const T* script = list.GetData()[i];
        CByteWriter writer;
        std::string error;
        if (!IsPlainFileName(script->GetName()))
            return Fail(Quoted(script->GetName()), "no file name to save it under");
        if (!CStoryWriter::Encode(*script, &writer, &error))
            return Fail(Quoted(script->GetName()), ("can't be written: " + error).c_str());
        if (!WriteGameFile(job, folder + std::string(script->GetName()) + extension, writer.GetBytes()))
            return 0;
    }
    return 1;
}

// Through the save's crash-safe writer, under a name the path layer turns
// into the set's folder, with its record.
int CQorResourceController::WriteGameFile(CResourceSaveJob& job, const std::string& fileName,
                                          const std::vector<uint8_t>& bytes)
{
    CSafeFileWriter* file = job.CreateFile(fileName);
    if (file == nullptr)
        return Fail(Quoted(fileName.c_str()), job.GetError().c_str());
    if (!file->Write(bytes.data(), bytes.size()) || !file->Close())
        return Fail(Quoted(fileName.c_str()), "can't be written");
    job.AddRecord(fileName);
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
    return WriteGameFile(job, fileName, bytes);
}

void CQorResourceController::DeleteGameData()
{
    for (CResourceList<CResourceBase*>& list : m_gameLists)
        DeleteAll(list);
    DeleteAll(m_missions);
    DeleteAll(m_stories);
}

void CQorResourceController::ReleaseOther()
{
    DeleteGameData();
    for (uint32_t i = 0; i < m_fonts.GetCount(); ++i)
    {
        CFontTexture* font = m_fonts.GetItem(i);
        if (font == nullptr)
            continue;
        font->Release();
        delete font;
    }
    m_fonts.SetCount(0);
}

void CQorResourceController::ReleaseInstances()
{
}

CResourceBase* CQorResourceController::GetList(uint8_t kind)
{
    if (kind < LIST_BULLETS)
        return CResourceController::GetList(kind);
    if (kind == LIST_MISSIONS)
        return &m_missions;
    if (kind == LIST_STORIES)
        return &m_stories;
    if (kind >= LIST_GAME_COUNT)
        return nullptr;
    return &m_gameLists[kind - LIST_BULLETS];
}
