#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

// The engine's one way to touch files: a C stream that closes itself,
// opened by data name through the path layer (CPathResolver), whole-file
// reads, and the little-endian fields that every binary record is made of,
// on a stream or on bytes in memory.

struct FileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

// Opens a data name ("Data\Light.lit", any letter case); empty on failure.
FileHandle OpenFile(const char* dataName, const char* mode);

// Closes a written file; false when anything failed to reach it (an
// earlier write or the final flush).
bool CloseWrittenFile(FileHandle file);

// The length of a seekable stream, which is left at its start; -1 when the
// stream can't tell.
int64_t RewindAndMeasure(FILE* file);

// The whole file of a data name, at most maxSize bytes; false when it
// can't be opened or read, or is larger.
bool ReadWholeFile(const char* dataName, uint64_t maxSize, std::vector<uint8_t>* bytes);

// Files outside the data (the save folder) are named by native paths,
// UTF-8 with '/', which go to the file system unchanged.
enum class NativeReadResult
{
    Read,
    Missing,
    Failed,  // can't be opened or read, or larger than maxSize
};
NativeReadResult ReadNativeFile(const char* path, uint64_t maxSize, std::vector<uint8_t>* bytes);

// Replaces the file at a native path with new contents so that a crash, a
// full disk or a failed write never leaves a half-written file: the bytes go
// to a temporary file in the same folder, are flushed to disk, and only
// then renamed over the old file. 1/0; on failure the old file is left as
// it was and the temporary file is removed.
int WriteFileAtomically(const char* path, const void* data, size_t size);

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

// The same fields in memory; the caller has checked that the bytes exist.
inline uint16_t LoadU16LE(const uint8_t* in)
{
    return static_cast<uint16_t>(in[0] | (in[1] << 8));
}

inline uint32_t LoadU32LE(const uint8_t* in)
{
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
           (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}

inline void StoreU32LE(uint8_t* out, uint32_t value)
{
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

// Appends the four bytes of value to a growing record.
inline void AppendU32LE(std::vector<uint8_t>* out, uint32_t value)
{
    // Byte by byte: inserting a four-byte array misleads g++ 12's bounds
    // check (-Warray-bounds) when the vector grows.
    for (int shift = 0; shift < 32; shift += 8)
        out->push_back(static_cast<uint8_t>(value >> shift));
}
