#include "engine/core/FileIo.h"

#include "engine/core/CPathResolver.h"

#include <bit>
#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileHandle OpenFile(const char* dataName, const char* mode)
{
    if (dataName == nullptr || mode == nullptr)
        return nullptr;
    const std::string path = CPathResolver::Resolve(dataName);
    if (path.empty())
        return nullptr;
    return FileHandle(std::fopen(path.c_str(), mode));
}

bool CloseWrittenFile(FileHandle file)
{
    if (!file)
        return false;
    const bool failed = std::ferror(file.get()) != 0;
    return std::fclose(file.release()) == 0 && !failed;
}

int64_t RewindAndMeasure(FILE* file)
{
    if (file == nullptr || fseeko(file, 0, SEEK_END) != 0)
        return -1;
    const off_t length = ftello(file);
    if (length < 0 || fseeko(file, 0, SEEK_SET) != 0)
        return -1;
    return static_cast<int64_t>(length);
}

bool ReadWholeFile(const char* dataName, uint64_t maxSize, std::vector<uint8_t>* bytes)
{
    FileHandle file = OpenFile(dataName, "rb");
    if (!file)
        return false;
    const int64_t length = RewindAndMeasure(file.get());
    if (length < 0 || static_cast<uint64_t>(length) > maxSize)
        return false;
    bytes->resize(static_cast<size_t>(length));
    return ReadBytes(file.get(), bytes->data(), bytes->size());
}

NativeReadResult ReadNativeFile(const char* path, uint64_t maxSize, std::vector<uint8_t>* bytes)
{
    FileHandle file(path != nullptr ? std::fopen(path, "rb") : nullptr);
    if (!file)
        return errno == ENOENT ? NativeReadResult::Missing : NativeReadResult::Failed;
    const int64_t length = RewindAndMeasure(file.get());
    if (length < 0 || static_cast<uint64_t>(length) > maxSize)
        return NativeReadResult::Failed;
    bytes->resize(static_cast<size_t>(length));
    return ReadBytes(file.get(), bytes->data(), bytes->size()) ? NativeReadResult::Read : NativeReadResult::Failed;
}

namespace
{
bool WriteAllToDescriptor(int fd, const char* bytes, size_t size)
{
    while (size > 0)
    {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}
}

int WriteFileAtomically(const char* path, const void* data, size_t size)
{
    if (path == nullptr || *path == '\0' || (data == nullptr && size != 0))
        return 0;
    std::string temporary = std::string(path) + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return 0;
    // mkstemp makes the file private to its owner; a saved file is readable
    // like any other the program writes.
    bool ok = fchmod(fd, 0644) == 0;
    ok = ok && WriteAllToDescriptor(fd, static_cast<const char*>(data), size);
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temporary.c_str(), path) == 0;
    if (!ok)
        unlink(temporary.c_str());
    return ok ? 1 : 0;
}

bool WriteU32LE(FILE* file, uint32_t value)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return WriteBytes(file, bytes, 4);
}

bool WriteF32LE(FILE* file, float value)
{
    return WriteU32LE(file, std::bit_cast<uint32_t>(value));
}

bool WriteBytes(FILE* file, const void* bytes, size_t size)
{
    return size == 0 || std::fwrite(bytes, 1, size, file) == size;
}

bool ReadU32LE(FILE* file, uint32_t* value)
{
    unsigned char bytes[4];
    if (!ReadBytes(file, bytes, 4))
        return false;
    *value = uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) | (uint32_t(bytes[3]) << 24);
    return true;
}

bool ReadF32LE(FILE* file, float* value)
{
    uint32_t bits = 0;
    if (!ReadU32LE(file, &bits))
        return false;
    *value = std::bit_cast<float>(bits);
    return true;
}

bool ReadBytes(FILE* file, void* bytes, size_t size)
{
    return size == 0 || std::fread(bytes, 1, size, file) == size;
}

int64_t RemainingFileBytes(FILE* file)
{
    const long here = std::ftell(file);
    if (here < 0)
        return -1;
    if (std::fseek(file, 0, SEEK_END) != 0)
        return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, here, SEEK_SET) != 0 || end < here)
        return -1;
    return int64_t(end) - int64_t(here);
}
