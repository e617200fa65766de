#pragma once

#include <cstdint>
#include <cstdio>

// Field-by-field little-endian reads and writes on a C stream, for the
// engine's binary records. Each returns false when the stream fails or ends.
bool WriteU32LE(FILE* file, uint32_t value);
bool WriteF32LE(FILE* file, float value);
bool WriteBytes(FILE* file, const void* bytes, size_t size);
bool ReadU32LE(FILE* file, uint32_t* value);
bool ReadF32LE(FILE* file, float* value);
bool ReadBytes(FILE* file, void* bytes, size_t size);

// Bytes between the stream's position and its end; -1 when the stream
// can't tell (a pipe).
int64_t RemainingFileBytes(FILE* file);
