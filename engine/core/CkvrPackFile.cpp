#include "engine/core/CkvrPackFile.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/FileIo.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace
{
// Buildings and extractions copy through a buffer of this size.
constexpr size_t kChunkSize = 1024;

void EncodeEntry(const tag_KVRPACKENTRY& entry, uint8_t* out)
{
    std::memcpy(out, entry.name, CkvrPackFile::kNameSize);
    StoreU32LE(out + 260, entry.size);
    StoreU32LE(out + 264, entry.offset);
}

// The stored name always ends with a NUL, whatever the file holds.
void DecodeEntry(const uint8_t* in, tag_KVRPACKENTRY* entry)
{
    std::memcpy(entry->name, in, CkvrPackFile::kNameSize);
    entry->name[CkvrPackFile::kNameSize - 1] = '\0';
    entry->size = LoadU32LE(in + 260);
    entry->offset = LoadU32LE(in + 264);
}

// Copies size bytes from the current position of in to out.
int CopyBytes(FILE* in, FILE* out, uint64_t size)
{
    char chunk[kChunkSize];
    while (size > 0)
    {
        const size_t wanted = size < kChunkSize ? static_cast<size_t>(size) : kChunkSize;
        if (!ReadBytes(in, chunk, wanted))
            return 0;
        if (!WriteBytes(out, chunk, wanted))
            return 0;
        size -= wanted;
    }
    return 1;
}

int WriteEntryFile(const tag_KVRPACKENTRY& entry, FILE* pack)
{
    if (!CPathResolver::CreateFolders(entry.name))
        return 0;
    FileHandle out = OpenFile(entry.name, "wb");
    if (!out)
        return 0;
    if (fseeko(pack, static_cast<off_t>(entry.offset), SEEK_SET) != 0)
        return 0;
    if (!CopyBytes(pack, out.get(), entry.size))
        return 0;
    return CloseWrittenFile(std::move(out));
}
}

CkvrPackFile::CkvrPackFile() = default;

CkvrPackFile::~CkvrPackFile()
{
    Release();
}

uint32_t CkvrPackFile::Release()
{
    m_index.clear();
    AlignedFree(m_entries);
    m_entries = nullptr;
    m_count = 0;
    return CResourceBase::Release();
}

int CkvrPackFile::Create(const char* const* paths, uint32_t count, const char* packPath)
{
    if (paths == nullptr && count > 0)
        return 0;
    const uint64_t directoryEnd = 4 + static_cast<uint64_t>(kEntrySize) * count;
    if (directoryEnd > UINT32_MAX)
        return 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        if (paths[i] == nullptr || std::strlen(paths[i]) >= kNameSize)
            return 0;
    }

    FileHandle pack = OpenFile(packPath, "wb");
    if (!pack)
        return 0;
    uint8_t record[kEntrySize];
    StoreU32LE(record, count);
    if (!WriteBytes(pack.get(), record, 4))
        return 0;

    // Offsets are u32: a pack can't reach past 4 GiB.
    uint64_t offset = directoryEnd;
    for (uint32_t i = 0; i < count; ++i)
    {
        FileHandle source = OpenFile(paths[i], "rb");
        if (!source)
            return 0;
        const int64_t length = RewindAndMeasure(source.get());
        if (length < 0 || offset + static_cast<uint64_t>(length) > UINT32_MAX)
            return 0;
        tag_KVRPACKENTRY entry = {};
        std::memcpy(entry.name, paths[i], std::strlen(paths[i]));
        entry.size = static_cast<uint32_t>(length);
        entry.offset = static_cast<uint32_t>(offset);
        EncodeEntry(entry, record);
        if (!WriteBytes(pack.get(), record, kEntrySize))
            return 0;
        offset += static_cast<uint64_t>(length);
    }

    // Each file is copied with exactly the size its entry gives, so a file
    // that changed meanwhile fails the build instead of shifting every later
    // entry.
    for (uint32_t i = 0; i < count; ++i)
    {
        FileHandle source = OpenFile(paths[i], "rb");
        if (!source)
            return 0;
        const int64_t length = RewindAndMeasure(source.get());
        if (length < 0 || std::fseek(source.get(), 0, SEEK_SET) != 0)
            return 0;
        if (!CopyBytes(source.get(), pack.get(), static_cast<uint64_t>(length)))
            return 0;
    }
    return CloseWrittenFile(std::move(pack));
}

