// Every text a running battle gives its HUD and its font is Shift-JIS:
// eight CPUs and ten NPCs on the stand-in arena, the kill-feed lines the
// HUD keeps and every text drawn in the battle's frames (the font's
// listener on) must decode as code page 932.
#include "tests/game/battle/BattleTestData.h"
#include "tests/support/ShiftJisCheck.h"

#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CFontTexture.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace
{
void Hear(const char* text, void* context)
{
    static_cast<std::set<std::string>*>(context)->insert(text);
}
}

TEST(BattleTexts, EveryLineTheHudKeepsAndEveryTextDrawnIsShiftJis)
{
    battletest::BattleData::Install();
    ASSERT_NE(battletest::BattleData::Get(), nullptr) << battletest::BattleData::GetError();
    tag_TOLQBATTLESETTING* setting = battletest::EightCpusAndTenNpcs(21);
    std::set<std::string> lines;
    std::set<std::string> heard;
    CFontTexture::SetTextListener(&Hear, &heard);
    {
        CBattleScene scene;
        ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
        GraphicsDevice* device = battletest::BattleData::GetGraphics()->Graphics().GetDevice();
        for (uint32_t frame = 0; frame < 3000; ++frame)
        {
            SetFrameTime(16);
            scene.Update(0);
            const tag_TOLQCONSOLESTATE& state = scene.GetConsole()->GetState();
            if (state.messageShown != 0)
                lines.insert(state.messageText);
            if (frame % 100 == 0)
            {
                device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
                scene.Render(0);
            }
        }
        battletest::BattleData::GetGraphics()->Graphics().SetCamera(nullptr);
        scene.Release();
    }
    CFontTexture::SetTextListener(nullptr, nullptr);
    FreeBattleSetting(setting);
    EXPECT_FALSE(lines.empty()); // someone fell
    for (const std::set<std::string>* texts : {&lines, &heard})
    {
        for (const std::string& text : *texts)
        {
            std::string why;
            EXPECT_TRUE(IsShiftJisText(text, &why)) << why << ": " << text;
        }
    }
}
