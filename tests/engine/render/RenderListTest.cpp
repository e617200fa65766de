#include "engine/platform/CGraphics.h"
#include "engine/render/CCamera.h"
#include "engine/render/CRenderList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace
{
// An object that notes the order it is drawn in and the depth-write state
// it sees.
class MarkObject : public CObjectBase
{
public:
    MarkObject(int id, std::vector<int>* log, CGraphics* graphics) : m_id(id), m_log(log), m_graphics(graphics) {}

    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t argument) override
    {
        m_log->push_back(m_id);
        lastArgument = argument;
        zWriteSeen = m_graphics->GetStateCache()->zWriteEnable;
        return 1;
    }

    void Place(float z, float radius, int32_t priority = 0, uint32_t flag = 1)
    {
        const CkvrVector3 position(0.0f, 0.0f, z);
        SetPosition(&position);
        SetRadius(radius);
        SetPriority(priority);
        SetUseRenderList(flag);
    }

    uintptr_t lastArgument = 0;
    uint32_t zWriteSeen = 99;

private:
    int m_id;
    std::vector<int>* m_log;
    CGraphics* m_graphics;
};

// A graphics object without a device is enough for the list's order: it
// carries the current camera and the state cache.
class RenderListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // From z = -10 toward the origin: view z = world z + 10.
        const float eye[3] = {0, 0, -10};
        const float target[3] = {0, 0, 0};
        const float up[3] = {0, 1, 0};
        camera.SetLookAt(eye, target, up);
        graphics.SetCamera(&camera);
    }

    MarkObject* Make(int id)
    {
        objects.push_back(std::make_unique<MarkObject>(id, &log, &graphics));
        return objects.back().get();
    }

    CGraphics graphics;
    CCamera camera;
    std::vector<int> log;
    std::vector<std::unique_ptr<MarkObject>> objects;
};

TEST_F(RenderListTest, ConstructionAndNames)
{
    CRenderList list("list", 16, &graphics);
    EXPECT_STREQ(list.GetClassName(), "CRenderList");
    EXPECT_EQ(list.GetCapacity(), 16u);
    EXPECT_EQ(list.GetDrawLimit(), 16u);
    EXPECT_EQ(list.GetQueuedCount(), 0u);
    EXPECT_EQ(list.GetFilter(), nullptr);

    list.SetDrawLimit(3);
    list.Add(Make(1), 0);
    CRenderList copy(list);
    EXPECT_EQ(copy.GetDrawLimit(), 3u);
    EXPECT_EQ(copy.GetGraphics(), &graphics);
    EXPECT_EQ(copy.GetQueuedCount(), 0u);
    EXPECT_EQ(copy.GetCapacity(), 16u);
}

TEST_F(RenderListTest, ObjectsWhollyBehindTheCameraAreNotQueued)
{
    CRenderList list("list", 8, &graphics);
    MarkObject* reaching = Make(1);
    reaching->Place(-15.0f, 6.0f); // view z -5, key 1
    MarkObject* behind = Make(2);
    behind->Place(-15.0f, 4.0f);   // key -1
    EXPECT_EQ(list.Add(reaching, 7), 1);
    EXPECT_EQ(list.Add(behind, 8), 1);
    ASSERT_EQ(list.GetQueuedCount(), 1u);
    EXPECT_FLOAT_EQ(reaching->GetViewPosition()->z, -5.0f);
    EXPECT_FLOAT_EQ(behind->GetViewPosition()->z, -5.0f);

    list.Draw();
    EXPECT_EQ(log, std::vector<int>{1});
    EXPECT_EQ(reaching->lastArgument, 7u);
    EXPECT_EQ(list.Add(nullptr, 0), 1);
    EXPECT_EQ(list.GetQueuedCount(), 1u);
}

TEST_F(RenderListTest, CapacityDropsAndTheDrawLimitCutsAfterSorting)
{
    CRenderList list("list", 2, &graphics);
    MarkObject* near = Make(1);
    near->Place(0.0f, 0.0f);
    MarkObject* far = Make(2);
    far->Place(20.0f, 0.0f);
    MarkObject* extra = Make(3);
    extra->Place(50.0f, 0.0f);
    list.Add(near, 0);
    list.Add(far, 0);
    EXPECT_EQ(list.Add(extra, 0), 1);
    EXPECT_EQ(list.GetQueuedCount(), 2u);

    list.SetDrawLimit(1);
    list.Draw();
    EXPECT_EQ(log, std::vector<int>{2});

    list.Clear();
    EXPECT_EQ(list.GetQueuedCount(), 0u);
    list.SetDrawLimit(0);
    list.Add(near, 0);
    list.Draw();
    EXPECT_EQ(log, std::vector<int>{2});
}

TEST_F(RenderListTest, FlagThenPriorityThenFarToNear)
{
    CRenderList list("list", 8, &graphics);
    Make(1)->Place(0.0f, 10.0f);              // flagged, key 20
    Make(2)->Place(0.0f, 0.0f);               // flagged, key 10
    Make(3)->Place(-9.0f, 0.0f, 1);           // flagged, priority 1, key 1
    Make(4)->Place(100.0f, 0.0f, 5, 0);       // unflagged, high priority, far
    Make(5)->Place(-9.0f, 0.0f, -3);          // flagged, priority -3
    for (auto& object : objects)
        list.Add(object.get(), 0);
    list.Draw();
    EXPECT_EQ(log, (std::vector<int>{3, 1, 2, 5, 4}));
}

