#pragma once

// The battle HUD drawn for real: an offscreen device of the size a test
// asks for, the stand-in "Console_01.dds" the build wrote, the game's two
// fonts, and fighters made from definitions in code (no models: the HUD
// draws from their state blocks). A test sets the state, draws, and reads
// the pixels at the places the HUD reported for its elements.
#include "tests/engine/render/RenderGraphics.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CCamera.h"
#include "engine/render/CFontTexture.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CCharacter.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/app/CQorResourceController.h"
#include "game/app/GameServices.h"
#include "game/battle/CBattleConsole.h"
#include "game/battle/CConsoleRenderer.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <gtest/gtest.h>
#include "tests/support/ArgbPng.h"

#include <memory>
#include <string>
#include <vector>

#ifndef KVR_BATTLE_DATA_DIR
#error "KVR_BATTLE_DATA_DIR names the data kit's output folder"
#endif

namespace hudtest
{
// What the screen is cleared to before the HUD draws.
inline constexpr uint32_t kClear = 0xFF203040;

inline int Red(uint32_t argb)
{
    return static_cast<int>((argb >> 16) & 0xFF);
}
inline int Green(uint32_t argb)
{
    return static_cast<int>((argb >> 8) & 0xFF);
}
inline int Blue(uint32_t argb)
{
    return static_cast<int>(argb & 0xFF);
}
inline bool IsClear(uint32_t argb)
{
    return (argb & 0xFFFFFF) == (kClear & 0xFFFFFF);
}
// White text or digits: every channel bright.
inline bool IsBright(uint32_t argb)
{
    return Red(argb) > 200 && Green(argb) > 200 && Blue(argb) > 200;
}

// The frame's pixels (ARGB, rows from the top) as a PNG in the test's
// folder, for a person to look at.
inline void SavePng(const std::vector<uint32_t>& argb, int width, int height, const char* name)
{
    SaveArgbPng(argb, width, height, name);
}

class HudScreen
{
public:
    HudScreen(int width, int height, uint8_t players = 2, uint8_t npcs = 0)
        : m_graphics(width, height), m_width(width), m_height(height)
    {
        if (!m_graphics.Created())
            return;
        std::string path = std::string(KVR_BATTLE_DATA_DIR) + "/Source/Texture/Console_01.dds";
        for (char& c : path)
            c = c == '/' ? '\\' : c;
        m_ready = m_controller.Load(path.c_str(), 1) != 0;
        for (int32_t height : {24, 32})
        {
            auto font = std::make_unique<CFontTexture>();
            m_ready = m_ready && font->CreateDefault(1024, 1024, "IPAGothic", height) != 0;
            m_controller.GetFontList().Add(font.release());
        }
        g_pResourceController = &m_controller;
        CActorResources::Install(&m_controller);
        setting = CreateBattleSettingFrom(players, 0, nullptr);
        setting->rules.timeLimitIndex = 0;
        m_ready = m_ready && console.Init(reinterpret_cast<uintptr_t>(setting)) == 1;
        const uint32_t count = static_cast<uint32_t>(players) + npcs;
        definitions.resize(count);
        for (uint32_t i = 0; i < count; ++i)
        {
            CCharacterDefinition& d = definitions[i];
            std::snprintf(d.name, sizeof(d.name), "Fighter%u", i + 1);
            d.number = static_cast<uint8_t>(i % 8);
            d.ownBit = 1u << (i % 8);
            d.life = 1000;
            fighters.push_back(std::make_unique<CCharacter>(&d));
            fighters.back()->Create(0);
            tag_TOLQBATTLECHARADATA data;
            data.fighterIndex = static_cast<uint8_t>(i);
            data.npc = i >= players ? 1 : 0;
            fighters.back()->Setup(&data, nullptr);
            pointers.push_back(fighters.back().get());
        }
        console.SetCharacters(pointers.data(), pointers.empty() ? nullptr : pointers[0], count);
        camera.SetViewport(0, 0, 0, 0);
        m_graphics.Graphics().SetCamera(&camera);
    }
    ~HudScreen()
    {
        m_graphics.Graphics().SetCamera(nullptr);
        console.Release();
        FreeBattleSetting(setting);
        g_pResourceController = nullptr;
        CActorResources::Install(nullptr);
        m_controller.Release();
    }

    bool Ready() const { return m_ready; }
    CGraphics& Graphics() { return m_graphics.Graphics(); }

