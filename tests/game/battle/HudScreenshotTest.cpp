// A whole battle HUD over the stand-in arena at 1280 x 720, drawn by the
// battle's own render pass with the game's fonts: eight fighters running,
// the focused one aiming a rifle and locked on, its weapon palette open,
// field weapons and items at its feet, a kill-feed line and radio lines.
// The frames are kept as "BattleHud.png" (and "BattleHudList.png" with
// the participant list open) in the test's folder for a person to look at.
#include "tests/game/battle/BattleTestData.h"
#include "tests/game/battle/HudScreen.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CFieldLists.h"
#include "game/actor/CGameDataResource.h"
#include "game/actor/CItem.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CWeapon.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CConsoleRenderer.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace
{
constexpr int kHudShotWidth = 1280, kHudShotHeight = 720;

std::vector<uint32_t> DrawFrame(CBattleScene* scene, CGraphics& graphics)
{
    graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL, 0xFF203040, 1.0f, 0);
    EXPECT_EQ(scene->Render(0), 1);
    std::vector<uint32_t> argb(static_cast<size_t>(kHudShotWidth) * kHudShotHeight);
    EXPECT_EQ(graphics.GetDevice()->ReadPixels(graphics.GetDevice()->GetBackBuffer(), 0, 0, kHudShotWidth, kHudShotHeight,
                                               argb.data()),
              DEVICE_OK);
    return argb;
}

// The game's two fonts in the stand-in controller's list, once.
void InstallFonts(CQorResourceController* controller)
{
    if (controller->GetFontList().GetCount() >= 2)
        return;
    for (int32_t height : {24, 32})
    {
        auto font = std::make_unique<CFontTexture>();
        ASSERT_EQ(font->CreateDefault(1024, 1024, "IPAGothic", height), 1);
        controller->GetFontList().Add(font.release());
    }
}

// A weapon of the focused fighter's and the first item, lying a few steps
// in front of it.
void LayTheField(CBattleScene* scene, CQorResourceController* controller, CCharacter* focused)
{
    const float yaw = focused->GetRotation()->y * 3.14159265f / 180.0f;
    const CkvrVector3 front(-std::sin(yaw), 0.0f, -std::cos(yaw));
    const CkvrVector3& at = *focused->GetPosition();
    std::unique_ptr<CWeapon> weapon = CWeapon::Make(focused->GetWeapon(0)->GetDefinition());
    const CkvrVector3 weaponAt = at + front * 3.0f + CkvrVector3(-1.0f, 0.0f, 0.0f);
    weapon->SetPosition(&weaponAt);
    scene->GetField()->weapons.push_back(std::move(weapon));
    auto* items = static_cast<CResourceList<CResourceBase*>*>(controller->GetList(CQorResourceController::LIST_ITEMS));
    ASSERT_GT(items->GetCount(), 2u);
    const auto* item = static_cast<const CGameDataResource<CItemDefinition>*>(items->GetItem(2));
    auto lying = std::make_unique<CItem>(&item->GetDefinition());
    const CkvrVector3 itemAt = at + front * 5.0f + CkvrVector3(1.5f, 0.0f, 0.0f);
    lying->SetPosition(&itemAt);
    scene->GetField()->items.push_back(std::move(lying));
    focused->GetActionData()->targetedFieldWeapon = 0;
}
}

