#include "engine/core/CkvrMemoryFile.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"

#include <cstring>
#include <new>

CkvrMemoryFile::CkvrMemoryFile(const void* data, int32_t size)
{
    Assign(data, size);
}

CkvrMemoryFile::CkvrMemoryFile(const CkvrMemoryFile& other)
{
    Assign(other.m_data, other.m_size);
    m_position = other.m_position;
}

CkvrMemoryFile& CkvrMemoryFile::operator=(const CkvrMemoryFile& other)
{
    if (this != &other)
    {
        Assign(other.m_data, other.m_size);
        m_position = other.m_position;
    }
    return *this;
}

CkvrMemoryFile::~CkvrMemoryFile()
{
    Close();
}

int CkvrMemoryFile::Assign(const void* data, int32_t size)
{
    Close();
    if (data == nullptr || size < 0)
        return 0;
    m_data = static_cast<uint8_t*>(AlignedAlloc(static_cast<size_t>(size), 16));
    if (m_data == nullptr)
        return 0;
    if (size > 0)
        std::memcpy(m_data, data, static_cast<size_t>(size));
    m_size = size;
    return 1;
}

void CkvrMemoryFile::Close()
{
    AlignedFree(m_data);
    m_data = nullptr;
    m_size = 0;
    m_position = 0;
}

CkvrMemoryFile* CkvrMemoryFile::Open(const char* path, const char* mode)
{
    FileHandle file = OpenFile(path, mode != nullptr ? mode : "rb");
    return FromOpenFile(file.get());
}

CkvrMemoryFile* CkvrMemoryFile::FromOpenFile(FILE* file)
{
    const int64_t length = RewindAndMeasure(file);
    if (length < 0 || length > INT32_MAX)
        return nullptr;
    CkvrMemoryFile* memory = new (std::nothrow) CkvrMemoryFile();
    if (memory == nullptr)
        return nullptr;
    const size_t size = static_cast<size_t>(length);
    memory->m_data = static_cast<uint8_t*>(AlignedAlloc(size, 16));
    if (memory->m_data == nullptr || !ReadBytes(file, memory->m_data, size))
    {
        delete memory;
        return nullptr;
    }
    memory->m_size = static_cast<int32_t>(length);
    return memory;
}

CkvrMemoryFile* CkvrMemoryFile::Create(const void* data, int32_t size)
{
    CkvrMemoryFile* memory = new (std::nothrow) CkvrMemoryFile();
    if (memory == nullptr)
        return nullptr;
    if (!memory->Assign(data, size))
    {
        delete memory;
        return nullptr;
    }
    return memory;
}

size_t CkvrMemoryFile::TransferSize(size_t elementSize, size_t count) const
{
    const size_t left = static_cast<size_t>(m_size - m_position);
    // elementSize * count may overflow; the division keeps the test exact.
    if (count > left / elementSize)
        return left;
    return elementSize * count;
}

size_t CkvrMemoryFile::Read(void* destination, size_t elementSize, size_t count)
{
    if (destination == nullptr)
        return kError;
    if (m_position >= m_size || elementSize == 0 || count == 0)
        return 0;
    const size_t bytes = TransferSize(elementSize, count);
    std::memcpy(destination, m_data + m_position, bytes);
    m_position += static_cast<int32_t>(bytes);
    return bytes / elementSize;
}

size_t CkvrMemoryFile::Write(const void* source, size_t elementSize, size_t count)
{
    if (source == nullptr)
        return kError;
    if (m_position >= m_size || elementSize == 0 || count == 0)
        return 0;
    const size_t bytes = TransferSize(elementSize, count);
    std::memcpy(m_data + m_position, source, bytes);
    m_position += static_cast<int32_t>(bytes);
    return bytes / elementSize;
}

int CkvrMemoryFile::Seek(int64_t offset, int origin)
{
    // Far beyond any memory file; keeps the sums below from overflowing.
    constexpr int64_t kFar = int64_t(1) << 40;
    offset = offset > kFar ? kFar : (offset < -kFar ? -kFar : offset);
    int64_t target = 0;
    if (origin == SEEK_SET)
        target = offset;
    else if (origin == SEEK_CUR)
        target = m_position + offset;
    else if (origin == SEEK_END)
        target = m_size + offset;
    if (target < 0)
        target = 0;
    if (target > m_size)
        target = m_size;
    m_position = static_cast<int32_t>(target);
    return 0;
}

int CkvrMemoryFile::SaveToFile(const char* path) const
{
    FileHandle file = OpenFile(path, "wb");
    if (!file || !WriteBytes(file.get(), m_data, static_cast<size_t>(m_size)))
        return 0;
    return CloseWrittenFile(std::move(file)) ? 1 : 0;
}

size_t CkvrMemoryFile::ReadProc(void* destination, size_t elementSize, size_t count, void* file)
{
    if (file == nullptr)
        return kError;
    return static_cast<CkvrMemoryFile*>(file)->Read(destination, elementSize, count);
}

int CkvrMemoryFile::SeekProc(void* file, int64_t offset, int origin)
{
    if (file == nullptr)
        return -1;
    return static_cast<CkvrMemoryFile*>(file)->Seek(offset, origin);
}

int CkvrMemoryFile::CloseProc(void* file)
{
    if (file != nullptr)
        static_cast<CkvrMemoryFile*>(file)->Close();
    return 0;
}

long CkvrMemoryFile::TellProc(void* file)
{
    if (file == nullptr)
        return -1;
    return static_cast<long>(static_cast<CkvrMemoryFile*>(file)->Tell());
}
