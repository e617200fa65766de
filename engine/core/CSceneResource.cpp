#include "engine/core/CSceneResource.h"

#include "engine/core/FileIo.h"

#include <cstdio>
#include <cstring>

int CSceneResource::Load(const char* path)
{
    SetName(nullptr);
    if (LoadName(path))
        return 1;
    SetName(nullptr);
    return 0;
}

int CSceneResource::LoadName(const char* path)
{
    FileHandle file = OpenFile(path, "rb");
    const int64_t fileSize = RewindAndMeasure(file.get());
    uint32_t length = 0;
    if (fileSize < 4 || !ReadU32LE(file.get(), &length))
        return 0;
    if (length == 0)
        return 1;
    // The length comes from the file: it must fit in what follows before
    // anything is allocated for it.
    if (length > INT32_MAX || length > static_cast<uint64_t>(fileSize) - 4)
        return 0;
    AllocBuffer(static_cast<int32_t>(length));
    char* name = GetName();
    if (name == nullptr || !ReadBytes(file.get(), name, length))
        return 0;
    // A name without its NUL still ends inside its block.
    name[length - 1] = '\0';
    return 1;
}

int CSceneResource::Save(const char* path) const
{
    FileHandle file = OpenFile(path, "wb");
    if (!file)
        return 0;
    const char* name = GetName();
    const uint32_t length = name != nullptr ? static_cast<uint32_t>(std::strlen(name) + 1) : 0;
    if (!WriteU32LE(file.get(), length) || !WriteBytes(file.get(), name, length))
        return 0;
    return CloseWrittenFile(std::move(file)) ? 1 : 0;
}
