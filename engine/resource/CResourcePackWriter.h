#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CSafeFileWriter;

// Builds a pack file (.gpk) from entries held in memory: a u32 entry count,
// one 268-byte directory entry per file (260 bytes of NUL-padded name, then
// u32 size and u32 offset from the start of the pack), then the data back
// to back in directory order. The resource controller builds its packs with
// it from bytes it reads out of the old packs or loose files, so the new
// pack never depends on files lying beside it.
class CResourcePackWriter
{
public:
    // Adds an entry. 0 when the name is empty, 260 bytes or longer, or
    // already added (the pack would hide the second entry).
    int Add(const char* name, std::vector<uint8_t> bytes);
    uint32_t GetCount() const { return static_cast<uint32_t>(m_entries.size()); }

    // Writes the whole pack. 0 when it would pass 4 GiB (offsets are u32) or
    // a write fails.
    int Write(CSafeFileWriter& file) const;

private:
    struct Entry
    {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Entry> m_entries;
};
