#pragma once

// The files the start and menu scenes use, for scene tests: the menu
// sounds, sheets, music, title voices and font faces of the stand-in set
// the build wrote (its loose copy), with the basic test files for what the
// set lacks.

#include "tests/game/GameHarness.h"
#include "tools/datakit/GameSceneKit.h"
#include "tools/datakit/SheetCells.h"

#include <fstream>
#include <algorithm>
#include <string>
#include <vector>

namespace scene_test
{
inline std::vector<uint8_t> StandInFile(const std::string& dataName)
{
    std::string path = std::string(KVR_STAND_IN_SOURCE) + "/" + dataName;
    for (char& c : path)
        c = c == '\\' ? '/' : c;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(in.tellg(), 0)));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

inline std::vector<game_test::DataFile> SceneFiles()
{
    std::vector<std::string> names = {"Sound\\Se_select.ogg", "Sound\\Se_decide.ogg", "Sound\\Se_cancel.ogg",
                                      "Bgm\\Bgm_circle.ogg",  "Bgm\\Bgm_title.ogg",   "Bgm\\Bgm_option.ogg",
                                      "Bgm\\Bgm_custom.ogg",  "Font\\FontFace.txt"};
    for (const SheetCells::SheetSpec& sheet : SheetCells::Sheets())
    {
        if (sheet.name != SheetCells::kHudSheet)
            names.push_back(sheet.name);
    }
    for (const char* voice : GameSceneKit::kTitleVoices)
        names.push_back(std::string("Sound\\") + voice);
    std::vector<game_test::DataFile> files;
    for (const std::string& name : names)
        files.push_back({name, StandInFile(name)});
    return files;
}

// Colours close to each other, channel by channel.
inline bool NearColor(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift : {16, 8, 0})
    {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (a - e > tolerance || e - a > tolerance)
            return false;
    }
    return true;
}
}
