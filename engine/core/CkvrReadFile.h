#pragma once

#include <cstdint>

class CkvrVector3;
class CkvrVector4;
class CkvrQuaternion;
class CkvrMatrix;
class CRect;

// One interface over a file read whole into memory. A parser is written once
// against it and reads the binary form (CkvrReadBinary) or the text form
// (CkvrReadText) of a format alike; the vector, quaternion, rectangle and
// matrix reads are built on ReadFloat in both.
//
// No read ever leaves the buffer: past the end of the data the binary reads
// give zeros and the text reads give empty tokens, 0 and null.
class CkvrReadFile
{
public:
    CkvrReadFile() = default;
    CkvrReadFile(const CkvrReadFile&) = delete;
    CkvrReadFile& operator=(const CkvrReadFile&) = delete;
    virtual ~CkvrReadFile();

    virtual int OpenMemory(const void* data, uint32_t size) = 0;
    virtual int Open(const char* path) = 0;
    // A new aligned text the caller frees with AlignedFree, or null.
    virtual char* ReadString() = 0;
    virtual int8_t ReadChar() = 0;
    virtual int16_t ReadShort() = 0;
    virtual int32_t ReadLong() = 0;
    virtual int32_t ReadInt() = 0;
    virtual float ReadFloat() = 0;
    // The out parameters may be null: the values are read and dropped.
    virtual void ReadVector2(float* xy);
    virtual void ReadVector3(CkvrVector3* out);
    virtual void ReadVector4(CkvrVector4* out);
    // Stored w first, then x, y, z.
    virtual void ReadQuaternion(CkvrQuaternion* out);
    // Stored left, right, top, bottom.
    virtual void ReadRect(CRect* out);
    // Sixteen values, row by row.
    virtual void ReadMatrix(CkvrMatrix* out);
    virtual void Close();
    virtual const char* GetClassName() const { return "CkvrReadFile"; }

    const uint8_t* GetBuffer() const { return m_buffer; }
    uint32_t GetSize() const { return m_size; }
    uint32_t GetCursor() const { return m_cursor; }
    // Clamped to the size of the data.
    void SetCursor(uint32_t cursor) { m_cursor = cursor < m_size ? cursor : m_size; }

protected:
    // Replaces the buffer by a zero-filled block of size bytes. 1/0.
    int AllocateBuffer(uint32_t size);
    void FreeBuffer();
    // Reads the whole file into a new buffer with spare zero bytes after
    // it; m_size covers the file and the spare bytes. 1/0.
    int LoadWholeFile(const char* path, uint32_t spare);
    void ReadFloats(float* out, int count);

    uint8_t* m_buffer = nullptr;
    uint32_t m_size = 0;
    uint32_t m_cursor = 0;
};
