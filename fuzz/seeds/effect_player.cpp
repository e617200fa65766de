// Writes the seed corpus of the effect-player fuzz target into the folder
// given on the command line, with the engine's own writer.
#include "engine/effect/CEffectPlayer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

namespace
{
bool Write(const std::filesystem::path& folder, const char* name, const CEffectPlayer& first,
           const CEffectPlayer* second)
{
    const std::string file = (folder / name).string();
    FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr)
        return false;
    bool ok = first.Save(nullptr, out) == 1;
    if (second != nullptr)
        ok = second->Save(nullptr, out) == 1 && ok;
    ok = std::fclose(out) == 0 && ok;
    if (!ok)
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
    return ok;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(folder, error);

    bool ok = true;
    CEffectPlayer fresh;
    ok = Write(folder, "fresh", fresh, nullptr) && ok;

    CEffectPlayer bone;
    bone.SetContainerName("Efc_step");
    bone.GetParameters()->attachMode = 2;
    bone.GetParameters()->timeLimit = 1.5f;
    std::strcpy(bone.GetParameters()->boneName, "Bone_Hand_R");
    for (float time : {0.1f, 0.4f, 0.9f})
    {
        KVRKEYFRAME<float> key{time, 0.0f, 1.0f};
        bone.GetPlayTrack()->Add(key);
    }
    ok = Write(folder, "bone", bone, nullptr) && ok;
    ok = Write(folder, "two_records", bone, &fresh) && ok;
    return ok ? 0 : 1;
}
