#include "game/story/CStory.h"

#include "game/story/CStoryWriter.h"
#include "game/story/StoryFiles.h"

#include <vector>

CStory::~CStory()
{
    ClearCommands();
}

uint32_t CStory::Release()
{
    ClearCommands();
    return CResourceBase::Release();
}

void CStory::ClearCommands()
{
    if (m_commands == nullptr)
        return;
    for (uint32_t i = 0; i < m_commands->GetCount(); ++i)
        FreeStoryCommand(m_commands->GetItem(i));
    m_commands->Release();
    delete m_commands;
    m_commands = nullptr;
}

uint32_t CStory::Reset()
{
    ClearCommands();
    m_commands = new CList<tag_TOLQSTORYTEMPLATE*>();
    return 1;
}

uint32_t CStory::SetCommands(tag_TOLQSTORYTEMPLATE* const* commands, uint32_t count)
{
    auto* list = new CList<tag_TOLQSTORYTEMPLATE*>();
    if (count > 0 && !list->SetArray(commands, count))
    {
        delete list;
        return 0;
    }
    ClearCommands();
    m_commands = list;
    return 1;
}

const tag_TOLQSTORYTEMPLATE* CStory::GetCommand(uint32_t index) const
{
    return m_commands != nullptr ? m_commands->GetItem(index) : nullptr;
}

int8_t CStory::GetMaxObjectIndex() const
{
    uint8_t largest = 0;
    for (uint32_t i = 0; i < GetCommandCount(); ++i)
    {
        const tag_TOLQSTORYTEMPLATE* command = GetCommand(i);
        if (command->opcode == STORY_IMAGE_REGISTER && command->image.object > largest)
            largest = command->image.object;
    }
    return static_cast<int8_t>(largest);
}

uint32_t CStory::LoadFile(const char* path, std::string* error)
{
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadStoryFile(path, &bytes, &why))
    {
        Reset();
        SetName(NameOfStoryPath(path).c_str());
        if (error != nullptr)
            *error = why;
        return 0;
    }
    return LoadMemory(path, bytes.data(), static_cast<uint32_t>(bytes.size()), error);
}

uint32_t CStory::LoadMemory(const char* fileName, const void* data, uint32_t size, std::string* error)
{
    Reset();
    SetName(NameOfStoryPath(fileName).c_str());
    std::string why;
    if (AnalysStoryBytes(fileName, ".stt", data, size, this, nullptr, &why))
        return 1;
    Reset();
    if (error != nullptr)
        *error = why;
    return 0;
}

uint32_t CStory::SaveFile(const char* path) const
{
    return CStoryWriter::WriteStory(this, path);
}
