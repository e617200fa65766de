#pragma once

#include "engine/core/CResourceBase.h"
#include "game/app/GameConfigTypes.h"

#include <string>
#include <vector>

// The settings, play data and play record of the game and their files
// "GameConfig.dat", "PlayData.dat" and "PlayRecord.dat" in the save folder.
// Every save replaces its file whole (WriteFileAtomically, FileIo.h).
class CGameConfig : public CResourceBase
{
public:
    CGameConfig();
    ~CGameConfig() override = default;

    // Reads the three files from the save folder (LoadFrom: from the given
    // folder, ending in '/'). A missing file is a first start and keeps the
    // defaults. A short, corrupt or other-version file keeps the defaults
    // for what could not be read and is described by GetLoadProblem; the
    // file itself is left alone until the next save. 0 when there is no save
    // folder.
    int Load();
    int LoadFrom(const char* folder);
    // What could not be read at the last load, for the user: one line per
    // file, by its full path; empty when all was read.
    const std::string& GetLoadProblem() const { return m_loadProblem; }
    // The save folder of the last load, ending in '/'; empty before one.
    const std::string& GetFolder() const { return m_folder; }

    // UpdateUnlocks, then the three files in order; 0 at the first failure.
    int SaveAll();
    int SaveConfig();
    int SavePlayData();
    int SavePlayRecord();

    tag_TOLQGAMECONFIG* GetData() { return &m_config; }
    tag_TOLQPLAYDATA* GetPlayData() { return &m_playData; }
    tag_TOLQPLAYRECORD* GetRecord() { return &m_record; }
    // Null past the characters the play data holds.
    tag_TOLQCHARAPLAYDATA* GetCharacterData(uint32_t index);
    // Every story clear of every character, all difficulties.
    uint32_t GetStoryClearCount() const;
    // The settings back to what a first start has.
    void ResetConfig();

    // The unlock conditions of the weapon and clothes lists, in list order,
    // as the game data defines them.
    void SetUnlockRules(std::vector<tag_TOLQUNLOCKRULE> weapons, std::vector<tag_TOLQUNLOCKRULE> clothes);
    // Marks every still-locked item whose condition the records meet. 1.
    int UpdateUnlocks();

    const char* GetClassName() const override { return "CGameConfig"; }

private:
    bool ResolveFolder();
    int SaveFile(const char* name, const std::vector<uint8_t>& bytes);
    uint32_t CountBattles() const;
    uint32_t CountWins() const;

    tag_TOLQGAMECONFIG m_config;
    tag_TOLQPLAYDATA m_playData;
    tag_TOLQPLAYRECORD m_record;
    std::vector<tag_TOLQUNLOCKRULE> m_weaponRules;
    std::vector<tag_TOLQUNLOCKRULE> m_clothesRules;
    std::string m_folder;
    std::string m_loadProblem;
};
