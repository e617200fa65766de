#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Writes a file so that a crash or a failed write never leaves a damaged
// file under its real name: the bytes go to a temporary file in the same
// folder, which Commit renames over the target only once it is complete and
// on disk. An object destroyed without Commit removes its temporary file and
// leaves the old target untouched.
//
// The rename replaces the directory entry, not the old file's bytes, so a
// reader that has the old file open (or reopens it by a cached directory
// before the rename) still sees complete old data.
class CSafeFileWriter
{
public:
    CSafeFileWriter() = default;
    CSafeFileWriter(const CSafeFileWriter&) = delete;
    CSafeFileWriter& operator=(const CSafeFileWriter&) = delete;
    ~CSafeFileWriter();

    // Resolves the data name (CPathResolver), creates its folders and an
    // empty temporary file beside it, open for writing. 1/0.
    int Open(const char* dataName);

    // Appends bytes; 0 when the stream fails (the file is then useless and
    // Commit refuses it).
    int Write(const void* bytes, size_t size);
    int WriteU32(uint32_t value);

    // Flushes the temporary file to disk and closes it, keeping it under its
    // temporary name. Code that writes by path (savers of other classes) may
    // write GetTempPath between Open and Close instead of using Write. 1/0.
    int Close();
    // Closes if still open, then renames the temporary file over the target.
    // 1/0; on failure the temporary file is removed.
    int Commit();
    // Removes the temporary file; the target stays as it was.
    void Discard();

    const std::string& GetTargetPath() const { return m_target; }
    const std::string& GetTempPath() const { return m_temp; }
    bool IsCommitted() const { return m_committed; }

    // For tests of crash safety: after this many further successful Write
    // calls (in any writer), every Write fails. Negative: never.
    static void SetFailAfterWrites(int64_t writes);

private:
    int SyncTemp() const;

    std::string m_target;
    std::string m_temp;
    FILE* m_file = nullptr;
    bool m_failed = false;
    bool m_committed = false;
};
