#include "engine/resource/CResourceListFile.h"

#include "engine/core/CPathResolver.h"
#include "engine/resource/CSafeFileWriter.h"

#include <cstring>

namespace
{
const char kEndRecord[] = "EOF";
}

CResourceListFile::~CResourceListFile()
{
    Close();
}

int CResourceListFile::Open(const char* path)
{
    Close();
    m_id = 0;
    m_file = CPathResolver::Open(path, "rb");
    if (m_file == nullptr)
        return 0;
    uint8_t bytes[4];
    if (std::fread(bytes, 1, 4, m_file) != 4)
    {
        Close();
        return 0;
    }
    m_id = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
    return 1;
}

void CResourceListFile::Close()
{
    if (m_file != nullptr)
        std::fclose(m_file);
    m_file = nullptr;
}

int CResourceListFile::ReadRecord(char* name)
{
    if (name == nullptr)
        return RECORD_MISSING;
    std::memset(name, 0, kRecordSize);
    if (m_file == nullptr || std::fread(name, 1, kRecordSize, m_file) != kRecordSize)
    {
        std::memset(name, 0, kRecordSize);
        return RECORD_MISSING;
    }
    name[kRecordSize - 1] = '\0';
    return IsEndRecord(name) ? RECORD_END : RECORD_NAME;
}

bool CResourceListFile::IsEndRecord(const char* name)
{
    return name != nullptr && std::strcmp(name, kEndRecord) == 0;
}

int CResourceListFile::WriteHeader(CSafeFileWriter& file, uint32_t id)
{
    return file.WriteU32(id);
}

int CResourceListFile::WriteRecord(CSafeFileWriter& file, const char* name)
{
    if (name == nullptr)
        return 0;
    const size_t length = std::strlen(name);
    if (length >= kRecordSize)
        return 0;
    char record[kRecordSize] = {};
    std::memcpy(record, name, length);
    return file.Write(record, kRecordSize);
}

int CResourceListFile::WriteEnd(CSafeFileWriter& file)
{
    return WriteRecord(file, kEndRecord);
}