    // The 2D pass as the battle draws it, then the frame read back.
    void Draw()
    {
        CGraphics& graphics = m_graphics.Graphics();
        graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL, kClear, 1.0f, 0);
        DrawHud();
    }
    // The world overlays alone, read back into overlays; then the 2D pass
    // over them as the battle stacks the two, read back into frame.
    void DrawOverlaysThenHud()
    {
        CGraphics& graphics = m_graphics.Graphics();
        graphics.GetDevice()->Clear(CLEAR_TARGET | CLEAR_ZBUFFER | CLEAR_STENCIL, kClear, 1.0f, 0);
        console.RenderWorldOverlays();
        ReadBack();
        overlays = frame;
        overlayItems = console.GetDrawnItems().Items();
        DrawHud();
    }

    void DrawHud()
    {
        CGraphics& graphics = m_graphics.Graphics();
        graphics.SetBlendMode(1);
        graphics.Begin2D();
        console.Render(0);
        ReadBack();
    }
    void ReadBack()
    {
        CGraphics& graphics = m_graphics.Graphics();
        frame.assign(static_cast<size_t>(m_width) * m_height, 0);
        EXPECT_EQ(graphics.GetDevice()->ReadPixels(graphics.GetDevice()->GetBackBuffer(), 0, 0, m_width, m_height,
                                                   frame.data()),
                  DEVICE_OK);
    }

    uint32_t At(float x, float y) const
    {
        const int ix = std::clamp(static_cast<int>(x), 0, m_width - 1);
        const int iy = std::clamp(static_cast<int>(y), 0, m_height - 1);
        return frame[static_cast<size_t>(iy) * m_width + ix];
    }
    // How many pixels of a window-pixel rectangle pass the test.
    template <class Test>
    int Count(const MenuRect& pixels, Test test) const
    {
        int count = 0;
        for (int y = std::max(0, static_cast<int>(pixels.top)); y < std::min(m_height, static_cast<int>(pixels.bottom));
             ++y)
        {
            for (int x = std::max(0, static_cast<int>(pixels.left));
                 x < std::min(m_width, static_cast<int>(pixels.right)); ++x)
                count += test(frame[static_cast<size_t>(y) * m_width + x]) ? 1 : 0;
        }
        return count;
    }

    const MenuItemRecord* Item(HudItem item, uint32_t index = 0) const
    {
        return console.GetDrawnItems().FindItem(HudItemId(item, index));
    }
    // An item's place in window pixels.
    MenuRect Pixels(HudItem item, uint32_t index = 0) const
    {
        const MenuItemRecord* record = Item(item, index);
        EXPECT_NE(record, nullptr) << static_cast<int>(item) << " " << index;
        if (record == nullptr)
            return {};
        return ToPixels(record->rect);
    }
    // The place in window pixels of what the world overlays reported, kept
    // by DrawOverlaysThenHud.
    MenuRect OverlayPixels(HudItem item, uint32_t index) const
    {
        for (const MenuItemRecord& record : overlayItems)
        {
            if (record.id == HudItemId(item, index))
                return ToPixels(record.rect);
        }
        ADD_FAILURE() << "no overlay " << static_cast<int>(item) << " " << index;
        return {};
    }
    // Pixels of a window-pixel rectangle that the 2D pass changed over the
    // world overlays. Count hands each pixel of frame by reference: its
    // place there is its place in overlays.
    int CoveredByHud(const MenuRect& pixels) const
    {
        const uint32_t* first = frame.data();
        return Count(pixels, [&](const uint32_t& argb) { return argb != overlays[static_cast<size_t>(&argb - first)]; });
    }
    MenuRect ToPixels(const MenuRect& rect) const
    {
        const MenuPoint topLeft = Layout().LayoutToCursor({rect.left, rect.top});
        const MenuPoint bottomRight = Layout().LayoutToCursor({rect.right, rect.bottom});
        return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    }
    const CMenuLayout& Layout() const { return console.GetDrawnItems().Layout(); }
    float Scale() const { return Layout().Scale(); }

    void SavePng(const char* name) const { hudtest::SavePng(frame, m_width, m_height, name); }

    tag_TOLQBATTLESETTING* setting = nullptr;
    CBattleConsole console;
    CCamera camera;
    std::vector<CCharacterDefinition> definitions;
    std::vector<std::unique_ptr<CCharacter>> fighters;
    std::vector<CCharacter*> pointers;
    std::vector<uint32_t> frame;
    std::vector<uint32_t> overlays;
    std::vector<MenuItemRecord> overlayItems;

private:
    RenderGraphics m_graphics;
    CQorResourceController m_controller;
    int m_width;
    int m_height;
    bool m_ready = false;
};
}
