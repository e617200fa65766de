#include "engine/core/AlignedMemory.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

void* AlignedAlloc(size_t size, size_t alignment)
{
    if (alignment == 0 || (alignment & (alignment - 1)) != 0)
        return nullptr;

    // Room for the block, the slack to align it and the word that remembers
    // the raw pointer.
    const size_t overhead = alignment + sizeof(void*) - 1;
    if (size > std::numeric_limits<size_t>::max() - overhead)
        return nullptr;
    const size_t total = size + overhead;

    void* raw = std::malloc(total);
    if (raw == nullptr)
        return nullptr;
    std::memset(raw, 0, total);

    const uintptr_t first = reinterpret_cast<uintptr_t>(raw) + sizeof(void*);
    const uintptr_t aligned = (first + alignment - 1) & ~static_cast<uintptr_t>(alignment - 1);
    void* block = reinterpret_cast<void*>(aligned);
    std::memcpy(static_cast<char*>(block) - sizeof(void*), &raw, sizeof(void*));
    return block;
}

void AlignedFree(void* block)
{
    if (block == nullptr)
        return;
    void* raw = nullptr;
    std::memcpy(&raw, static_cast<char*>(block) - sizeof(void*), sizeof(void*));
    std::free(raw);
}
