#pragma once

// Writes one seed file of a seed program into its corpus folder.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline bool WriteSeed(const std::string& folder, const char* name, const std::vector<uint8_t>& bytes)
{
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
