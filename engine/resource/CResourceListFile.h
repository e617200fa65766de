#pragma once

#include <cstdint>
#include <cstdio>

class CSafeFileWriter;

// A resource list (.grc): a u32 set identifier, then records of 260 bytes,
// each a NUL-terminated relative path with the rest zero, ended by the
// record "EOF". All little-endian, no other header.
class CResourceListFile
{
public:
    static constexpr uint32_t kRecordSize = 260;
    // The identifier of the game's resource sets.
    static constexpr uint32_t kGameResourceId = 0x10001003u;

    enum : int
    {
        RECORD_NAME = 1,     // a path was read
        RECORD_END = 0,      // the "EOF" record
        RECORD_MISSING = -1, // the file ended (or failed) before the end record
    };

    CResourceListFile() = default;
    CResourceListFile(const CResourceListFile&) = delete;
    CResourceListFile& operator=(const CResourceListFile&) = delete;
    ~CResourceListFile();

    // Opens the list for reading and reads its identifier. 1/0.
    int Open(const char* path);
    void Close();
    uint32_t GetId() const { return m_id; }

    // Reads the next record into name (kRecordSize bytes). A record always
    // ends inside its 260 bytes: the last byte is forced to NUL whatever the
    // file holds. A short last record counts as a missing end record.
    int ReadRecord(char* name);

    // Writing into a crash-safe writer. WriteRecord refuses (0) a null name
    // or one of 260 bytes or more.
    static int WriteHeader(CSafeFileWriter& file, uint32_t id);
    static int WriteRecord(CSafeFileWriter& file, const char* name);
    static int WriteEnd(CSafeFileWriter& file);

    // True when the record is the end record.
    static bool IsEndRecord(const char* name);

private:
    FILE* m_file = nullptr;
    uint32_t m_id = 0;
};
