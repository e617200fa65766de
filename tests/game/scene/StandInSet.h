#pragma once

// The whole stand-in set the build wrote (its loose copy), for scene tests
// that run battles or show fighters: game data, models, effects, sheets,
// music and sounds, listed in the set's own order.

#include "tests/game/scene/SceneFiles.h"
#include "tools/datakit/DataKit.h"

#include <string>
#include <vector>

namespace scene_test
{
inline std::vector<game_test::DataFile> StandInSet()
{
    std::vector<game_test::DataFile> files;
    for (const std::string& record : DataKit::LooseRecords())
        files.push_back({record, StandInFile(record)});
    return files;
}
}

#include "engine/platform/device/GraphicsDevice.h"

#include <stb/stb_image_write.h>

#include <filesystem>

namespace scene_test
{
// The folder the test started in (its build folder): screenshots stay
// there for a person to look at, while the test works in a temporary one.
inline const std::string& StartFolder()
{
    static const std::string folder = std::filesystem::current_path().string();
    return folder;
}
// Taken when the file is loaded, before any test changes the folder.
inline const std::string& g_startFolder = StartFolder();

// The last drawn frame as "<name>.png" in the start folder.
inline void SaveScreenshot(game_test::GameHarness& game, const std::string& name)
{
    CSystem* system = game.Controller().GetSystem();
    GraphicsDevice* device = game.Controller().GetGraphics()->GetDevice();
    const int width = system->GetWidth();
    const int height = system->GetHeight();
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    if (device->ReadPixels(device->GetBackBuffer(), 0, 0, width, height, argb.data()) != DEVICE_OK)
        return;
    std::vector<uint8_t> rgb(argb.size() * 3);
    for (size_t i = 0; i < argb.size(); ++i)
    {
        rgb[i * 3 + 0] = static_cast<uint8_t>(argb[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(argb[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(argb[i]);
    }
    stbi_write_png((StartFolder() + "/" + name + ".png").c_str(), width, height, 3, rgb.data(), width * 3);
}
}
