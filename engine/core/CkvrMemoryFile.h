#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A file image in memory with read, write and seek in the manner of the C
// stream functions. It never grows: writes stop at its end. The sound code
// hands it to the Ogg Vorbis decoder through the four procedures below.
class CkvrMemoryFile
{
public:
    // The result of Read and Write for a null buffer, as the C stream
    // callbacks expect for an error.
    static constexpr size_t kError = static_cast<size_t>(-1);

    CkvrMemoryFile() = default;
    // Copies the data; null data or a negative size gives an empty file.
    CkvrMemoryFile(const void* data, int32_t size);
    CkvrMemoryFile(const CkvrMemoryFile& other);
    CkvrMemoryFile& operator=(const CkvrMemoryFile& other);
    ~CkvrMemoryFile();

    // A new memory file holding the whole file, or null.
    static CkvrMemoryFile* Open(const char* path, const char* mode = "rb");
    // A new memory file holding the whole contents of an open stream, read
    // from its start; the stream stays open. Null on failure.
    static CkvrMemoryFile* FromOpenFile(FILE* file);
    // A new memory file with a copy of the data, or null.
    static CkvrMemoryFile* Create(const void* data, int32_t size);

    // Elements read; a partial last element is copied but not counted.
    size_t Read(void* destination, size_t elementSize, size_t count);
    size_t Write(const void* source, size_t elementSize, size_t count);
    // origin 0 from the start, 1 from the position, 2 from the end, any other
    // from 0; the position is clamped to 0 ... size. Always 0.
    int Seek(int64_t offset, int origin);
    int64_t Tell() const { return m_position; }
    int SaveToFile(const char* path) const;
    void Close();

    const uint8_t* GetData() const { return m_data; }
    int32_t GetSize() const { return m_size; }
    int32_t GetPosition() const { return m_position; }

    // The decoder's callbacks, in the order of its callback table.
    static size_t ReadProc(void* destination, size_t elementSize, size_t count, void* file);
    static int SeekProc(void* file, int64_t offset, int origin);
    static int CloseProc(void* file);
    static long TellProc(void* file);

private:
    int Assign(const void* data, int32_t size);
    // The bytes a transfer of count elements moves from the position.
    size_t TransferSize(size_t elementSize, size_t count) const;

    uint8_t* m_data = nullptr;
    int32_t m_size = 0;
    int32_t m_position = 0;
};
