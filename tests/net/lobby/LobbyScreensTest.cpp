// The lobby's screens drawn offscreen through a real font and a stand-in
// lobby texture (one dark colour), read back and checked where their texts
// must be bright, dimmed or in the half colour.
#include "LobbyTestServer.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/CImeInput.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CFontTexture.h"
#include "engine/render/CTexture.h"
#include "net/lobby/CLobbyClient.h"
#include "net/lobby/CLobbyScreens.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace lobbytest;

namespace
{
constexpr int32_t WIDTH = 512;
constexpr int32_t HEIGHT = 384;
// Layout units to pixels at this size.
constexpr float S = 0.5f;

class LobbyScreensTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        ASSERT_EQ(font.CreateDefault(1024, 1024, "IPAGothic", 32), 1);
        ASSERT_EQ(texture.CreateRenderTarget(1024, 1024, 0, FORMAT_A8R8G8B8, 1), 1);
        ASSERT_EQ(texture.Fill(0xFF202020), 1);
        ASSERT_TRUE(client.Initialize(&headless.System(), "1.00", "", &graphics, &texture, &font));
        client.SetState(11);
        Feed(1012, UserList());
    }

    void TearDown() override
    {
        client.Release();
        font.Release();
        texture.Release();
    }

    void Feed(int16_t id, const std::vector<uint8_t>& payload)
    {
        uint8_t key = 0;
        {
            auto lock = client.Lock();
            key = client.GetStateBlock().sessionKey;
        }
        const std::vector<uint8_t> bytes = ServerMessage(id, 1, payload, key);
        ASSERT_TRUE(client.Reassemble(bytes.data(), bytes.size()));
        ASSERT_TRUE(client.DispatchQueued());
    }

    static std::vector<uint8_t> UserList()
    {
        std::vector<uint8_t> out(66);
        Put32(out, 0, 1);
        PutText(out, 4, "alice", 25);
        Put32(out, 29, 25);
        Put32(out, 33, 2);
        PutText(out, 37, "bob", 25);
        Put32(out, 62, 40);
        return out;
    }

    void Draw()
    {
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        ASSERT_TRUE(client.Render());
        pixels.assign(static_cast<size_t>(WIDTH) * HEIGHT, 0);
        ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, pixels.data()), DEVICE_OK);
    }

    // The brightest channel inside a rectangle given in layout units.
    uint32_t Brightest(float left, float top, float right, float bottom)
    {
        uint32_t best = 0;
        for (int y = static_cast<int>(top * S); y < static_cast<int>(bottom * S) && y < HEIGHT; ++y)
            for (int x = static_cast<int>(left * S); x < static_cast<int>(right * S) && x < WIDTH; ++x)
            {
                const uint32_t p = pixels[static_cast<size_t>(y) * WIDTH + x];
                best = std::max({best, (p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF});
            }
        return best;
    }

    void FadeIn()
    {
        for (int i = 0; i < 10; ++i)
            client.Update(0.05f);
    }

    RenderGraphics headless{WIDTH, HEIGHT};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CFontTexture font;
    CTexture texture;
    CLobbyClient client;
    std::vector<uint32_t> pixels;
};
} // namespace

TEST_F(LobbyScreensTest, LobbyUserListIsBrightAndDimsUnderADialog)
{
    FadeIn();
    Draw();
    // Headings and the focused room pane: bright; the background texture
    // alone stays dark.
    EXPECT_GE(Brightest(776, 120, 900, 140), 0xF0u);
    EXPECT_LE(Brightest(600, 40, 700, 70), 0x30u);
    // Users in the list, not focused: the half colour.
    const uint32_t row = Brightest(776, 144, 900, 166);
    EXPECT_GE(row, 0x60u);
    EXPECT_LE(row, 0x88u);
    // The version text of the background.
    EXPECT_GE(Brightest(848, 72, 960, 92), 0xF0u);

    client.SetState(34); // the quit question over the dimmed lobby
    Draw();
    EXPECT_LE(Brightest(776, 120, 900, 140), 0x88u);
    EXPECT_GE(Brightest(384, 392, 440, 420), 0xF0u); // はい, chosen
    const uint32_t no = Brightest(568, 392, 650, 420); // いいえ, the half colour
    EXPECT_GE(no, 0x60u);
    EXPECT_LE(no, 0x88u);
}

