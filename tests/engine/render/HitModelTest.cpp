#include "ModelSamples.h"

#include "engine/core/Collision.h"
#include "engine/render/CModelBlock.h"
#include "engine/render/HitModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{
// A stage of one object: a floor at y = 0 over x, z in [0, 8] facing up
// (range 0) and a wall at z = 8 over x in [0, 8], y in [-2, 4] facing the
// floor (range 1), split into a 4 x 2 x 4 block grid.
class HitModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        stage = new CModelObject();
        stage->SetName("Stage");
        std::vector<uint32_t> indices;
        // Floor cells: a (x, z), b (x, z + 1), c (x + 1, z + 1), d (x + 1, z).
        for (int x = 0; x < 8; ++x)
        {
            for (int z = 0; z < 8; ++z)
                Quad(&indices, CkvrVector3(x, 0, z), CkvrVector3(x, 0, z + 1), CkvrVector3(x + 1, 0, z + 1),
                     CkvrVector3(x + 1, 0, z));
        }
        floorCount = uint32_t(indices.size());
        for (int x = 0; x < 8; ++x)
        {
            for (int y = -2; y < 4; ++y)
                Quad(&indices, CkvrVector3(x, y, 8), CkvrVector3(x, y + 1, 8), CkvrVector3(x + 1, y + 1, 8),
                     CkvrVector3(x + 1, y, 8));
        }
        stage->GetIndexSet()->indices.SetArray(indices.data(), uint32_t(indices.size()));
        const tag_KVRMODELINDEXOFFSET floor = {0, floorCount};
        const tag_KVRMODELINDEXOFFSET wall = {floorCount, uint32_t(indices.size()) - floorCount};
        stage->GetIndexSet()->ranges.Add(floor);
        stage->GetIndexSet()->ranges.Add(wall);
        stage->GetMaterials()->Add(ModelSamples::Material("Floor", nullptr, nullptr));
        stage->GetMaterials()->Add(ModelSamples::Material("Wall", nullptr, nullptr));
        ASSERT_EQ(stage->CreateBlocks(4, 2, 4), 1u);
        mesh.GetObjectList()->Add(stage);
    }

    void Quad(std::vector<uint32_t>* indices, const CkvrVector3& a, const CkvrVector3& b, const CkvrVector3& c,
              const CkvrVector3& d)
    {
        CModelVertexList* vertices = stage->GetVertexList();
        const uint32_t base = vertices->GetCount();
        for (const CkvrVector3& p : {a, b, c, d})
            vertices->Add(ModelSamples::Vertex(p.x, p.y, p.z, 0, 0));
        indices->insert(indices->end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }

    struct Result
    {
        uint32_t hit = 0;
        CkvrVector3 point;
        CkvrVector3 normal;
        uint32_t triangle = 9999;
        uint32_t range = 9999;
    };

    Result Segment(const CkvrVector3& start, const CkvrVector3& end, bool grid, uint32_t side = HIT_SIDE_FRONT)
    {
        Result r;
        r.hit = grid ? HitSegmentModelGrid(&start, &end, &mesh, side, &r.point, &r.normal, &r.triangle, &r.range)
                     : HitSegmentModel(&start, &end, &mesh, side, &r.point, &r.normal, &r.triangle, &r.range);
        return r;
    }

    // Both searches agree on whether and where; the triangle numbers differ
    // (block lists against the object's).
    Result Both(const CkvrVector3& start, const CkvrVector3& end, uint32_t side = HIT_SIDE_FRONT)
    {
        const Result brute = Segment(start, end, false, side);
        const Result grid = Segment(start, end, true, side);
        EXPECT_EQ(brute.hit, grid.hit);
        if (brute.hit && grid.hit)
        {
            EXPECT_NEAR((brute.point - grid.point).Length(), 0.0f, 1e-5f);
            EXPECT_EQ(brute.range, grid.range);
        }
        return grid;
    }

    CMesh mesh;
    CModelObject* stage = nullptr;
    uint32_t floorCount = 0;
};