int CkvrPackFile::Open(const char* path)
{
    Release();
    if (path == nullptr)
        return 0;
    FileHandle pack = OpenFile(path, "rb");
    if (!pack)
        return 0;
    const int64_t fileSize = RewindAndMeasure(pack.get());
    if (fileSize < 4 || fseeko(pack.get(), 0, SEEK_SET) != 0)
        return 0;

    uint8_t record[kEntrySize];
    if (!ReadBytes(pack.get(), record, 4))
        return 0;
    const uint32_t count = LoadU32LE(record);
    // The count comes from the file: the directory must fit in it before
    // anything is allocated for it.
    if (4 + static_cast<uint64_t>(kEntrySize) * count > static_cast<uint64_t>(fileSize))
        return 0;

    tag_KVRPACKENTRY* entries = nullptr;
    if (count > 0)
    {
        entries = static_cast<tag_KVRPACKENTRY*>(AlignedAlloc(sizeof(tag_KVRPACKENTRY) * count, 16));
        if (entries == nullptr)
            return 0;
    }
    for (uint32_t i = 0; i < count; ++i)
    {
        tag_KVRPACKENTRY& entry = entries[i];
        bool valid = ReadBytes(pack.get(), record, kEntrySize);
        if (valid)
        {
            DecodeEntry(record, &entry);
            valid = static_cast<uint64_t>(entry.offset) + entry.size <= static_cast<uint64_t>(fileSize);
        }
        if (!valid)
        {
            AlignedFree(entries);
            return 0;
        }
    }

    m_entries = entries;
    m_count = count;
    m_index.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        m_index.emplace(std::string_view(m_entries[i].name), i);
    SetName(path);
    return 1;
}

const tag_KVRPACKENTRY* CkvrPackFile::FindEntry(const char* name) const
{
    if (name == nullptr)
        return nullptr;
    const auto found = m_index.find(std::string_view(name));
    return found != m_index.end() ? &m_entries[found->second] : nullptr;
}

const tag_KVRPACKENTRY* CkvrPackFile::GetEntry(uint32_t index) const
{
    return index < m_count ? &m_entries[index] : nullptr;
}

int CkvrPackFile::ReadEntry(const tag_KVRPACKENTRY& entry, void* destination) const
{
    const char* packPath = GetName();
    if (packPath == nullptr)
        return 0;
    FileHandle pack = OpenFile(packPath, "rb");
    if (!pack)
        return 0;
    if (fseeko(pack.get(), static_cast<off_t>(entry.offset), SEEK_SET) != 0)
        return 0;
    // A pack that shrank since Open gives a short read, not garbage.
    return ReadBytes(pack.get(), destination, entry.size) ? 1 : 0;
}

uint8_t* CkvrPackFile::LoadFile(const char* name) const
{
    const tag_KVRPACKENTRY* entry = FindEntry(name);
    if (entry == nullptr)
        return nullptr;
    uint8_t* data = static_cast<uint8_t*>(AlignedAlloc(entry->size, 16));
    if (data == nullptr)
        return nullptr;
    if (!ReadEntry(*entry, data))
    {
        AlignedFree(data);
        return nullptr;
    }
    return data;
}

int CkvrPackFile::ReadFileTo(const char* name, void* destination) const
{
    const tag_KVRPACKENTRY* entry = FindEntry(name);
    if (entry == nullptr || destination == nullptr)
        return 0;
    return ReadEntry(*entry, destination);
}

int CkvrPackFile::ExtractFile(const char* name) const
{
    const tag_KVRPACKENTRY* entry = FindEntry(name);
    if (entry == nullptr || !CPathResolver::IsInsideCurrentFolder(entry->name))
        return 0;
    const char* packPath = GetName();
    if (packPath == nullptr)
        return 0;
    FileHandle pack = OpenFile(packPath, "rb");
    if (!pack)
        return 0;
    return WriteEntryFile(*entry, pack.get());
}

int CkvrPackFile::ExtractAll(const char* packPath)
{
    if (packPath == nullptr)
        return 0;
    if (GetName() == nullptr && !Open(packPath))
        return 0;
    for (uint32_t i = 0; i < m_count; ++i)
    {
        if (!CPathResolver::IsInsideCurrentFolder(m_entries[i].name))
            return 0;
    }
    FileHandle pack = OpenFile(packPath, "rb");
    if (!pack)
        return 0;
    // The directory may belong to another pack than packPath: every entry is
    // checked against the file it is copied from.
    const int64_t fileSize = RewindAndMeasure(pack.get());
    if (fileSize < 0)
        return 0;
    for (uint32_t i = 0; i < m_count; ++i)
    {
        const tag_KVRPACKENTRY& entry = m_entries[i];
        if (static_cast<uint64_t>(entry.offset) + entry.size > static_cast<uint64_t>(fileSize))
            return 0;
        if (!WriteEntryFile(entry, pack.get()))
            return 0;
    }
    return 1;
}
