// Reads arbitrary bytes as a light record; an accepted record must save
// back to exactly the bytes it was read from.
#include "engine/render/CLight.h"
#include "fuzz/FuzzTempFile.h"

#include <cstdio>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzTempFile file;
    const char* path = file.Write(data, size);
    if (path == nullptr)
        return 0;
    CLight light;
    if (!light.Load(path, nullptr))
    {
        light.Release();
        return 0;
    }
    FILE* out = std::tmpfile();
    if (out == nullptr || !light.Save(nullptr, out))
        __builtin_trap();
    const long written = std::ftell(out);
    std::rewind(out);
    std::vector<uint8_t> bytes(static_cast<size_t>(written));
    if (written > 0 && std::fread(bytes.data(), 1, bytes.size(), out) != bytes.size())
        __builtin_trap();
    std::fclose(out);
    // An accepted record saves back to the bytes it came from; only a name
    // cut short by an inner NUL, or whose missing NUL was forced, differs.
    const char* name = light.GetName();
    const uint32_t length = name != nullptr ? static_cast<uint32_t>(std::strlen(name)) + 1 : 0;
    if (bytes.size() != 69u + length)
        __builtin_trap();
    const uint32_t declared = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                              static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
    if (declared == length)
    {
        for (size_t i = 0; i < bytes.size(); ++i)
        {
            if (bytes[i] != data[i] && i != 4 + length - 1)
                __builtin_trap();
        }
    }
    light.Release();
    return 0;
}
