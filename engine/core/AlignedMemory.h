#pragma once

#include <cstddef>

// Every engine object and buffer comes from here: zero-filled and aligned.
// The raw allocation is kept in the pointer-sized word just before the
// returned block, so AlignedFree needs nothing else.

// alignment must be a power of two; 16 at every call site of the engine.
// Returns null when the heap fails or size + alignment overflows.
void* AlignedAlloc(size_t size, size_t alignment);

// Accepts null.
void AlignedFree(void* block);
