#include "game/story/CMission.h"

#include "game/story/CStoryWriter.h"
#include "game/story/StoryBattleSetting.h"
#include "game/story/StoryFiles.h"

#include <vector>

CMission::CMission() : m_header{}
{
}

CMission::~CMission()
{
    Clear();
}

uint32_t CMission::Release()
{
    Clear();
    return CResourceBase::Release();
}

void CMission::Clear()
{
    SetBattleOption(nullptr);
    m_header = tag_TOLQMISSIONHEADER{};
}

void CMission::SetBattleOption(tag_TOLQBATTLESETTING* setting)
{
    if (setting == m_battleOption)
        return;
    DeleteStoryBattleSetting(m_battleOption);
    m_battleOption = setting;
}

uint32_t CMission::Load(const char* path, std::string* error)
{
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadStoryFile(path, &bytes, &why))
    {
        Clear();
        SetName(NameOfStoryPath(path).c_str());
        if (error != nullptr)
            *error = why;
        return 0;
    }
    return LoadMemory(path, bytes.data(), static_cast<uint32_t>(bytes.size()), error);
}

uint32_t CMission::LoadMemory(const char* fileName, const void* data, uint32_t size, std::string* error)
{
    SetName(NameOfStoryPath(fileName).c_str());
    std::string why;
    if (AnalysStoryBytes(fileName, ".mit", data, size, nullptr, this, &why))
        return 1;
    Clear();
    if (error != nullptr)
        *error = why;
    return 0;
}

uint32_t CMission::Save(const char* path) const
{
    return CStoryWriter::WriteMission(this, path);
}
