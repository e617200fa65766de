#include "game/app/CQorResourceController.h"

#include <array>
#include <cctype>
#include <cstring>
#include <string>

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
}

CQorResourceController::CQorResourceController() : CResourceController(kSetIdentifier)
{
}

CQorResourceController::CQorResourceController(uint32_t panSounds, uint32_t musicWithoutNotify,
                                               uint32_t voicesPerSound)
    : CResourceController(std::array<uint32_t, 5>{kSetIdentifier, 1, ToFlag(panSounds), ToFlag(musicWithoutNotify),
                                                  voicesPerSound}
                              .data())
{
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
    (void)pack;
    (void)loadContents;
    const int list = ListOfName(name);
    if (list < 0)
        return 1;
    CResourceList<CResourceBase*>& target = m_gameLists[list - LIST_BULLETS];
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

int CQorResourceController::SaveOther(CResourceSaveJob& job)
{
    (void)job;
    for (const CResourceList<CResourceBase*>& list : m_gameLists)
    {
        if (list.GetCount() != 0)
            return 0;
    }
    return 1;
}

void CQorResourceController::ReleaseOther()
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