TEST(HudScreenshot, AWholeBattleHudOverTheArenaReadsAsAHud)
{
    battletest::BattleData::Install();
    CQorResourceController* controller = battletest::BattleData::Get();
    ASSERT_NE(controller, nullptr) << battletest::BattleData::GetError();
    InstallFonts(controller);
    CGraphics& graphics = battletest::BattleData::GetGraphics()->Graphics();
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, nullptr);
    setting->seed = 3;
    setting->record = 0;
    setting->rules.timeLimitIndex = 1;
    const char* weapons[4] = {GameText("クレイモア"), "Rifle", "Launcher", "Carbine"};
    for (uint8_t i = 0; i < 8; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        std::copy(std::begin(weapons), std::end(weapons), setting->players[i].weapons);
    }
    CBattleScene scene;
    ASSERT_EQ(scene.Init(reinterpret_cast<uintptr_t>(setting)), 1);
    for (int frame = 0; frame < 460; ++frame)
    {
        SetFrameTime(16);
        scene.Update(0);
    }
    CBattleConsole* console = scene.GetConsole();
    ASSERT_EQ(console->GetPhase(), ConsolePhase::Running);
    CCharacter* focused = scene.GetFighter(0);
    ASSERT_NE(focused, nullptr);
    LayTheField(&scene, controller, focused);
    // Aiming the rifle (slot 1) at fighter 2, with every status and an
    // item's effect running, the palette open on the long weapons.
    tag_TOLQCHARAACTION* action = focused->GetActionData();
    action->mainSlot = 1;
    action->cursorSlot = 1;
    action->effectTime = 5.0f;
    action->selectMode = 2;
    action->switchDirection = 1;
    action->switchClock = 1000;
    action->stepClock = 1000;
    tag_TOLQCHARASTATE* state = focused->GetStateBlock();
    state->aimFlag = 1;
    state->lockOn = 2;
    state->statusBits = 7;
    state->ep = 3.5f;
    state->gauge = 60.0f;
    state->life = static_cast<uint16_t>(focused->GetMaxLife() * 3 / 4);
    state->ruleCounter = 2;
    scene.GetFighter(1)->GetStateBlock()->ruleCounter = 1;
    console->ShowMessage(GameText("Lierreが Plumに倒されました"), 4, 3);
    for (uint32_t sender : {2u, 5u, 1u})
        console->AddRadioMessage(sender, sender);
    SetFrameTime(16);
    console->Update(0);
    tag_TOLQCONSOLESTATE* hud = console->GetStateForUpdate();
    hud->messageClock = 1000;
    for (tag_TOLQRADIOLINE& line : hud->radio)
        line.clock += 1000;
    const std::vector<uint32_t> frame = DrawFrame(&scene, graphics);
    hudtest::SavePng(frame, kHudShotWidth, kHudShotHeight, "BattleHud.png");
    // The same frame with the HUD's colour clear: what the HUD drew in it is
    // gone. Each element shows at the place it reports, on the drawn
    // pixels: there the two frames differ.
    const CkvrVector4 colour = hud->hudColour;
    hud->hudColour.w = 0.0f;
    const std::vector<uint32_t> bare = DrawFrame(&scene, graphics);
    hud->hudColour = colour;
    const CMenuFrame& drawn = console->GetDrawnItems();
    const std::pair<HudItem, uint32_t> elements[] = {
        {HudItem::Reticle, 0},   {HudItem::StatusFrame, 0}, {HudItem::WeaponPanel, 0},    {HudItem::TimeSeconds, 0},
        {HudItem::Radar, 0},     {HudItem::KillFeed, 0},    {HudItem::EffectMark, 0},     {HudItem::RadioLine, 2},
        {HudItem::LockOn, 1},    {HudItem::CharacterPlate, 0}, {HudItem::PlayerName, 0}};
    for (const auto& [item, index] : elements)
    {
        const MenuItemRecord* record = drawn.FindItem(HudItemId(item, index));
        ASSERT_NE(record, nullptr) << static_cast<int>(item);
        const MenuPoint topLeft = drawn.Layout().LayoutToCursor({record->rect.left, record->rect.top});
        const MenuPoint bottomRight = drawn.Layout().LayoutToCursor({record->rect.right, record->rect.bottom});
        int changed = 0;
        for (int y = std::max(0, static_cast<int>(topLeft.y)); y < std::min(kHudShotHeight, static_cast<int>(bottomRight.y));
             ++y)
        {
            for (int x = std::max(0, static_cast<int>(topLeft.x));
                 x < std::min(kHudShotWidth, static_cast<int>(bottomRight.x)); ++x)
            {
                const size_t at = static_cast<size_t>(y) * kHudShotWidth + x;
                changed += frame[at] != bare[at] ? 1 : 0;
            }
        }
        EXPECT_GT(changed, 20) << static_cast<int>(item) << " " << index;
    }
    // The palette keeps its own colours.
    EXPECT_NE(drawn.FindItem(HudItemId(HudItem::SelectionEntry, 1 * 10 + 2)), nullptr);

    // With the participant list held open.
    hud->participantShown = 1;
    hud->participantClock = 1000;
    hudtest::SavePng(DrawFrame(&scene, graphics), kHudShotWidth, kHudShotHeight, "BattleHudList.png");
    EXPECT_NE(console->GetDrawnItems().FindItem(HudItemId(HudItem::ListLine, 7)), nullptr);

    graphics.SetCamera(nullptr);
    scene.Release();
    FreeBattleSetting(setting);
}
