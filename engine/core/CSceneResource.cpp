#include "engine/core/CSceneResource.h"

#include "engine/core/CPathResolver.h"

#include <cstdio>
#include <cstring>

int CSceneResource::Load(const char* path)
{
    SetName(nullptr);
    FILE* file = CPathResolver::Open(path, "rb");
    if (file == nullptr)
        return 0;
    int result = 0;
    uint8_t bytes[4];
    if (fseeko(file, 0, SEEK_END) == 0)
    {
        const off_t fileSize = ftello(file);
        if (fileSize >= 4 && fseeko(file, 0, SEEK_SET) == 0 && std::fread(bytes, 1, 4, file) == 4)
        {
            const uint32_t length = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                    (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
            // The length comes from the file: it must fit in what follows
            // before anything is allocated for it.
            if (length == 0)
                result = 1;
            else if (length <= INT32_MAX && length <= static_cast<uint64_t>(fileSize) - 4)
            {
                AllocBuffer(static_cast<int32_t>(length));
                char* name = GetName();
                if (name != nullptr && std::fread(name, 1, length, file) == length)
                {
                    // A name without its NUL still ends inside its block.
                    name[length - 1] = '\0';
                    result = 1;
                }
            }
        }
    }
    std::fclose(file);
    if (!result)
        SetName(nullptr);
    return result;
}

int CSceneResource::Save(const char* path) const
{
    FILE* file = CPathResolver::Open(path, "wb");
    if (file == nullptr)
        return 0;
    const char* name = GetName();
    const uint32_t length = name != nullptr ? static_cast<uint32_t>(std::strlen(name) + 1) : 0;
    const uint8_t bytes[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                              static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
    bool written = std::fwrite(bytes, 1, 4, file) == 4;
    if (written && length > 0)
        written = std::fwrite(name, 1, length, file) == length;
    const bool closed = std::fclose(file) == 0;
    return written && closed ? 1 : 0;
}
