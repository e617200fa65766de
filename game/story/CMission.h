#pragma once

#include "engine/core/CResourceBase.h"
#include "game/story/tag_TOLQMISSIONHEADER.h"

#include <cstdint>
#include <string>

struct tag_TOLQBATTLESETTING;

// One mission: the texts the mission scene shows, the seven thresholds
// that rank a result, and the battle it fights. The resource name is the
// file name without its extension.
class CMission : public CResourceBase
{
public:
    CMission();
    CMission(const CMission&) = delete;
    CMission& operator=(const CMission&) = delete;
    ~CMission() override;

    // Frees the battle setting and empties the header, then the base.
    uint32_t Release() override;
    const char* GetClassName() const override { return "CMission"; }

    // Reads a mission file: the text form when the path holds ".mit" or
    // ".MIT", else the binary form; a later record replaces what an
    // earlier one (or an earlier load) set. The mission is named after the
    // file. 1, or 0 when the file can't be read or a record in it is
    // refused: then the mission is empty (no texts, no battle) and error
    // (when given) says why.
    uint32_t Load(const char* path, std::string* error = nullptr);
    // The same for a file's bytes already in memory, chosen and named by
    // fileName.
    uint32_t LoadMemory(const char* fileName, const void* data, uint32_t size, std::string* error = nullptr);
    // Writes the binary form through the crash-safe writer: the header
    // record, then the battle record when there is a battle. 1/0.
    uint32_t Save(const char* path) const;

    tag_TOLQMISSIONHEADER* GetHeader() { return &m_header; }
    const tag_TOLQMISSIONHEADER* GetHeader() const { return &m_header; }

    // Null when no file supplied one: such a mission can't be fought.
    tag_TOLQBATTLESETTING* GetBattleOption() const { return m_battleOption; }
    // Takes the setting (made by NewStoryBattleSetting, its texts aligned
    // copies), freeing the one held before.
    void SetBattleOption(tag_TOLQBATTLESETTING* setting);

private:
    void Clear();

    tag_TOLQMISSIONHEADER m_header;
    tag_TOLQBATTLESETTING* m_battleOption = nullptr;
};
