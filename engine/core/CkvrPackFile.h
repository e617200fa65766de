#pragma once

#include "engine/core/CResourceBase.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>

// One directory entry of a pack as it lies in the file: 260 bytes of name
// (NUL-terminated, the rest zero), then the data's size and its offset from
// the start of the pack, both u32 little-endian.
struct tag_KVRPACKENTRY
{
    char name[260];
    uint32_t size;
    uint32_t offset;
};
static_assert(sizeof(tag_KVRPACKENTRY) == 268, "a pack entry is 268 bytes on disk and in memory");

// A pack file (.gpk): a u32 entry count, the directory of 268-byte entries,
// then every entry's data back to back in directory order. Open reads only the
// directory; each entry read opens the pack anew, so no stream stays open.
//
// Packs come from disk and may be damaged or hostile: Open refuses a
// directory that does not fit in the file or an entry whose data lies outside
// it, and extraction refuses names that would leave the current folder.
class CkvrPackFile : public CResourceBase
{
public:
    static constexpr uint32_t kNameSize = 260;
    static constexpr uint32_t kEntrySize = 268;

    CkvrPackFile();
    CkvrPackFile(const CkvrPackFile&) = delete;
    CkvrPackFile& operator=(const CkvrPackFile&) = delete;
    ~CkvrPackFile() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CkvrPackFile"; }

    // Builds a pack of the given files, each stored under its path as given
    // (at most 259 bytes). A failure while copying the data leaves a
    // truncated pack on disk. 1/0.
    static int Create(const char* const* paths, uint32_t count, const char* packPath);

    // Reads the directory and takes path as the object's name. 1/0; on
    // failure the object holds nothing.
    int Open(const char* path);

    // The first entry, in directory order, whose stored name equals name
    // exactly (letter case and folder part included); null when none does.
    const tag_KVRPACKENTRY* FindEntry(const char* name) const;
    // Null when index >= count.
    const tag_KVRPACKENTRY* GetEntry(uint32_t index) const;
    uint32_t GetCount() const { return m_count; }

    // A new aligned block holding the entry's bytes (its size is the entry's
    // size; no NUL is added) that the caller frees with AlignedFree, or null.
    uint8_t* LoadFile(const char* name) const;
    // Copies the entry's bytes into destination (at least the entry's size).
    // 1/0.
    int ReadFileTo(const char* name, void* destination) const;
    // Writes the entry to a file at its stored path, creating its folders.
    // 1/0; 0 for names that would leave the current folder.
    int ExtractFile(const char* name) const;
    // Writes every entry, reading the data from packPath (opened as the
    // directory first when the object holds none). Nothing is written when
    // any entry's name would leave the current folder. 1/0.
    int ExtractAll(const char* packPath);

private:
    int ReadEntry(const tag_KVRPACKENTRY& entry, void* destination) const;

    uint32_t m_count = 0;
    tag_KVRPACKENTRY* m_entries = nullptr;
    // Stored name -> index of its first entry, so look-ups stay fast in packs
    // of thousands of entries.
    std::unordered_map<std::string_view, uint32_t> m_index;
};
