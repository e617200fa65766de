#pragma once

// The whole stand-in set the build wrote (its loose copy), for scene tests
// that run battles or show fighters: game data, models, effects, sheets,
// music and sounds, listed in the set's own order.

#include "game/scene/SceneFactory.h"
#include "tests/game/scene/SceneFiles.h"
#include "tools/datakit/DataKit.h"

#include <functional>
#include <memory>
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
#include "game/menu/CMenuFrame.h"

#include <stb/stb_image_write.h>

#include <algorithm>
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

// The last drawn frame, read once, and its pixels by layout rectangle.
class DrawnFrame
{
public:
    explicit DrawnFrame(game_test::GameHarness& game)
        : m_layout(CMenuLayout::ForGraphics(game.Controller().GetGraphics(), MenuScaleRule::Menu4x3))
    {
        CSystem* system = game.Controller().GetSystem();
        GraphicsDevice* device = game.Controller().GetGraphics()->GetDevice();
        m_width = system->GetWidth();
        m_height = system->GetHeight();
        m_argb.resize(static_cast<size_t>(m_width) * m_height);
        m_read = device->ReadPixels(device->GetBackBuffer(), 0, 0, m_width, m_height, m_argb.data()) == DEVICE_OK;
    }

    bool Read() const { return m_read; }
    // Pixels inside the layout rectangle whose red, green and blue all
    // reach minimum (white text on anything darker).
    int CountBright(const MenuRect& rect, uint32_t minimum = 0xC0) const
    {
        const MenuPoint from = m_layout.LayoutToCursor({rect.left, rect.top});
        const MenuPoint to = m_layout.LayoutToCursor({rect.right, rect.bottom});
        int count = 0;
        for (int y = std::max(0, static_cast<int>(from.y)); y < std::min(m_height, static_cast<int>(to.y)); ++y)
        {
            for (int x = std::max(0, static_cast<int>(from.x)); x < std::min(m_width, static_cast<int>(to.x)); ++x)
            {
                const uint32_t pixel = m_argb[static_cast<size_t>(y) * m_width + x];
                if (((pixel >> 16) & 0xFF) >= minimum && ((pixel >> 8) & 0xFF) >= minimum && (pixel & 0xFF) >= minimum)
                    ++count;
            }
        }
        return count;
    }
    // The pixel at a layout point.
    uint32_t At(MenuPoint point) const
    {
        const MenuPoint pixel = m_layout.LayoutToCursor(point);
        const int x = std::clamp(static_cast<int>(pixel.x), 0, m_width - 1);
        const int y = std::clamp(static_cast<int>(pixel.y), 0, m_height - 1);
        return m_argb[static_cast<size_t>(y) * m_width + x] & 0xFFFFFFu;
    }
    // As "<name>.png" in the start folder, for a person to look at.
    void Save(const std::string& name) const
    {
        std::vector<uint8_t> rgb(m_argb.size() * 3);
        for (size_t i = 0; i < m_argb.size(); ++i)
        {
            rgb[i * 3 + 0] = static_cast<uint8_t>(m_argb[i] >> 16);
            rgb[i * 3 + 1] = static_cast<uint8_t>(m_argb[i] >> 8);
            rgb[i * 3 + 2] = static_cast<uint8_t>(m_argb[i]);
        }
        stbi_write_png((StartFolder() + "/" + name + ".png").c_str(), m_width, m_height, 3, rgb.data(), m_width * 3);
    }

private:
    CMenuLayout m_layout;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_argb;
    bool m_read = false;
};

// The last drawn frame as "<name>.png" in the start folder.
inline void SaveScreenshot(game_test::GameHarness& game, const std::string& name)
{
    DrawnFrame(game).Save(name);
}

// The pointer onto the centre of an item the last update reported, and one
// update for it to get there; false when no such item was reported.
inline bool PointAtItem(game_test::GameHarness& game, const CMenuFrame& frame, int32_t id)
{
    const MenuItemRecord* item = frame.FindItem(id);
    if (item == nullptr)
        return false;
    game.PointAt(item->rect.Centre());
    game.Step(1);
    return true;
}
// The left button down for one update (whose sounds stay to be read), then
// up again.
inline void ClickHere(game_test::GameHarness& game)
{
    game.Input().SetMouseButton(0, true);
    game.Step(1);
    game.Input().SetMouseButton(0, false);
}
inline bool ClickItem(game_test::GameHarness& game, const CMenuFrame& frame, int32_t id)
{
    if (!PointAtItem(game, frame, id))
        return false;
    ClickHere(game);
    return true;
}

// The game on the whole stand-in set, read where the build wrote it: tests
// that only read the set need no copy of their own. writeMore runs before
// the game starts (a save folder's files, say).
inline std::unique_ptr<game_test::GameHarness> StandInGame(int32_t width, int32_t height,
                                                           const tag_TOLQGAMECONFIG& settings,
                                                           const std::function<bool()>& writeMore = nullptr)
{
    return std::make_unique<game_test::GameHarness>(width, height, std::vector<game_test::DataFile>{},
                                                    &CreateGameScene, &settings, writeMore, KVR_STAND_IN_SOURCE);
}
}
