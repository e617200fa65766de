#pragma once

#include "engine/core/CResourceList.h"
#include "engine/resource/CResourceController.h"

#include <string>
#include <vector>

class CFontTexture;
class CMission;
class CStory;

// The game's resource controller: the engine's lists (kinds 0-6) and the
// game-data lists (kinds 7-17), filled from the game-data files that a
// resource list names, chosen by the extension anywhere in the name.
//
// With contents, lists 7-15 hold the definitions (game/actor), each named
// after itself; in a load without contents (the configuration tool) they
// are kept by file name only (a bare CResourceBase). Missions (16) and
// stories (17) are always read whole: they are plain data, and the
// configuration tool saves them back.
class CQorResourceController : public CResourceController
{
public:
    enum : uint8_t
    {
        LIST_BULLETS = 7,
        LIST_ITEMS = 8,
        LIST_CHARACTERS = 9,
        LIST_WEAPONS = 10,
        LIST_CLOTHES = 11,
        LIST_STAGE_OBJECTS = 12,
        LIST_STAGES = 13,
        LIST_ELEMENT_ATTACKS = 14,
        LIST_ELEMENTS = 15,
        LIST_MISSIONS = 16,
        LIST_STORIES = 17,
        LIST_GAME_COUNT = 18,
    };
    static constexpr uint32_t kSetIdentifier = 0x10001003;

    CQorResourceController();
    // pan sounds, music without notification, voices per sound (the
    // settings' values; defaults 1, 1 and 10).
    CQorResourceController(uint32_t panSounds, uint32_t musicWithoutNotify, uint32_t voicesPerSound);
    ~CQorResourceController() override;

    // A name with a game-data extension goes to its list; any other name
    // loads nothing and succeeds. A story or mission that can't be read is
    // left out (said on standard error) and the load goes on.
    int LoadOther(CkvrPackFile* pack, const char* name, uint32_t loadContents) override;
    int LoadGameData(CkvrPackFile* pack, const char* name, uint32_t loadContents);
    // Writes every definition of lists 7-15 into the set being saved, each
    // to the file it was read from, or, made in memory, to its list's
    // folder as its name and the extension of its kind ("Weapon\\Sabre.swp"),
    // and adds its record; then every mission as "Mission\\<name>.mis" and
    // every story as "Story\\<name>.str", in their binary forms. Stops at
    // the first file it can't write: 0, which fails the whole save; so does
    // an entry held by name only (a load without contents), rather than
    // drop its file.
    int SaveGameData(CResourceSaveJob& job);
    // Releases and deletes every entry of the game lists and empties them.
    void DeleteGameData();
    int SaveOther(CResourceSaveJob& job) override { return SaveGameData(job); }
    void ReleaseOther() override;
    void ReleaseInstances() override;
    CResourceBase* GetList(uint8_t kind) override;
    // The game's fonts (0 small, 1 large), made by the game application
    // once the list is in; released and deleted with the lists.
    CResourceList<CFontTexture*>& GetFontList() { return m_fonts; }

    // The missions in list order (the order of the play data's mission
    // records) and the story chapters, found by file name.
    CResourceList<CMission*>* GetMissionList() { return &m_missions; }
    CResourceList<CStory*>* GetStoryList() { return &m_stories; }

    // The game list of a game-data file name, or -1 when the name has no
    // game-data extension.
    static int ListOfName(const char* name);

    const char* GetClassName() const override { return "CQorResourceController"; }

private:
    // The largest game-data file read: a character with every text full.
    static constexpr uint64_t kMaxGameDataSize = 1u << 20;
    // A game-data file's bytes from its pack or its file, at most maxSize.
    int ReadGameFile(CkvrPackFile* pack, const char* name, uint64_t maxSize, std::vector<uint8_t>* bytes);
    int LoadDefinition(CkvrPackFile* pack, const char* name, uint32_t list, CResourceList<CResourceBase*>& target);
    int SaveDefinition(CResourceSaveJob& job, uint32_t list, const CResourceBase* element);
    template <class T>
    int LoadScript(CkvrPackFile* pack, const char* name, const char* what, CResourceList<T*>& list);
    template <class T>
    int SaveScripts(CResourceSaveJob& job, const CResourceList<T*>& list, const char* folder, const char* extension);
    int WriteGameFile(CResourceSaveJob& job, const std::string& fileName, const std::vector<uint8_t>& bytes);

    // Lists 7-15.
    CResourceList<CResourceBase*> m_gameLists[LIST_MISSIONS - LIST_BULLETS];
    CResourceList<CMission*> m_missions;
    CResourceList<CStory*> m_stories;
    CResourceList<CFontTexture*> m_fonts;
};