TEST_F(HitModelTest, ARayDownFindsTheFloorWithItsNormalTriangleAndRange)
{
    const Result r = Both(CkvrVector3(3.3f, 5, 2.2f), CkvrVector3(3.3f, -1, 2.2f));
    ASSERT_EQ(r.hit, 1u);
    EXPECT_NEAR((r.point - CkvrVector3(3.3f, 0, 2.2f)).Length(), 0.0f, 1e-5f);
    EXPECT_NEAR(r.normal.y, 1.0f, 1e-6f);
    EXPECT_EQ(r.range, 0u);
    const Result brute = Segment(CkvrVector3(3.3f, 5, 2.2f), CkvrVector3(3.3f, -1, 2.2f), false);
    // Cell (3, 2), lower-right half of the quad: quad 3 * 8 + 2, second triangle.
    EXPECT_EQ(brute.triangle, (3u * 8 + 2) * 2 + 1);
    // From below the floor faces away: only the both-sides mode sees it.
    EXPECT_EQ(Both(CkvrVector3(3.3f, -1, 2.2f), CkvrVector3(3.3f, 5, 2.2f)).hit, 0u);
    EXPECT_EQ(Both(CkvrVector3(3.3f, -1, 2.2f), CkvrVector3(3.3f, 5, 2.2f), HIT_SIDE_BOTH).hit, 1u);
    EXPECT_EQ(Both(CkvrVector3(3.3f, -1, 2.2f), CkvrVector3(3.3f, 5, 2.2f), HIT_SIDE_BACK).hit, 1u);
}

TEST_F(HitModelTest, RaysFromOutsideTheGridAndRaysThatMissEverything)
{
    // From far in front of the grid, straight into the wall.
    Result r = Both(CkvrVector3(4.5f, 1.5f, -100), CkvrVector3(4.5f, 1.5f, 20));
    ASSERT_EQ(r.hit, 1u);
    EXPECT_NEAR(r.point.z, 8.0f, 1e-5f);
    EXPECT_NEAR(r.normal.z, -1.0f, 1e-6f);
    EXPECT_EQ(r.range, 1u);
    // Entirely outside, beside the grid or beyond its far corner.
    EXPECT_EQ(Both(CkvrVector3(-5, 1, -5), CkvrVector3(-5, 1, 20)).hit, 0u);
    EXPECT_EQ(Both(CkvrVector3(1e30f, 1e30f, 1e30f), CkvrVector3(2e30f, 1e30f, 1e30f)).hit, 0u);
    EXPECT_EQ(Both(CkvrVector3(4, 1e6f, 4), CkvrVector3(4, 5e5f, 4)).hit, 0u);
    // From infinitely far above, down through the floor.
    const float inf = std::numeric_limits<float>::infinity();
    r = Segment(CkvrVector3(4.5f, inf, 4.5f), CkvrVector3(4.5f, -1, 4.5f), true);
    EXPECT_EQ(r.hit, Segment(CkvrVector3(4.5f, inf, 4.5f), CkvrVector3(4.5f, -1, 4.5f), false).hit);
}

TEST_F(HitModelTest, RaysGrazingEdgesAndCellBordersStillHit)
{
    // Down onto a vertex shared by four quads and two block cells (the
    // grid's x border at 2 * 2.05 = 4.1 is near, the quad edge at 4 exact).
    for (const CkvrVector3& at : {CkvrVector3(4, 0, 4), CkvrVector3(4.1f, 0, 2), CkvrVector3(8, 0, 8),
                                  CkvrVector3(0, 0, 0), CkvrVector3(2.5f, 0, 2.5f)})
    {
        const Result r = Both(at + CkvrVector3(0, 1, 0), at - CkvrVector3(0, 1, 0), HIT_SIDE_BOTH);
        EXPECT_EQ(r.hit, 1u) << at.x << " " << at.z;
        EXPECT_NEAR(r.point.y, 0.0f, 1e-6f);
    }
    // Along the floor's top edge of the wall: the wall's bottom row is hit.
    Result r = Both(CkvrVector3(3.5f, 0, 0.5f), CkvrVector3(3.5f, 0, 9), HIT_SIDE_BOTH);
    EXPECT_EQ(r.hit, 1u);
    // Parallel to the floor just above it and stopping short of the wall.
    EXPECT_EQ(Both(CkvrVector3(0.5f, 0.01f, 0.5f), CkvrVector3(7.5f, 0.01f, 7.9f)).hit, 0u);
}

