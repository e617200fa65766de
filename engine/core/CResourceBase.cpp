#include "engine/core/CResourceBase.h"

#include "engine/core/AlignedMemory.h"

#include <atomic>
#include <cstring>

namespace
{
// A block is preceded by a 16-byte header holding its reference count, so
// the block itself stays 16-byte aligned.
constexpr size_t kHeaderSize = 16;

std::atomic<uint32_t>* Counter(char* block)
{
    return reinterpret_cast<std::atomic<uint32_t>*>(block - kHeaderSize);
}

char* NewBlock(size_t size)
{
    if (size > SIZE_MAX - kHeaderSize)
        return nullptr;
    char* raw = static_cast<char*>(AlignedAlloc(size + kHeaderSize, 16));
    if (raw == nullptr)
        return nullptr;
    new (raw) std::atomic<uint32_t>(1);
    return raw + kHeaderSize;
}

char* NewText(const char* text)
{
    const size_t length = std::strlen(text);
    char* block = NewBlock(length + 1);
    if (block != nullptr)
        std::memcpy(block, text, length + 1);
    return block;
}
}

CResourceBase::CResourceBase() = default;

CResourceBase::CResourceBase(const char* name)
{
    m_block = NewText(name);
    m_size = static_cast<int32_t>(std::strlen(name) + 1);
}

CResourceBase::CResourceBase(int32_t size)
{
    if (size > 0)
        m_block = NewBlock(static_cast<size_t>(size));
    m_size = size;
}

CResourceBase::CResourceBase(const CResourceBase& other)
    : m_size(other.m_size), m_kind(other.m_kind)
{
    if (m_size <= 0)
        return;
    m_block = NewBlock(static_cast<size_t>(m_size));
    if (m_block == nullptr || other.m_block == nullptr)
        return;
    // The source's block is a text; never read past its end even when it is
    // not terminated.
    const size_t limit = static_cast<size_t>(m_size) - 1;
    const size_t length = strnlen(other.m_block, limit);
    std::memcpy(m_block, other.m_block, length);
    m_block[length] = '\0';
}

CResourceBase::CResourceBase(const CResourceBase& other, int duplicate)
    : m_kind(other.m_kind)
{
    if (!duplicate)
    {
        ShareBlock(other.m_block);
        return;
    }
    const char* name = other.GetName();
    if (name == nullptr)
        return;
    m_block = NewText(name);
    m_size = static_cast<int32_t>(std::strlen(name) + 1);
}

CResourceBase& CResourceBase::operator=(const CResourceBase& other)
{
    if (this == &other)
        return *this;
    char* block = other.m_block;
    if (block != m_block)
    {
        FreeBlock();
        ShareBlock(block);
    }
    m_size = other.m_size;
    m_kind = other.m_kind;
    return *this;
}

CResourceBase::~CResourceBase()
{
    // Owners release before they delete; this only drops a block that was
    // never released, so nothing leaks when one forgets.
    FreeBlock();
}

uint32_t CResourceBase::Release()
{
    FreeBlock();
    return 1;
}

void CResourceBase::SetName(const char* name)
{
    FreeBlock();
    if (name == nullptr)
        return;
    m_block = NewText(name);
    m_size = static_cast<int32_t>(std::strlen(name) + 1);
}

void CResourceBase::AllocBuffer(int32_t size)
{
    FreeBlock();
    if (size <= 0)
        return;
    m_block = NewBlock(static_cast<size_t>(size));
    m_size = size;
}

void CResourceBase::FreeBlock()
{
    char* block = m_block;
    m_block = nullptr;
    if (block == nullptr)
        return;
    if (Counter(block)->fetch_sub(1) == 1)
        AlignedFree(block - kHeaderSize);
}

void CResourceBase::ShareBlock(char* block)
{
    m_block = block;
    if (block != nullptr)
        Counter(block)->fetch_add(1);
}

void* CResourceBase::operator new(size_t size)
{
    void* block = AlignedAlloc(size, 16);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void* CResourceBase::operator new[](size_t size)
{
    return operator new(size);
}

void CResourceBase::operator delete(void* block) noexcept
{
    AlignedFree(block);
}

void CResourceBase::operator delete[](void* block) noexcept
{
    AlignedFree(block);
}
