#pragma once

#include "engine/core/CList.h"
#include "engine/core/CResourceBase.h"
#include "game/story/tag_TOLQSTORYTEMPLATE.h"

#include <cstdint>
#include <string>

class CByteWriter;

// One chapter of a story: its commands, in the order the story scene runs
// them. The resource name is the chapter's name (its file name without the
// extension), by which NextScene and the routes find it. Every command and
// what it holds belongs to the story.
class CStory : public CResourceBase
{
public:
    CStory() = default;
    CStory(const CStory&) = delete;
    CStory& operator=(const CStory&) = delete;
    ~CStory() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CStory"; }

    // Frees every command and the list.
    void ClearCommands();
    // ClearCommands, then an empty list. 1, or 0 when memory is exhausted.
    uint32_t Reset();

    // Reads a script file: the text form when the path holds ".stt" or
    // ".STT", else the binary form. The story is named after the file (the
    // text after the last separator, its last four characters removed).
    // 1, or 0 when the file can't be read or a command in it is refused:
    // then the story holds no commands and error (when given) says why.
    uint32_t LoadFile(const char* path, std::string* error = nullptr);
    // The same for a file's bytes already in memory, chosen and named by
    // fileName.
    uint32_t LoadMemory(const char* fileName, const void* data, uint32_t size, std::string* error = nullptr);
    // Writes the binary form through the crash-safe writer. 1/0.
    uint32_t SaveFile(const char* path) const;

    // Replaces the commands by these, which the story then owns. 0 when
    // memory is exhausted (the commands stay the caller's).
    uint32_t SetCommands(tag_TOLQSTORYTEMPLATE* const* commands, uint32_t count);

    uint32_t GetCommandCount() const { return m_commands != nullptr ? m_commands->GetCount() : 0; }
    // Null past the end.
    const tag_TOLQSTORYTEMPLATE* GetCommand(uint32_t index) const;
    // Null until the first load.
    const CList<tag_TOLQSTORYTEMPLATE*>* GetCommandList() const { return m_commands; }

    // The largest object index of the ImageRegister commands, 0 when there
    // are none: the picture slots a chapter needs, less one. Other commands
    // may name a higher index; the scene ignores them.
    int8_t GetMaxObjectIndex() const;

private:
    CList<tag_TOLQSTORYTEMPLATE*>* m_commands = nullptr;
};
