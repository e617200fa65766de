// The battle HUD's drawing cost per frame on the stand-in arena at
// 1280 x 720: eight fighters with their name plates, a full kill-feed line,
// four radio lines and the participant list open, the focused fighter
// aiming and locked on. The main thread's CPU time of RenderWorldOverlays
// and Render is set against the same sprites and texts drawn straight
// through the texture and font calls at fixed pixel places (counter
// hud_over_direct; goal at most 1.5).
#include "bench/support/BenchSmoke.h"
#include "tests/game/battle/BattleTestData.h"

#include "engine/core/GameText.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/FrameTimer.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CStage.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CBattleScene.h"
#include "game/battle/CConsoleRenderer.h"
#include "game/battle/ConsoleSheet.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr uint32_t kFrameMilliseconds = 16;
constexpr uint32_t kOpeningFrames = (500 + 6400) / kFrameMilliseconds + 2;
constexpr uint8_t kTopLeft = 17;
constexpr uint8_t kCentred = 0x22;

double ThreadCpuSeconds()
{
    timespec now = {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void InstallFonts(CQorResourceController* controller)
{
    for (int32_t height : {24, 32})
    {
        if (controller->GetFontList().GetCount() >= 2)
            return;
        auto font = std::make_unique<CFontTexture>();
        font->CreateDefault(1024, 1024, "IPAGothic", height);
        controller->GetFontList().Add(font.release());
    }
}

// The same frame drawn with the engine's calls at pixel places worked out
// once beforehand: every sprite and text the HUD draws for it, with none of
// the layout, anchoring, measuring or reporting.
class DirectHud
{
public:
    DirectHud(CBattleConsole* console, CTexture* map, CFontTexture* small, CFontTexture* large, float scale)
        : m_sheet(console->GetTexture()), m_map(map), m_small(small), m_large(large), m_s(scale)
    {
        for (const MenuItemRecord& item : console->GetDrawnItems().Items())
            m_items.push_back({item.id / kHudItemStride, item.id % kHudItemStride,
                               console->GetDrawnItems().Layout().ToPixels(item.rect), item.label});
    }

    void DrawOverlays()
    {
        for (const Item& item : m_items)
        {
            if (item.kind != static_cast<int32_t>(HudItem::NamePlate))
                continue;
            const float plateScale = item.rect.Width() / ConsoleSheet::kPlateFrame.Width();
            Sprite(ConsoleSheet::kPlateFrame, item.rect.left, item.rect.top, plateScale);
            Sprite(ConsoleSheet::kPlateLife, item.rect.left, item.rect.top, plateScale);
            Sprite(ConsoleSheet::kTeamMarks[0], item.rect.left - 20.0f * plateScale, item.rect.top, plateScale);
            Text(m_large, item.rect.left, item.rect.top - 20.0f * plateScale, 20, plateScale, item.label.c_str());
        }
    }

    void Draw()
    {
        for (const Item& item : m_items)
        {
            switch (static_cast<HudItem>(item.kind))
            {
            case HudItem::Reticle: Sprite(ConsoleSheet::kReticle, item.rect.left, item.rect.top); break;
            case HudItem::StatusFrame: StatusPanel(item.rect); break;
            case HudItem::WeaponPanel: WeaponPanel(item.rect); break;
            case HudItem::TimeLabel: Time(item.rect); break;
            case HudItem::Radar: Radar(item.rect); break;
            case HudItem::RuleIcon: RuleLine(item.rect); break;
            case HudItem::ListShutter: List(item.rect); break;
            case HudItem::ListTitle:
            case HudItem::ListTeam: Text(m_large, item.rect.left, item.rect.top, 32, m_s, item.label.c_str()); break;
            case HudItem::ListLine: ListLine(item.rect, item.label.c_str(), item.index); break;
            case HudItem::ListArrow: Rotated(ConsoleSheet::kMapArrow, item.rect); break;
            case HudItem::KillFeed: Line(ConsoleSheet::kFeedBack, item.rect, item.label.c_str()); break;
            case HudItem::RadioLine: Line(ConsoleSheet::kRadioBack, item.rect, item.label.c_str()); break;
            case HudItem::LockOn: Sprite(ConsoleSheet::kLockOn, item.rect.left, item.rect.top); break;
            default: break;
            }
        }
    }

private:
    struct Item
    {
        int32_t kind;
        int32_t index;
        MenuRect rect;
        std::string label;
    };

    void Sprite(const MenuCell& cell, float x, float y, float extra = 1.0f, uint32_t color = 0xFFFFFFFF)
    {
        const std::array<float, 4> source = cell.Source();
        m_sheet->DrawScaledEx(x, y, source.data(), m_s * extra, color, 0, 0, kTopLeft);
    }
    void Stretched(const MenuCell& cell, const MenuRect& into)
    {
        const std::array<float, 4> source = cell.Source();
        const float target[4] = {into.left, into.top, into.right, into.bottom};
        m_sheet->DrawRect(target, source.data(), 0xFFFFFFFF, 0);
    }
    void Rotated(const MenuCell& cell, const MenuRect& at)
    {
        const std::array<float, 4> source = cell.Source();
        m_sheet->DrawRotatedScaled(at.left, at.top, source.data(), 30.0f, m_s, m_s, 0xFFFFFFFF, 0);
    }
    void Text(CFontTexture* font, float x, float y, uint32_t size, float scale, const char* text)
    {
        font->DrawTextOutlinedEx(x, y, 0xFFFFFFFF, 0xFF000000, size, scale, 1.0f, text, kTopLeft);
    }

    void StatusPanel(const MenuRect& frame)
    {
        Sprite(ConsoleSheet::CharacterPlate(0), frame.left, frame.top);
        Sprite(ConsoleSheet::kStatusFrame, frame.left, frame.top);
        Sprite(ConsoleSheet::kLifeGauge, frame.left + 135 * m_s, frame.top + 7 * m_s);
        Sprite(ConsoleSheet::kElementGauge, frame.left + 135 * m_s, frame.top + 13 * m_s);
        for (int i = 0; i < 3; ++i)
        {
            Sprite(ConsoleSheet::kEpPip, frame.left + (135 + 22 * i) * m_s, frame.top + 20 * m_s);
            Sprite(ConsoleSheet::kStatusIcons[static_cast<uint32_t>(i)], frame.left + (424 + 32 * i) * m_s,
                   frame.top + 16 * m_s);
        }
        Text(m_large, frame.left + 24 * m_s, frame.top - 24 * m_s, 24, m_s, "Aria");
        Sprite(ConsoleSheet::kTeamMarks[0], frame.left + 4 * m_s, frame.top - 24 * m_s, 1.4f);
    }

    void WeaponPanel(const MenuRect& panel)
    {
        Sprite(ConsoleSheet::kWeaponPanel, panel.left, panel.top);
        m_small->DrawTextFitOutlinedImpl(panel.left + 144 * m_s, panel.top + 14 * m_s, 136 * m_s, 40 * m_s,
                                         0xFFFFFFFF, 0xFF000000, 24, m_s, 1.0f, "Rifle", 0x14);
        Sprite(ConsoleSheet::kKindFrame, panel.left + 5 * m_s, panel.top + 45 * m_s);
        Sprite(ConsoleSheet::kKindLabels[1], panel.left + 5 * m_s, panel.top + 45 * m_s);
        Sprite(ConsoleSheet::kGaugeDisc, panel.left + 147 * m_s, panel.top + 7 * m_s);
        Sprite(ConsoleSheet::kCounterSlash.Inked(0), panel.left + 160 * m_s, panel.top + 54 * m_s);
        const std::array<float, 4> gauge = ConsoleSheet::kAmmoGauge.Source();
        m_sheet->DrawSector(panel.left + 185 * m_s, panel.top + 43 * m_s, 0.0f, gauge.data(), 36 * m_s, -180.0f,
                            30.0f, 0xFFFFFFFF);
        for (int i = 0; i < 3; ++i)
        {
            Sprite(ConsoleSheet::kRoundDigits[1], panel.left + (108 + 16 * i) * m_s, panel.top + 46 * m_s);
            Sprite(ConsoleSheet::kCapacityDigits[2], panel.left + (168 + 10 * i) * m_s, panel.top + 54 * m_s);
        }
    }

    void Time(const MenuRect& label)
    {
        Sprite(ConsoleSheet::kTimeLabel, label.left, label.top);
        for (int i = 0; i < 3; ++i)
        {
            Sprite(ConsoleSheet::kBigDigits[2], label.left + (6 + 18 * i) * m_s, label.top + 12 * m_s);
            Sprite(ConsoleSheet::kSmallDigits[5], label.left + (60 + 12 * i) * m_s, label.top + 20 * m_s);
        }
        Sprite(ConsoleSheet::kTimeSeparator.Inked(0), label.left + 56 * m_s, label.top + 20 * m_s);
    }

    // The disc, its stencil mask and the map, marks and arrows on it.
    void Radar(const MenuRect& back)
    {
        GraphicsDevice* device = CTexture::GetGraphics()->GetDevice();
        Sprite(ConsoleSheet::kRadarBack, back.left, back.top);
        Sprite(ConsoleSheet::kRadarFrame, back.left + 4 * m_s, back.top + 4 * m_s);
        device->SetRenderState(RS_COLORWRITEENABLE, 0);
        device->SetRenderState(RS_STENCILENABLE, 1);
        device->SetRenderState(RS_STENCILFUNC, CMP_ALWAYS);
        device->SetRenderState(RS_STENCILPASS, STENCILOP_REPLACE);
        device->SetRenderState(RS_STENCILREF, 0);
        const float clear[4] = {back.left - 120 * m_s, back.top - 120 * m_s, back.right + 120 * m_s,
                                back.bottom + 120 * m_s};
        CPrimitiveRender::DrawRect2D(clear, 0xFF000000);
        device->SetRenderState(RS_STENCILREF, 1);
        Sprite(ConsoleSheet::kRadarFrame, back.left + 4 * m_s, back.top + 4 * m_s);
        device->SetRenderState(RS_COLORWRITEENABLE, 0xF);
        device->SetRenderState(RS_STENCILFUNC, CMP_EQUAL);
        device->SetRenderState(RS_STENCILPASS, STENCILOP_KEEP);
        if (m_map != nullptr)
        {
            const float whole[4] = {0.0f, 0.0f, static_cast<float>(m_map->GetWidth()),
                                    static_cast<float>(m_map->GetHeight())};
            m_map->DrawRotatedScaled(back.left - 60 * m_s, back.top - 60 * m_s, whole, 0.0f, m_s, m_s, 0xFFFFFFFF, 0);
        }
        for (uint32_t k = 0; k < 7; ++k)
            Sprite(ConsoleSheet::kMapMarks[k], back.left + (20 + 12 * k) * m_s, back.top + 20 * m_s);
        for (int i = 0; i < 8; ++i)
        {
            const MenuRect at{back.left + (30 + 9 * i) * m_s, back.top + 60 * m_s, 0, 0};
            Rotated(ConsoleSheet::kRadarArrow, at);
        }
        device->SetRenderState(RS_STENCILENABLE, 0);
        device->SetRenderState(RS_STENCILFUNC, CMP_ALWAYS);
    }

    void RuleLine(const MenuRect& icon)
    {
        Sprite(ConsoleSheet::kCharacterIcons[0], icon.left, icon.top);
        for (int j = 0; j < 5; ++j)
            Sprite(j < 2 ? ConsoleSheet::kPointPip : ConsoleSheet::kPointPipEmpty,
                   icon.left + (24 + 16 * j) * m_s, icon.top);
    }

    // The shutter, its edges, the map's frame and picture, the marks.
    void List(const MenuRect& shutter)
    {
        Stretched(ConsoleSheet::kKindFrame, shutter);
        Stretched(ConsoleSheet::kListEdge, {shutter.left, shutter.top - 4 * m_s, shutter.right, shutter.top});
        Stretched(ConsoleSheet::kListEdge, {shutter.left, shutter.bottom, shutter.right, shutter.bottom + 4 * m_s});
        const MenuRect box{(400 + 128) * m_s, 82 * m_s, (988 + 128) * m_s, 670 * m_s};
        Stretched(ConsoleSheet::kMapFrame, box);
        if (m_map != nullptr)
        {
            const float whole[4] = {0.0f, 0.0f, static_cast<float>(m_map->GetWidth()),
                                    static_cast<float>(m_map->GetHeight())};
            const float target[4] = {box.left, box.top, box.right, box.bottom};
            m_map->DrawRect(target, whole, 0xFFFFFFFF, 0);
        }
        for (uint32_t k = 0; k < 7; ++k)
            m_sheet->DrawScaledEx(box.left + 40.0f * k, box.top + 40.0f, ConsoleSheet::kMapMarks[k].Source().data(),
                                  m_s, 0xFFFFFFFF, 0, 0, kCentred);
        for (int j = 0; j < 2; ++j)
            m_sheet->DrawScaledEx(box.left + 40.0f, box.top + 40.0f, ConsoleSheet::kRing.Source().data(),
                                  m_s * 0.2f, 0xFFFFFFFF, 0, 0, kCentred);
        for (int ring = 0; ring < 12; ++ring)
            m_sheet->DrawScaledEx(box.left + 100.0f, box.top + 100.0f, ConsoleSheet::kRing.Source().data(),
                                  m_s * 0.5f, 0xFFEF002E, 0, 0, kCentred);
    }

    void ListLine(const MenuRect& line, const char* name, int32_t index)
    {
        Sprite(ConsoleSheet::kSlotMarkRows[index / 4][index % 4], line.left, line.top);
        Text(m_large, line.left + 24 * m_s, line.top, 24, m_s, name);
        Text(m_large, line.left + 224 * m_s, line.top, 24, m_s, ":");
        Text(m_large, line.left + 244 * m_s, line.top, 24, m_s, "0");
        Text(m_large, line.left + 276 * m_s, line.top, 24, m_s, "DOWN");
    }

    void Line(const MenuCell& back, const MenuRect& rect, const char* text)
    {
        Stretched(back, rect);
        Text(m_large, rect.left + 4 * m_s, rect.top + 4 * m_s, 18, m_s, text);
    }

    CTexture* m_sheet;
    CTexture* m_map;
    CFontTexture* m_small;
    CFontTexture* m_large;
    float m_s;
    std::vector<Item> m_items;
};

// Eight fighters running, every HUD line full, the list open.
void FillTheHud(CBattleScene* scene)
{
    CBattleConsole* console = scene->GetConsole();
    CCharacter* focused = scene->GetFighter(0);
    tag_TOLQCHARASTATE* state = focused->GetStateBlock();
    focused->GetActionData()->mainSlot = 1;
    state->aimFlag = 1;
    state->lockOn = 2;
    state->statusBits = 7;
    state->ep = 3.5f;
    std::string line;
    for (int i = 0; i < 3; ++i)
        line += GameText("Lierreが Plumに倒されました");
    console->ShowMessage(line.c_str(), 4, 3);
    for (uint32_t sender : {2u, 5u, 1u, 6u})
        console->AddRadioMessage(sender, sender);
    tag_TOLQCONSOLESTATE* hud = console->GetStateForUpdate();
    hud->messageClock = 1000;
    for (tag_TOLQRADIOLINE& radio : hud->radio)
        radio.clock = 1000;
    hud->participantShown = 1;
    hud->participantClock = 1000;
}

void Finish(GraphicsDevice* device)
{
    uint32_t pixel = 0;
    device->ReadPixels(device->GetBackBuffer(), 0, 0, 1, 1, &pixel);
}
}

static void BM_HudDrawCost(benchmark::State& state)
{
    battletest::BattleData::Install();
    CQorResourceController* controller = battletest::BattleData::Get();
    if (controller == nullptr)
    {
        state.SkipWithError(battletest::BattleData::GetError().c_str());
        return;
    }
    InstallFonts(controller);
    CGraphics& graphics = battletest::BattleData::GetGraphics()->Graphics();
    GraphicsDevice* device = graphics.GetDevice();
    tag_TOLQBATTLESETTING* setting = CreateBattleSettingFrom(8, 0, nullptr);
    setting->seed = 5;
    setting->record = 0;
    setting->rules.timeLimitIndex = 1;
    const char* weapons[3] = {GameText("クレイモア"), "Rifle", "Launcher"};
    for (uint8_t i = 0; i < 8; ++i)
    {
        setting->players[i].character = static_cast<int8_t>(i);
        setting->players[i].characterCount = 8;
        std::copy(std::begin(weapons), std::end(weapons), setting->players[i].weapons);
    }
    CBattleScene scene;
    scene.Init(reinterpret_cast<uintptr_t>(setting));
    for (uint32_t i = 0; i < kOpeningFrames; ++i)
    {
        SetFrameTime(kFrameMilliseconds);
        scene.Update(0);
    }
    FillTheHud(&scene);
    CBattleConsole* console = scene.GetConsole();
    // One whole frame sets the camera and the render states up; the HUD's
    // own reports of its two passes then tell the direct draw where
    // everything goes.
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL, 0xFF203040, 1.0f, 0);
    scene.Render(0);
    auto& fonts = controller->GetFontList();
    CTexture* map = CActorResources::FindTexture(scene.GetStage()->GetDefinition().mapPicture);
    const float scale = console->GetDrawnItems().Layout().Scale();
    DirectHud direct(console, map, fonts.GetItem(0), fonts.GetItem(1), scale);
    console->RenderWorldOverlays();
    DirectHud directPlates(console, map, fonts.GetItem(0), fonts.GetItem(1), scale);
    Finish(device);
    double hud = 0.0, straight = 0.0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        graphics.Begin3D();
        graphics.SetBlendMode(1);
        double start = ThreadCpuSeconds();
        console->RenderWorldOverlays();
        graphics.Begin2D();
        console->Render(0);
        const double hudSeconds = ThreadCpuSeconds() - start;
        Finish(device);
        graphics.Begin3D();
        start = ThreadCpuSeconds();
        graphics.SetFogEnable(0);
        graphics.SetLighting(0);
        directPlates.DrawOverlays();
        graphics.SetFogEnable(1);
        graphics.SetLighting(1);
        graphics.Begin2D();
        direct.Draw();
        const double directSeconds = ThreadCpuSeconds() - start;
        Finish(device);
        state.SetIterationTime(hudSeconds);
        hud += hudSeconds;
        straight += directSeconds;
        ++frames;
    }
    state.counters["hud_ms"] = hud * 1000.0 / static_cast<double>(frames);
    state.counters["direct_ms"] = straight * 1000.0 / static_cast<double>(frames);
    state.counters["hud_over_direct"] = straight > 0.0 ? hud / straight : 0.0;
    state.counters["items"] = static_cast<double>(console->GetDrawnItems().Items().size());
    graphics.SetCamera(nullptr);
    scene.Release();
    FreeBattleSetting(setting);
}
BENCHMARK(BM_HudDrawCost)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(BenchSmoke::MinTime(2.0));
