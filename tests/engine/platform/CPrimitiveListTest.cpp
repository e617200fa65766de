#include "engine/platform/CPrimitiveList.h"
#include "engine/platform/device/DeviceBuffer.h"
#include "tests/engine/platform/HeadlessGraphics.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint32_t FVF_LIT = FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE;
constexpr uint32_t FVF_UNLIT = FVF_XYZ | FVF_DIFFUSE;
constexpr uint32_t STRIDE_LIT = 28;
constexpr uint32_t STRIDE_UNLIT = 16;

std::vector<uint32_t> ReadIndices(CPrimitiveList& list, uint32_t indexSize)
{
    DeviceBuffer* buffer = list.GetIndexBuffer();
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, LOCK_READONLY), DEVICE_OK);
    std::vector<uint32_t> indices(buffer->GetLength() / indexSize);
    for (size_t i = 0; i < indices.size(); ++i)
        indices[i] = indexSize == 2 ? static_cast<const uint16_t*>(data)[i] : static_cast<const uint32_t*>(data)[i];
    buffer->Unlock();
    return indices;
}

class PrimitiveListTest : public ::testing::Test
{
protected:
    static constexpr int SIZE = 64;

    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        // The render library hands the graphics object to the drawing
        // classes; these tests link the platform layer alone.
        CPrimitiveList::SetGraphics(&graphics);
        device = graphics.GetDevice();
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        device->SetTransform(TRANSFORM_VIEW, identity);
        device->SetTransform(TRANSFORM_PROJECTION, identity);
        graphics.Begin3D();
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    // Two red ribbons in clip space: columns 0-1 over x -0.8..-0.2 and
    // columns 2-3 over x 0.2..0.8, rows at y 0.8, 0 and -0.8, facing -z.
    void FillRibbons(CPrimitiveList& list)
    {
        const float xs[4] = {-0.8f, -0.2f, 0.2f, 0.8f};
        const float ys[3] = {0.8f, 0.0f, -0.8f};
        tag_KVRMODELVERTEX* vertices = list.GetVertexList()->GetData();
        for (uint32_t r = 0; r < 3; ++r)
        {
            for (uint32_t c = 0; c < 4; ++c)
            {
                tag_KVRMODELVERTEX& v = vertices[r * 4 + c];
                v.position = CkvrVector3(xs[c], ys[r], 0.5f);
                v.normal = CkvrVector3(0.0f, 0.0f, -1.0f);
                v.color = CkvrVector4(1.0f, 0.0f, 0.0f, 1.0f);
            }
        }
    }

    void TearDown() override { CPrimitiveList::SetGraphics(nullptr); }

    uint32_t Pixel(int x, int y) { return headless.Pixel(x, y) & 0x00FFFFFF; }

    HeadlessGraphics headless{SIZE, SIZE};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
};

TEST_F(PrimitiveListTest, FourColumnsThreeRowsMakeTwelveVerticesAndFortyEightIndices)
{
    for (uint32_t indexSize : {2u, 4u})
    {
        SCOPED_TRACE(indexSize);
        CPrimitiveList list;
        EXPECT_STREQ(list.GetClassName(), "CPrimitiveList");
        ASSERT_EQ(list.Build(4, 3, STRIDE_LIT, FVF_LIT, indexSize), 1);
        EXPECT_EQ(list.GetVertexList()->GetCount(), 12u);
        EXPECT_EQ(list.GetIndexCount(), 48u);
        EXPECT_EQ(list.GetVertexBuffer()->GetLength(), 12u * STRIDE_LIT);
        EXPECT_EQ(list.GetIndexBuffer()->GetLength(), 48u * indexSize);
        EXPECT_EQ(list.GetIndexBuffer()->GetFormat(), indexSize == 2 ? FORMAT_INDEX16 : FORMAT_INDEX32);
        const std::vector<uint32_t> indices = ReadIndices(list, indexSize);
        // Row 0: the ribbon of columns 0-1, then of 2-3, each quad in both
        // windings; row 1 the same one row down.
        const std::vector<uint32_t> expected = {
            0, 4, 1, 4, 5, 1, 0, 1, 4, 4, 1, 5,   2, 6, 3, 6, 7, 3, 2, 3, 6, 6, 3, 7,
            4, 8, 5, 8, 9, 5, 4, 5, 8, 8, 5, 9,   6, 10, 7, 10, 11, 7, 6, 7, 10, 10, 7, 11};
        EXPECT_EQ(indices, expected);
        list.Release();
        EXPECT_EQ(list.GetVertexBuffer(), nullptr);
        EXPECT_EQ(list.GetVertexList(), nullptr);
    }
}

TEST_F(PrimitiveListTest, DrawCountsAreCutToWholeRowsOfTheGrid)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Build(4, 3, STRIDE_LIT, FVF_LIT, 2), 1);
    struct Case
    {
        uint32_t count;
        uint32_t vertices;
        uint32_t triangles;
    };
    // columns x k vertices draw (k - 1) x columns x 2 triangles.
    const Case cases[] = {{0, 0, 0}, {4, 0, 0}, {7, 0, 0}, {8, 8, 8}, {11, 8, 8}, {12, 12, 16}, {1000, 12, 16}};
    for (const Case& c : cases)
    {
        list.SetDrawCount(c.count);
        EXPECT_EQ(list.GetDrawCount(), c.count);
        EXPECT_EQ(list.GetDrawnVertices(), c.vertices) << c.count;
        EXPECT_EQ(list.GetDrawnTriangles(), c.triangles) << c.count;
        EXPECT_EQ(list.Render(0), 1) << c.count;
    }
}

