#include "engine/core/CkvrReadFile.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"
#include "engine/core/CRect.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"

#include <cstdio>
#include <cstring>

CkvrReadFile::~CkvrReadFile()
{
    FreeBuffer();
}

void CkvrReadFile::Close()
{
    FreeBuffer();
}

int CkvrReadFile::AllocateBuffer(uint32_t size)
{
    FreeBuffer();
    m_buffer = static_cast<uint8_t*>(AlignedAlloc(size, 16));
    if (m_buffer == nullptr)
        return 0;
    m_size = size;
    return 1;
}

void CkvrReadFile::FreeBuffer()
{
    AlignedFree(m_buffer);
    m_buffer = nullptr;
    m_size = 0;
    m_cursor = 0;
}

void CkvrReadFile::ReadFloats(float* out, int count)
{
    for (int i = 0; i < count; ++i)
        out[i] = ReadFloat();
}

int CkvrReadFile::LoadWholeFile(const char* path, uint32_t spare)
{
    FreeBuffer();
    FileHandle file = OpenFile(path, "rb");
    const int64_t length = RewindAndMeasure(file.get());
    if (length < 0 || static_cast<uint64_t>(length) + spare > UINT32_MAX)
        return 0;
    if (!AllocateBuffer(static_cast<uint32_t>(length) + spare))
        return 0;
    if (ReadBytes(file.get(), m_buffer, static_cast<size_t>(length)))
        return 1;
    FreeBuffer();
    return 0;
}

void CkvrReadFile::ReadVector2(float* xy)
{
    float values[2];
    ReadFloats(values, 2);
    if (xy != nullptr)
        std::memcpy(xy, values, sizeof(values));
}

void CkvrReadFile::ReadVector3(CkvrVector3* out)
{
    float v[3];
    ReadFloats(v, 3);
    if (out != nullptr)
        out->Set(v[0], v[1], v[2]);
}

void CkvrReadFile::ReadVector4(CkvrVector4* out)
{
    float v[4];
    ReadFloats(v, 4);
    if (out != nullptr)
        *out = CkvrVector4(v[0], v[1], v[2], v[3]);
}

void CkvrReadFile::ReadQuaternion(CkvrQuaternion* out)
{
    float v[4];
    ReadFloats(v, 4);
    if (out == nullptr)
        return;
    out->w = v[0];
    out->x = v[1];
    out->y = v[2];
    out->z = v[3];
}

void CkvrReadFile::ReadRect(CRect* out)
{
    float v[4];
    ReadFloats(v, 4);
    if (out != nullptr)
        out->Set(v[0], v[1], v[2], v[3]);
}

void CkvrReadFile::ReadMatrix(CkvrMatrix* out)
{
    float v[16];
    ReadFloats(v, 16);
    if (out != nullptr)
        std::memcpy(out->m, v, sizeof(v));
}