TEST_F(RenderListTest, TiesKeepTheOrderOfAdding)
{
    CRenderList list("list", 64, &graphics);
    std::vector<int> expected;
    for (int i = 0; i < 40; ++i)
    {
        MarkObject* object = Make(i);
        object->Place(i % 2 == 0 ? 5.0f : 1.0f, 0.0f);
        list.Add(object, 0);
    }
    for (int i = 0; i < 40; i += 2)
        expected.push_back(i);
    for (int i = 1; i < 40; i += 2)
        expected.push_back(i);
    list.Draw();
    EXPECT_EQ(log, expected);
}

TEST_F(RenderListTest, ExtremeKeysSortAsNumbers)
{
    const float infinity = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    CRenderList list("list", 8, &graphics);
    // View z = world z + 10; keys 0, 1e-30, 3, 1e30, infinity, NaN.
    Make(1)->Place(-10.0f, 0.0f);
    Make(2)->Place(-10.0f, 1e-30f);
    Make(3)->Place(-7.0f, 0.0f);
    Make(4)->Place(-10.0f, 1e30f);
    Make(5)->Place(-10.0f, infinity);
    Make(6)->Place(nan, 0.0f);
    Make(7)->Place(-10.0f, -0.0f); // key -0 + 0 ties with 0
    for (auto& object : objects)
        list.Add(object.get(), 0);
    ASSERT_EQ(list.GetQueuedCount(), 7u);
    list.Draw();
    EXPECT_EQ(log, (std::vector<int>{5, 4, 3, 2, 1, 7, 6}));
}

TEST_F(RenderListTest, DepthWritesAreOffWhileDrawing)
{
    CRenderList list("list", 4, &graphics);
    graphics.SetZWriteEnable(1);
    graphics.SetBlendMode(4);
    MarkObject* object = Make(1);
    list.Add(object, 0);
    list.Draw();
    EXPECT_EQ(object->zWriteSeen, 0u);
    EXPECT_EQ(graphics.GetStateCache()->zWriteEnable, 1u);
    EXPECT_EQ(graphics.GetStateCache()->blendMode, 1u);
}

TEST_F(RenderListTest, NanKeysSortLastAndDeterministically)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    CRenderList list("list", 64, &graphics);
    // More objects than std::sort leaves to its insertion sort, so that
    // its partitioning runs over the NaN keys spread through the numbers.
    for (int i = 0; i < 48; ++i)
    {
        MarkObject* object = Make(i);
        object->Place(i % 3 == 0 ? nan : static_cast<float>((i * 37) % 50), 0.0f);
        list.Add(object, 0);
    }
    ASSERT_EQ(list.GetQueuedCount(), 48u);
    list.Draw();
    ASSERT_EQ(log.size(), 48u);
    bool seenNan = false;
    float previous = std::numeric_limits<float>::infinity();
    for (uint32_t i = 0; i < list.GetQueuedCount(); ++i)
    {
        const float key = list.GetQueued(i)->GetViewPosition()->z;
        if (std::isnan(key))
        {
            seenNan = true;
            continue;
        }
        EXPECT_FALSE(seenNan) << "a number after a NaN key at " << i;
        EXPECT_LE(key, previous);
        previous = key;
    }
    EXPECT_TRUE(seenNan);

    // The order is strict: a NaN object neither precedes itself nor another.
    MarkObject* a = Make(100);
    a->Place(nan, 0.0f);
    MarkObject* b = Make(101);
    b->Place(nan, 0.0f);
    list.Clear();
    list.Add(a, 0);
    list.Add(b, 0);
    EXPECT_FALSE(CRenderList::DrawsBefore(a, a));
    EXPECT_FALSE(CRenderList::DrawsBefore(a, b));
    EXPECT_FALSE(CRenderList::DrawsBefore(b, a));
}

TEST_F(RenderListTest, WithoutACameraObjectsAreQueuedAtZeroDepth)
{
    graphics.SetCamera(nullptr);
    CRenderList list("list", 4, &graphics);
    MarkObject* small = Make(1);
    small->Place(500.0f, 1.0f);
    MarkObject* large = Make(2);
    large->Place(-500.0f, 3.0f);
    EXPECT_EQ(list.Add(small, 0), 1);
    EXPECT_EQ(list.Add(large, 0), 1);
    EXPECT_EQ(small->GetViewPosition()->z, 0.0f);
    list.Draw();
    EXPECT_EQ(log, (std::vector<int>{2, 1}));

    // Nor does a list without a graphics object fail.
    CRenderList bare("bare", 2);
    EXPECT_EQ(bare.Add(small, 0), 1);
    EXPECT_EQ(bare.Draw(), 1);
}

TEST_F(RenderListTest, RenderOptionsAreIgnoredWithoutAFilter)
{
    CRenderList list("list", 4, &graphics);
    MarkObject* object = Make(1);
    object->SetRenderOption(3);
    list.Clear();
    list.Add(object, 0);
    EXPECT_EQ(list.Draw(), 1);
    EXPECT_EQ(log, std::vector<int>{1});
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), nullptr);
}
}
