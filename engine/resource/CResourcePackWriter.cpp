#include "engine/resource/CResourcePackWriter.h"

#include "engine/core/CkvrPackFile.h"
#include "engine/resource/CSafeFileWriter.h"

#include <cstring>

int CResourcePackWriter::Add(const char* name, std::vector<uint8_t> bytes)
{
    if (name == nullptr || *name == '\0' || std::strlen(name) >= CkvrPackFile::kNameSize)
        return 0;
    for (const Entry& entry : m_entries)
    {
        if (entry.name == name)
            return 0;
    }
    m_entries.push_back(Entry{name, std::move(bytes)});
    return 1;
}

int CResourcePackWriter::Write(CSafeFileWriter& file) const
{
    uint64_t offset = 4 + static_cast<uint64_t>(CkvrPackFile::kEntrySize) * m_entries.size();
    uint64_t end = offset;
    for (const Entry& entry : m_entries)
        end += entry.bytes.size();
    if (end > UINT32_MAX)
        return 0;

    if (!file.WriteU32(static_cast<uint32_t>(m_entries.size())))
        return 0;
    for (const Entry& entry : m_entries)
    {
        char name[CkvrPackFile::kNameSize] = {};
        std::memcpy(name, entry.name.data(), entry.name.size());
        if (!file.Write(name, sizeof(name)) || !file.WriteU32(static_cast<uint32_t>(entry.bytes.size())) ||
            !file.WriteU32(static_cast<uint32_t>(offset)))
            return 0;
        offset += entry.bytes.size();
    }
    for (const Entry& entry : m_entries)
    {
        if (!file.Write(entry.bytes.data(), entry.bytes.size()))
            return 0;
    }
    return 1;
}
