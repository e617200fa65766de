// Every text the game hands to the font in a battle is Shift-JIS. A plain
// HUD on the stand-in arena draws what the fighters give it (the kill-feed
// lines, each fighter's name, the name of the weapon in its hand) with the
// font listening, and every text the font heard must decode as code page
// 932.
#include "engine/core/CRandom.h"
#include "engine/core/GameText.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CWeapon.h"
#include "game/actor/IBattleConsole.h"
#include "tests/game/actor/StandInArena.h"
#include "tests/support/ShiftJisCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <set>
#include <string>

namespace
{
// The kill feed and the fighters' plates, drawn now and then.
class PlainHud : public IBattleConsole
{
public:
    explicit PlainHud(CFontTexture* font) : m_font(font) {}

    void ShowMessage(const char* text, uint32_t, uint32_t) override
    {
        m_feed.push_back(text);
        if (m_feed.size() > kFeedLines)
            m_feed.pop_front();
        ++m_lines;
    }
    void AddRadioMessage(uint32_t, uint32_t) override {}

    void Draw(const std::vector<CCharacter*>& fighters)
    {
        float y = 0.0f;
        for (const std::string& line : m_feed)
        {
            m_font->DrawText(0.0f, y, 0xFFFFFFFF, 16, 1.0f, line.c_str());
            y += 18.0f;
        }
        for (const CCharacter* fighter : fighters)
        {
            m_font->DrawText(0.0f, y, 0xFFFFFFFF, 16, 1.0f, fighter->GetDefinition()->name);
            if (const CWeapon* hand = fighter->GetMainWeapon())
                m_font->DrawText(200.0f, y, 0xFFFFFFFF, 16, 1.0f, hand->GetDefinition()->name);
            y += 18.0f;
        }
    }
    uint32_t GetLineCount() const { return m_lines; }

private:
    static constexpr size_t kFeedLines = 5;
    CFontTexture* m_font;
    std::deque<std::string> m_feed;
    uint32_t m_lines = 0;
};

void Hear(const char* text, void* context)
{
    static_cast<std::set<std::string>*>(context)->insert(text);
}

}

TEST(FighterTexts, EveryTextAHudHandsTheFontIsShiftJis)
{
    standin::StandInData data;
    ASSERT_TRUE(data.IsReady()) << data.GetError();
    CFontTexture font;
    ASSERT_EQ(font.CreateDefault(512, 512, "IPAGothic", 16), 1);
    PlainHud hud(&font);
    std::set<std::string> heard;
    CFontTexture::SetTextListener(&Hear, &heard);
    SeedRandom(5);
    {
        standin::ArenaBattle battle(&data, 0, &hud);
        ASSERT_TRUE(battle.IsReady());
        for (uint32_t i = 0; i < 8; ++i)
            battle.AddCpu(i, 4);
        for (uint32_t frame = 0; frame < 3000; ++frame)
        {
            battle.Step(16);
            if (frame % 30 == 0)
                hud.Draw(battle.GetFighters());
        }
    }
    CFontTexture::SetTextListener(nullptr, nullptr);
    font.Release();
    EXPECT_GT(hud.GetLineCount(), 0u); // someone fell
    for (const std::string& text : heard)
    {
        std::string why;
        EXPECT_TRUE(IsShiftJisText(text, &why)) << why << ": " << text;
    }
    // Japanese among them: the kill feed's words and the claymore's name.
    const std::string fellTo = GameText("に倒されました");
    EXPECT_TRUE(std::any_of(heard.begin(), heard.end(),
                            [&](const std::string& text) { return text.find(fellTo) != std::string::npos; }));
    const CWeaponDefinition* claymore = data.GetLists().FindWeapon(data.GetLists().characters[0].defaultWeapons[0]);
    ASSERT_NE(claymore, nullptr);
    EXPECT_EQ(heard.count(claymore->name), 1u);
}