TEST_F(LobbyScreensTest, RoomChatShowsJapaneseLines)
{
    client.SetState(36);
    FadeIn();
    Draw();
    EXPECT_LE(Brightest(48, 170, 400, 194), 0x30u);
    std::vector<uint8_t> line(281);
    PutText(line, 0, "alice", 25);
    PutText(line, 25, "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD", 256); // こんにちは
    ASSERT_TRUE(client.OnChatMessage(line.data(), static_cast<uint32_t>(line.size())));
    Draw();
    // The name line, then the text line below it.
    EXPECT_GE(Brightest(48, 146, 300, 168), 0xF0u);
    EXPECT_GE(Brightest(48, 170, 300, 194), 0xF0u);
    EXPECT_LE(Brightest(48, 200, 300, 230), 0x30u);
}

TEST_F(LobbyScreensTest, NoticesAndTheLineTestResult)
{
    client.SetState(68);
    FadeIn();
    Draw();
    EXPECT_GE(Brightest(216, 280, 700, 312), 0xF0u);
    EXPECT_LE(Brightest(48, 600, 180, 700), 0x30u);

    EXPECT_EQ(CLobbyScreens::LineTestMarks(120), 10);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(790), 0);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(0), 0);
    EXPECT_EQ(CLobbyScreens::LineTestMarks(700), 2);
    EXPECT_EQ(CLobbyScreens::HalfColor(0xFFFFFFFF), 0xFF7F7F7Fu);
    EXPECT_EQ(CLobbyScreens::ScreenColor(1.0f, true), 0xFF808080u);
}

TEST_F(LobbyScreensTest, ScaleFollowsTheSmallerSide)
{
    CLobbyScreens screens(client);
    EXPECT_FLOAT_EQ(screens.GetScale(), 0.5f);
    headless.System().SetClientSize(1280, 720, 0);
    CLobbyScreens wide(client);
    EXPECT_FLOAT_EQ(wide.GetScale(), 0.9375f);
    EXPECT_FLOAT_EQ(992 * wide.GetScale(), 930.0f);
}

TEST_F(LobbyScreensTest, BattleSetupBorrowsTheRoomChatAndTheMatchingStatus)
{
    client.SetState(36);
    std::vector<uint8_t> line(281);
    PutText(line, 0, "bob", 25);
    PutText(line, 25, "ready", 256);
    ASSERT_TRUE(client.OnChatMessage(line.data(), static_cast<uint32_t>(line.size())));
    graphics.Begin2D();
    graphics.SetBlendMode(1);
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    client.DrawRoomChat(20.0f, 20.0f, S, 0xFFFFFFFF, 4);
    client.DrawMatchingStatus(2400, 0xFFFFFFFF);
    pixels.assign(static_cast<size_t>(WIDTH) * HEIGHT, 0);
    ASSERT_EQ(device->ReadPixels(device->GetBackBuffer(), 0, 0, WIDTH, HEIGHT, pixels.data()), DEVICE_OK);
    EXPECT_GE(Brightest(40, 40, 300, 60), 0xF0u);   // the chat line at (20, 20) pixels
    EXPECT_GE(Brightest(720, 700, 900, 728), 0xF0u); // "%d人マッチング"
    EXPECT_GE(Brightest(950, 730, 1000, 762), 0xF0u); // three dots after 2400 ms
    EXPECT_LE(Brightest(40, 300, 600, 600), 0x10u);
}