// Each block bounds its own triangles: the lower cells hold floor and the
// wall's lower rows, the upper ones only the wall's upper rows (or nothing)
// and a segment through an upper cell away from the wall meets none.
TEST_F(HitModelTest, EachBlockKnowsTheBoxOfItsOwnTriangles)
{
    uint32_t empty = 0;
    for (uint32_t i = 0; i < stage->GetBlocks()->GetCount(); ++i)
    {
        CModelBlock* block = stage->GetBlocks()->GetItem(i);
        const float* content = block->GetContentBounds();
        const KVRMODELINDEXSET& set = *block->GetIndexSet();
        if (set.indices.GetCount() == 0)
        {
            EXPECT_GT(content[0], content[3]) << i;
            ++empty;
            continue;
        }
        for (uint32_t k = 0; k < set.indices.GetCount(); ++k)
        {
            const CkvrVector3& p = stage->GetVertexList()->GetAt(set.indices.GetData()[k])->position;
            EXPECT_TRUE(p.x >= content[0] && p.y >= content[1] && p.z >= content[2] && p.x <= content[3] &&
                        p.y <= content[4] && p.z <= content[5])
                << i;
        }
    }
    EXPECT_GT(empty, 0u);
    EXPECT_EQ(Both(CkvrVector3(0.5f, 3, 0.5f), CkvrVector3(7.5f, 3, 7.5f)).hit, 0u);
    EXPECT_EQ(Both(CkvrVector3(0.5f, 3, 0.5f), CkvrVector3(7.5f, 3, 8.5f), HIT_SIDE_BOTH).hit, 1u);
}

TEST_F(HitModelTest, TheNearestOfHitsInTwoBlocksWinsAndTheFirstStopsWithoutAPoint)
{
    // Falling towards the wall: the floor at z = 5.5 first, the wall's part
    // below the floor at z = 8 later, in another block.
    const CkvrVector3 a(4.2f, 1, 1);
    const CkvrVector3 b(4.2f, -1, 10);
    Result r = Both(a, b, HIT_SIDE_BOTH);
    ASSERT_EQ(r.hit, 1u);
    EXPECT_NEAR(r.point.z, 5.5f, 1e-5f);
    EXPECT_EQ(r.range, 0u);
    r = Both(b, a, HIT_SIDE_BOTH);
    ASSERT_EQ(r.hit, 1u);
    EXPECT_NEAR(r.point.z, 8.0f, 1e-5f);
    EXPECT_EQ(r.range, 1u);
    // Without a point the first hit found answers at once.
    uint32_t triangle = 9999;
    EXPECT_EQ(HitSegmentModelGrid(&a, &b, &mesh, HIT_SIDE_BOTH, nullptr, nullptr, &triangle, nullptr), 1u);
    EXPECT_NE(triangle, 9999u);
    EXPECT_EQ(HitSegmentModel(&a, &b, &mesh, HIT_SIDE_BOTH, nullptr, nullptr, nullptr, nullptr), 1u);
    // The range queries see only their material.
    CkvrVector3 point;
    EXPECT_EQ(HitSegmentModelRange(&a, &b, 1, stage, HIT_SIDE_BOTH, &point, nullptr, nullptr), 1u);
    EXPECT_NEAR(point.z, 8.0f, 1e-5f);
    EXPECT_EQ(HitSegmentBlockGrid(&a, &b, 1, stage, HIT_SIDE_BOTH, &point, nullptr, nullptr), 1u);
    EXPECT_NEAR(point.z, 8.0f, 1e-5f);
    EXPECT_EQ(HitSegmentBlockGrid(&a, &b, 0, stage, HIT_SIDE_BOTH, &point, nullptr, nullptr), 1u);
    EXPECT_NEAR(point.z, 5.5f, 1e-5f);
    EXPECT_EQ(HitSegmentModelRange(&a, &b, 2, stage, HIT_SIDE_BOTH, &point, nullptr, nullptr), 0u);
    EXPECT_EQ(HitSegmentBlockGrid(&a, &b, 7, stage, HIT_SIDE_BOTH, &point, nullptr, nullptr), 0u);
}

