#include "game/app/CGameConfig.h"

#include "engine/core/FileIo.h"
#include "engine/platform/PlatformClock.h"
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "game/app/SaveFolder.h"


namespace
{
constexpr const char* kConfigFile = "GameConfig.dat";
constexpr const char* kPlayDataFile = "PlayData.dat";
constexpr const char* kPlayRecordFile = "PlayRecord.dat";
constexpr uint32_t kSaveFolderBytes = 512;
constexpr size_t kMaxSaveFileBytes = 16 * 1024 * 1024;

bool Unlocked(const tag_TOLQUNLOCKRULE& rule, uint32_t battles, uint32_t wins)
{
    switch (rule.kind)
    {
    case 0:
        return true;
    case 1:
        return battles >= rule.threshold;
    case 2:
        return wins >= rule.threshold;
    default:
        return false;
    }
}

void ApplyRules(const std::vector<tag_TOLQUNLOCKRULE>& rules, std::vector<tag_TOLQUNLOCKDATA>& table,
                uint32_t battles, uint32_t wins)
{
    if (table.size() < rules.size())
        table.resize(rules.size(), tag_TOLQUNLOCKDATA{});
    for (size_t i = 0; i < rules.size(); ++i)
    {
        tag_TOLQUNLOCKDATA& unlock = table[i];
        if (unlock.unlocked != 0 || unlock.owned != 0 || unlock.reserved != 0)
            continue;
        if (Unlocked(rules[i], battles, wins))
            unlock.unlocked = 1;
    }
}
}

CGameConfig::CGameConfig()
{
    SetDefaultGameConfig(&m_config);
    SetDefaultPlayData(&m_playData);
    SetDefaultPlayRecord(&m_record);
}

bool CGameConfig::ResolveFolder()
{
    if (!m_folder.empty())
        return true;
    char folder[kSaveFolderBytes];
    if (GetSaveFolder(folder, "QOR", sizeof(folder)) == 0)
        return false;
    m_folder = folder;
    return true;
}

int CGameConfig::Load()
{
    m_folder.clear();
    if (!ResolveFolder())
    {
        const std::string folder = GetSaveFolderPath("QOR");
        m_loadProblem = folder.empty() ? "No save folder: neither XDG_DATA_HOME nor HOME names a folder."
                                       : "The save folder can't be made or used:\n" + folder;
        return 0;
    }
    return LoadFrom(m_folder.c_str());
}

int CGameConfig::LoadFrom(const char* folder)
{
    if (folder == nullptr || *folder == '\0')
        return 0;
    m_folder = folder;
    if (m_folder.back() != '/')
        m_folder += '/';
    m_loadProblem.clear();
    SetDefaultGameConfig(&m_config);
    SetDefaultPlayData(&m_playData);
    SetDefaultPlayRecord(&m_record);

    struct Entry
    {
        const char* name;
        int (*decode)(const uint8_t*, size_t, CGameConfig*);
    };
    static const Entry entries[] = {
        {kConfigFile, [](const uint8_t* b, size_t n, CGameConfig* c) { return DecodeGameConfig(b, n, &c->m_config); }},
        {kPlayDataFile, [](const uint8_t* b, size_t n, CGameConfig* c) { return DecodePlayData(b, n, &c->m_playData); }},
        {kPlayRecordFile, [](const uint8_t* b, size_t n, CGameConfig* c) { return DecodePlayRecord(b, n, &c->m_record); }},
    };
    std::vector<uint8_t> bytes;
    for (const Entry& entry : entries)
    {
        const std::string path = m_folder + entry.name;
        const NativeReadResult state = ReadNativeFile(path.c_str(), kMaxSaveFileBytes, &bytes);
        if (state == NativeReadResult::Missing)
            continue;
        if (state == NativeReadResult::Read && entry.decode(bytes.data(), bytes.size(), this) != 0)
            continue;
        m_loadProblem += '\n';
        m_loadProblem += path;
    }
    if (!m_loadProblem.empty())
        m_loadProblem = "These saved files could not be read completely; defaults stand in for what could not be "
                        "read, and each file stays as it is until it is saved again:" +
                        m_loadProblem;
    m_record.sessionStart = GetTickMilliseconds();
    return 1;
}

int CGameConfig::SaveFile(const char* name, const std::vector<uint8_t>& bytes)
{
    if (!ResolveFolder())
        return 0;
    const std::string path = m_folder + name;
    return WriteFileAtomically(path.c_str(), bytes.data(), bytes.size());
}

int CGameConfig::SaveAll()
{
    UpdateUnlocks();
    if (SaveConfig() == 0 || SavePlayData() == 0)
        return 0;
    return SavePlayRecord();
}

int CGameConfig::SaveConfig()
{
    return SaveFile(kConfigFile, EncodeGameConfig(m_config));
}

int CGameConfig::SavePlayData()
{
    return SaveFile(kPlayDataFile, EncodePlayData(m_playData));
}

int CGameConfig::SavePlayRecord()
{
    return SaveFile(kPlayRecordFile, EncodePlayRecord(m_record));
}

tag_TOLQCHARAPLAYDATA* CGameConfig::GetCharacterData(uint32_t index)
{
    if (index >= m_playData.characters.size())
        return nullptr;
    return &m_playData.characters[index];
}

uint32_t CGameConfig::GetStoryClearCount() const
{
    uint32_t total = 0;
    for (const tag_TOLQCHARAPLAYDATA& character : m_playData.characters)
    {
        for (uint32_t clears : character.storyClear)
            total += clears;
    }
    return total;
}

void CGameConfig::ResetConfig()
{
    SetDefaultGameConfig(&m_config);
}

void CGameConfig::SetUnlockRules(std::vector<tag_TOLQUNLOCKRULE> weapons, std::vector<tag_TOLQUNLOCKRULE> clothes)
{
    m_weaponRules = std::move(weapons);
    m_clothesRules = std::move(clothes);
}

uint32_t CGameConfig::CountBattles() const
{
    uint32_t battles = 0;
    for (const tag_TOLQBATTLERECORD& record : m_record.records)
        battles += record.offline[0] + record.network[0];
    return battles;
}

uint32_t CGameConfig::CountWins() const
{
    uint32_t wins = 0;
    for (const tag_TOLQBATTLERECORD& record : m_record.records)
        wins += record.offline[1] + record.offline[4] + record.network[1] + record.network[4];
    return wins;
}

int CGameConfig::UpdateUnlocks()
{
    const uint32_t battles = CountBattles();
    const uint32_t wins = CountWins();
    ApplyRules(m_weaponRules, m_playData.weapons, battles, wins);
    ApplyRules(m_clothesRules, m_playData.clothes, battles, wins);
    return 1;
}
