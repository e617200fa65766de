#include "engine/platform/CPrimitiveList.h"
#include "engine/render/CRenderList.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

namespace
{
constexpr uint32_t FVF_TEXTURED = FVF_XYZ | FVF_DIFFUSE | FVF_TEX1;

class PrimitiveListQueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->SetTransform(TRANSFORM_VIEW, identity);
        device->SetTransform(TRANSFORM_PROJECTION, identity);
        graphics.Begin3D();
        graphics.SetLighting(0);
        device->SetSamplerState(0, SAMP_MINFILTER, TEXF_POINT);
        device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_POINT);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);

        // One quad over the middle of the frame, white, the whole texture.
        ASSERT_EQ(ribbon.Build(2, 2, 24, FVF_TEXTURED, 2), 1);
        const float corners[4][4] = {{-0.5f, 0.5f, 0, 0}, {0.5f, 0.5f, 1, 0}, {-0.5f, -0.5f, 0, 1}, {0.5f, -0.5f, 1, 1}};
        tag_KVRMODELVERTEX* vertices = ribbon.GetVertexList()->GetData();
        for (int i = 0; i < 4; ++i)
        {
            vertices[i].position = CkvrVector3(corners[i][0], corners[i][1], 0.5f);
            vertices[i].color = CkvrVector4(1.0f, 1.0f, 1.0f, 1.0f);
            vertices[i].uv[0][0] = corners[i][2];
            vertices[i].uv[0][1] = corners[i][3];
        }
        ribbon.SetDrawCount(4);
    }

    void TearDown() override
    {
        ribbon.Release();
        texture.Release();
    }

    uint32_t Pixel(int x, int y) { return headless.Pixel(x, y) & 0x00FFFFFF; }

    RenderGraphics headless{64, 64};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
    CPrimitiveList ribbon;
    CTexture texture;
};

TEST_F(PrimitiveListQueueTest, QueuedThroughTheRenderListAndDrawnByIt)
{
    CRenderList list("list", 4, &graphics);
    ribbon.SetUseRenderList(1);
    EXPECT_EQ(ribbon.Render(reinterpret_cast<uintptr_t>(&list)), 1);
    EXPECT_EQ(list.GetQueuedCount(), 1u);
    EXPECT_EQ(Pixel(32, 32), 0u) << "queued, not drawn yet";
    list.Draw();
    EXPECT_EQ(Pixel(32, 32), 0xFFFFFFu);

    // Without the flag it draws at once.
    list.Clear();
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ribbon.SetUseRenderList(0);
    EXPECT_EQ(ribbon.Render(reinterpret_cast<uintptr_t>(&list)), 1);
    EXPECT_EQ(list.GetQueuedCount(), 0u);
    EXPECT_EQ(Pixel(32, 32), 0xFFFFFFu);
}

TEST_F(PrimitiveListQueueTest, TexturedRibbonSamplesItsTexture)
{
    ASSERT_EQ(texture.CreateRenderTarget(4, 4, 0, FORMAT_A8R8G8B8, 1), 1);
    ASSERT_EQ(texture.Fill(0xFF2080C0), 1);
    ribbon.SetTexture(&texture);
    EXPECT_EQ(ribbon.GetTexture(), &texture);
    ASSERT_EQ(ribbon.Render(0), 1);
    EXPECT_EQ(Pixel(32, 32), 0x2080C0u);
    EXPECT_EQ(graphics.GetStateCache()->texture, texture.GetDeviceTexture());
}
}