TEST_F(HitModelTest, SpheresAndBoxesTouchTheFloorWithinTheirFirstBestDistance)
{
    CkvrVector3 point;
    CkvrVector3 normal;
    uint32_t range = 9;
    // The sphere's leading point is r above its centre; hits farther than
    // r * sqrt(2) from it are not taken, even though the sphere overlaps.
    const CkvrVector3 low(3.5f, 0.3f, 3.5f);
    EXPECT_EQ(HitSphereModel(&low, 1.0f, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 1u);
    EXPECT_NEAR(point.y, 0.0f, 1e-6f);
    EXPECT_EQ(range, 0u);
    EXPECT_EQ(HitSphereModelGrid(&low, 1.0f, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 1u);
    EXPECT_EQ(HitSphereModelRange(&low, 1.0f, 0, stage, HIT_SIDE_FRONT, &point, nullptr, nullptr), 1u);
    EXPECT_EQ(HitSphereBlockGrid(&low, 1.0f, 0, stage, HIT_SIDE_FRONT, &point, nullptr, nullptr), 1u);
    const CkvrVector3 high(3.5f, 0.6f, 3.5f);
    EXPECT_EQ(HitSphereModel(&high, 1.0f, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 0u);
    EXPECT_EQ(HitSphereModelGrid(&high, 1.0f, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 0u);
    const CkvrVector3 away(3.5f, 3.0f, 3.5f);
    EXPECT_EQ(HitSphereModelGrid(&away, 1.0f, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 0u);

    const float box[6] = {5.5f, 0.2f, 5.5f, 0.5f, 0.5f, 0.5f};
    EXPECT_EQ(HitBoxModel(box, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 1u);
    EXPECT_NEAR(point.y, 0.0f, 1e-6f);
    EXPECT_EQ(HitBoxModelGrid(box, &mesh, HIT_SIDE_FRONT, &point, &normal, nullptr, &range), 1u);
    EXPECT_EQ(HitBoxModelRange(box, 0, stage, HIT_SIDE_FRONT, &point, nullptr, nullptr), 1u);
    EXPECT_EQ(HitBoxBlockGrid(box, 0, stage, HIT_SIDE_FRONT, &point, nullptr, nullptr), 1u);
    EXPECT_EQ(HitBoxBlockGrid(box, 1, stage, HIT_SIDE_FRONT, &point, nullptr, nullptr), 0u);
}

TEST_F(HitModelTest, NotANumberAndNullArgumentsHitNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const CkvrVector3 bad(nan, 1, 4);
    const CkvrVector3 end(4, -1, 4);
    Result r;
    EXPECT_EQ(Segment(bad, end, false).hit, 0u);
    EXPECT_EQ(Segment(bad, end, true).hit, 0u);
    EXPECT_EQ(Segment(end, bad, true).hit, 0u);
    EXPECT_EQ(HitSphereModelGrid(&bad, 1.0f, &mesh, HIT_SIDE_BOTH, &r.point, nullptr, nullptr, nullptr), 0u);
    const CkvrVector3 centre(4, 0.2f, 4);
    EXPECT_EQ(HitSphereModelGrid(&centre, nan, &mesh, HIT_SIDE_BOTH, &r.point, nullptr, nullptr, nullptr), 0u);
    const float box[6] = {4, 0.2f, 4, nan, 0.5f, 0.5f};
    EXPECT_EQ(HitBoxModelGrid(box, &mesh, HIT_SIDE_BOTH, &r.point, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitBoxBlockGrid(box, 0, stage, HIT_SIDE_BOTH, &r.point, nullptr, nullptr), 0u);

    EXPECT_EQ(HitSegmentModel(nullptr, &end, &mesh, 0, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitSegmentModelGrid(&centre, &end, nullptr, 0, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitBoxModel(nullptr, &mesh, 0, nullptr, nullptr, nullptr, nullptr), 0u);
    EXPECT_EQ(HitSphereBlockGrid(&centre, 1.0f, 0, nullptr, 0, nullptr, nullptr, nullptr), 0u);
}

TEST_F(HitModelTest, CellsClampIntoTheGridAndNeverWrap)
{
    uint32_t x = 99;
    uint32_t y = 99;
    uint32_t z = 99;
    const CkvrVector3 inside(4.5f, 0.5f, 7.9f);
    ASSERT_EQ(stage->HitGridCellIndex(&inside, &x, &y, &z), 1u);
    EXPECT_EQ(x, 2u);
    EXPECT_EQ(y, 0u);
    EXPECT_EQ(z, 3u);
    // 65536 cells out would wrap to a cell in the middle in 16 bits.
    const KVRMODELGRID* grid = stage->GetGrid();
    const float far = grid->centre.x - grid->halfSize.x + 65536.0f / grid->inverseCellSize.x * 1.0f + 1.0f;
    const CkvrVector3 beyond(far, 1e9f, -1e9f);
    ASSERT_EQ(stage->HitGridCellIndex(&beyond, &x, &y, &z), 1u);
    EXPECT_EQ(x, 3u);
    EXPECT_EQ(y, 1u);
    EXPECT_EQ(z, 0u);
    const float inf = std::numeric_limits<float>::infinity();
    const CkvrVector3 infinite(inf, -inf, inf);
    ASSERT_EQ(stage->HitGridCellIndex(&infinite, &x, &y, &z), 1u);
    EXPECT_EQ(x, 3u);
    EXPECT_EQ(y, 0u);
    EXPECT_EQ(z, 3u);
    const CkvrVector3 nan(0, std::numeric_limits<float>::quiet_NaN(), 0);
    EXPECT_EQ(stage->HitGridCellIndex(&nan, &x, &y, &z), 0u);
    EXPECT_EQ(stage->HitGridCellIndex(nullptr, &x, &y, &z), 0u);

    EXPECT_NE(stage->GetCellBlock(3, 1, 3), nullptr);
    EXPECT_EQ(stage->GetCellBlock(3, 1, 3), stage->GetBlocks()->GetItem(31));
    EXPECT_EQ(stage->GetCellBlock(4, 0, 0), nullptr);
    EXPECT_EQ(stage->GetCellBlock(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), nullptr);
    CModelObject bare;
    EXPECT_EQ(bare.GetCellBlock(0, 0, 0), nullptr);
}

TEST_F(HitModelTest, AnObjectWithoutAGridIsSearchedWhole)
{
    CModelObject* plain = ModelSamples::GridObject("Plain", 2, KVRVERTEX_POSITION);
    mesh.GetObjectList()->Add(plain);
    // The plain grid lies at z = 0.5 over x, y in [0, 2], away from the stage.
    const CkvrVector3 a(1.2f, 1.7f, -3);
    const CkvrVector3 b(1.2f, 1.7f, 3);
    Result r = Segment(a, b, true, HIT_SIDE_BOTH);
    ASSERT_EQ(r.hit, 1u);
    EXPECT_NEAR(r.point.z, 0.5f, 1e-6f);
    CkvrVector3 point;
    EXPECT_EQ(HitSegmentBlockGrid(&a, &b, 0, plain, HIT_SIDE_BOTH, &point, nullptr, nullptr), 1u);
}

TEST(ModelBoundsTest, ObjectsAndBonesWithoutVerticesGetEmptyBoundsAtTheOrigin)
{
    CModelObject empty;
    CkvrVector3 centre(5, 5, 5);
    CkvrVector3 half(5, 5, 5);
    float radius = 5.0f;
    ASSERT_EQ(empty.CalcBounds(&centre, &half), 1u);
    EXPECT_EQ(centre.LengthSq() + half.LengthSq(), 0.0f);
    ASSERT_EQ(empty.CalcRadius(&centre, &radius), 1u);
    EXPECT_EQ(radius, 0.0f);
    EXPECT_EQ(empty.CalcBounds(nullptr, &half), 0u);
    EXPECT_EQ(empty.CreateBlocks(2, 2, 2), 1u);

    // An empty object adds nothing to its mesh's volumes.
    CMesh mesh;
    mesh.GetObjectList()->Add(new CModelObject());
    mesh.GetObjectList()->Add(ModelSamples::GridObject("G", 2, KVRVERTEX_POSITION));
    ASSERT_EQ(mesh.GetBoundingBox(&centre, &half), 1u);
    EXPECT_FLOAT_EQ(centre.x, 1.0f);
    EXPECT_FLOAT_EQ(half.x, 1.0f);
    ASSERT_EQ(mesh.GetBoundingSphere(&centre, &radius), 1u);
    EXPECT_FLOAT_EQ(centre.y, 1.0f);

    // Weights naming vertices that do not exist: a zero sphere, no read.
    CModelBone* bone = ModelSamples::AddBone(&mesh, "Loose", nullptr);
    const tag_KVRBONEWEIGHT stray[2] = {{0, 3, 1.0f}, {9, 0, 1.0f}};
    bone->GetWeights()->SetArray(stray, 2);
    float sphere[4] = {1, 1, 1, 1};
    ASSERT_EQ(mesh.GetBoneSphere(sphere, 1), 1u);
    for (float v : sphere)
        EXPECT_EQ(v, 0.0f);
    ASSERT_EQ(mesh.GetBoneBox(&centre, &half, 0), 1u);
    EXPECT_EQ(centre.LengthSq() + half.LengthSq(), 0.0f);
}
}
