// A battle frame drawn for real on the offscreen device at 1280 x 720: the
// arena, and the fighters as jointed figures in their own colours, standing
// where the battle put them. The frame is kept as "BattleFrame.png" beside
// the test program, in the build folder, for a person to look at.
#include "tests/game/battle/BattleTestData.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CCamera.h"
#include "game/actor/CCharacter.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>
#include "tests/support/ArgbPng.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace
{
constexpr int kWidth = 1280, kHeight = 720;

std::vector<uint32_t> ReadFrame(GraphicsDevice* device)
{
    std::vector<uint32_t> argb(static_cast<size_t>(kWidth) * kHeight);
    EXPECT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, kWidth, kHeight, argb.data()), DEVICE_OK);
    return argb;
}

// A file beside the test program, wherever it is started from.
std::string BesideProgram(const char* name)
{
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / name).string();
}

void SavePng(const std::vector<uint32_t>& argb, const std::string& path)
{
    SaveArgbPng(argb, kWidth, kHeight, path);
}

// The red figure's shades, lit or in shade.
bool Reddish(uint32_t argb)
{
    const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
    return r > 100 && r > 2 * g && r > 2 * b;
}
}

TEST(BattleRender, AFrameShowsTheArenaAndTheFightersAsFigures)
{
    battletest::BattleData::Install();
    ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
    RenderGraphics* headless = battletest::BattleData::GetGraphics();
    CGraphics& graphics = headless->Graphics();
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, nullptr);
    setting->seed = 3;
    setting->record = 0;
    for (uint8_t i = 0; i < 8; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
    }
    CBattleScene scene;
    ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
    for (int frame = 0; frame < 500; ++frame)
    {
        SetFrameTime(16);
        scene.Update(0);
    }
    graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
    ASSERT_EQ(scene.Render(0), 1);
    const std::vector<uint32_t> frame = ReadFrame(graphics.GetDevice());
    SavePng(frame, BesideProgram("BattleFrame.png"));
    // Fighter 0 (red) stands in front of the camera that follows it.
    uint32_t red = 0;
    for (int y = kHeight / 4; y < kHeight; ++y)
    {
        for (int x = kWidth / 4; x < kWidth * 3 / 4; ++x)
            red += Reddish(frame[static_cast<size_t>(y) * kWidth + x]) ? 1 : 0;
    }
    EXPECT_GT(red, 500u);
    // The floor's tiles fill the lower half: at most a stray pixel where two
    // tiles meet shows the clear colour.
    uint32_t cleared = 0;
    for (int y = kHeight / 2; y < kHeight; ++y)
    {
        for (int x = 0; x < kWidth; ++x)
            cleared += (frame[static_cast<size_t>(y) * kWidth + x] & 0xFFFFFF) == 0x203040 ? 1 : 0;
    }
    EXPECT_LT(cleared, 100u);
    graphics.SetCamera(nullptr);
    scene.Release();
    FreeBattleSetting(setting);
}