TEST_F(PrimitiveListTest, OddColumnsDrawWholePairsOnly)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Build(5, 2, STRIDE_UNLIT, FVF_UNLIT, 4), 1);
    EXPECT_EQ(list.GetIndexCount(), 24u);
    for (uint32_t index : ReadIndices(list, 4))
    {
        EXPECT_LT(index, 10u);
        EXPECT_NE(index % 5, 4u) << "the unpaired last column is not drawn";
    }
    list.SetDrawCount(10);
    EXPECT_EQ(list.GetDrawnTriangles(), 8u);
    EXPECT_EQ(list.Render(0), 1);
}

TEST_F(PrimitiveListTest, BuildRefusesGridsItCannotDraw)
{
    CPrimitiveList list;
    EXPECT_EQ(list.Build(1, 3, STRIDE_LIT, FVF_LIT, 2), 0);
    EXPECT_EQ(list.Build(4, 1, STRIDE_LIT, FVF_LIT, 2), 0);
    EXPECT_EQ(list.Build(4, 3, STRIDE_LIT, FVF_LIT, 3), 0);
    EXPECT_EQ(list.Build(4, 3, STRIDE_LIT - 1, FVF_LIT, 2), 0);
    EXPECT_EQ(list.Build(4, 3, 28, FVF_XYZRHW | FVF_DIFFUSE, 2), 0);
    EXPECT_EQ(list.Build(4, 3, 40, FVF_XYZ | FVF_SPECULAR, 2), 0);
    // 16-bit indices cannot name a vertex past 65535.
    EXPECT_EQ(list.Build(512, 129, STRIDE_UNLIT, FVF_UNLIT, 2), 0);
    EXPECT_EQ(list.Build(512, 129, STRIDE_UNLIT, FVF_UNLIT, 4), 1);
    EXPECT_EQ(list.Render(0), 1); // draw count 0: nothing to draw
    list.Release();
    EXPECT_EQ(list.Render(0), 0);
}

TEST_F(PrimitiveListTest, RibbonsShowFromBothSides)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Build(4, 3, STRIDE_UNLIT, FVF_UNLIT, 2), 1);
    FillRibbons(list);
    list.SetDrawCount(8);
    for (uint32_t cull : {CULL_CW, CULL_CCW})
    {
        SCOPED_TRACE(cull);
        device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        graphics.SetCullMode(cull);
        ASSERT_EQ(list.Render(0), 1);
        EXPECT_EQ(Pixel(16, 16), 0xFF0000u);
        EXPECT_EQ(Pixel(48, 16), 0xFF0000u);
        EXPECT_EQ(Pixel(32, 16), 0u) << "between the ribbons";
        EXPECT_EQ(Pixel(16, 48), 0u) << "the third row is past the draw count";
    }
    list.SetDrawCount(12);
    ASSERT_EQ(list.Render(0), 1);
    EXPECT_EQ(Pixel(16, 48), 0xFF0000u);
}

TEST_F(PrimitiveListTest, LitAndUnlitRibbonsLeaveLightingAsItWas)
{
    DeviceLight light;
    light.type = LIGHT_DIRECTIONAL;
    light.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    light.direction[2] = 1.0f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    graphics.SetAmbient(0xFF000000);

    CPrimitiveList lit;
    ASSERT_EQ(lit.Build(4, 3, STRIDE_LIT, FVF_LIT, 2), 1);
    FillRibbons(lit);
    lit.SetDrawCount(12);
    graphics.SetLighting(1);
    ASSERT_EQ(lit.Render(0), 1);
    EXPECT_TRUE(NearRgb(Pixel(16, 16), 0x800000, 2)) << std::hex << Pixel(16, 16);
    EXPECT_EQ(graphics.GetStateCache()->lighting, 1u);

    CPrimitiveList unlit;
    ASSERT_EQ(unlit.Build(4, 3, STRIDE_UNLIT, FVF_UNLIT, 2), 1);
    FillRibbons(unlit);
    unlit.SetDrawCount(12);
    device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    ASSERT_EQ(unlit.Render(0), 1);
    EXPECT_EQ(Pixel(16, 16), 0xFF0000u);
    EXPECT_EQ(graphics.GetStateCache()->lighting, 1u);
    EXPECT_EQ(device->GetRenderState(RS_LIGHTING), 1u);

    graphics.SetLighting(0);
    ASSERT_EQ(unlit.Render(0), 1);
    EXPECT_EQ(graphics.GetStateCache()->lighting, 0u);
}

TEST_F(PrimitiveListTest, BuffersSurviveADeviceReset)
{
    CPrimitiveList list;
    ASSERT_EQ(list.Build(4, 3, STRIDE_UNLIT, FVF_UNLIT, 4), 1);
    FillRibbons(list);
    list.SetDrawCount(12);
    device->SimulateDeviceLoss(0);
    EXPECT_EQ(graphics.BeginScene(), 0);
    ASSERT_EQ(graphics.BeginScene(), 1);
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    device->SetTransform(TRANSFORM_VIEW, identity);
    device->SetTransform(TRANSFORM_PROJECTION, identity);
    graphics.Begin3D();
    ASSERT_EQ(list.Render(0), 1);
    EXPECT_EQ(Pixel(48, 48), 0xFF0000u);
    graphics.EndScene();
}

TEST(PrimitiveListWithoutGraphics, BuildAndRenderFail)
{
    CPrimitiveList list;
    EXPECT_EQ(list.Build(4, 3, STRIDE_LIT, FVF_LIT, 2), 0);
    EXPECT_EQ(list.Render(0), 0);
    EXPECT_EQ(list.Create(0), 1);
    EXPECT_EQ(list.Update(0), 1);
}
}
