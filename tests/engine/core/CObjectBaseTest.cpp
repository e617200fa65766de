#include "engine/core/CObjectBase.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class TestObject : public CObjectBase
{
public:
    TestObject() = default;
    explicit TestObject(const char* name) : CObjectBase(name) {}
    TestObject(const TestObject& other, int duplicate) : CObjectBase(other, duplicate) {}
    TestObject& operator=(const TestObject& other) = default;

    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t argument) override { return argument != 0; }
    int Render(uintptr_t) override { return 1; }
};

void ExpectRows(const CkvrMatrix& world, const float (&rows)[16])
{
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(world.m[i], rows[i]) << "element " << i;
}
}

TEST(CObjectBase, StartsNeutral)
{
    TestObject object;
    EXPECT_EQ(object.GetName(), nullptr);
    EXPECT_EQ(object.GetScale()->x, 1.0f);
    EXPECT_EQ(object.GetColor()->w, 1.0f);
    EXPECT_EQ(object.GetBlendMode(), 1u);
    EXPECT_EQ(object.GetRenderOption(), 0);
    EXPECT_EQ(object.GetUseRenderList(), 0u);
    EXPECT_STREQ(object.GetClassName(), "CObjectBase");
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ExpectRows(*object.GetWorldMatrix(), identity);
    object.UpdateWorldMatrix();
    ExpectRows(*object.GetWorldMatrix(), identity);
}

TEST(CObjectBase, WorldMatrixScalesThenRotatesThenMoves)
{
    TestObject object;
    const CkvrVector3 scale(2, 3, 4);
    const CkvrVector3 position(1, 2, 3);
    *object.GetScale() = scale;
    object.SetPosition(&position);
    object.UpdateWorldMatrix();
    const float rows[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1};
    ExpectRows(*object.GetWorldMatrix(), rows);

    // A quarter turn about y: (1, 0, 0) scaled to (2, 0, 0) turns to
    // (0, 0, -2), then moves by the position.
    const CkvrVector3 rotation(0, 90, 0);
    object.SetRotation(&rotation);
    object.SetRotation(nullptr);
    object.SetPosition(nullptr);
    object.UpdateWorldMatrix();
    const CkvrVector3 placed = CkvrVector3(1, 0, 0).GetTransformCoord(*object.GetWorldMatrix());
    EXPECT_NEAR(placed.x, 1.0f, 1e-5f);
    EXPECT_NEAR(placed.y, 2.0f, 1e-5f);
    EXPECT_NEAR(placed.z, 1.0f, 1e-5f);
}

TEST(CObjectBase, CopiesShareOrDuplicateTheName)
{
    auto source = std::make_unique<TestObject>("Sword");
    source->SetBlendMode(4);
    source->SetRenderOption(-1);
    source->SetRadius(2.5f);
    const CkvrVector3 position(5, 6, 7);
    source->SetPosition(&position);

    {
        TestObject shared(*source, 0);
        EXPECT_EQ(shared.GetName(), source->GetName());
        EXPECT_EQ(shared.GetBlendMode(), 4u);
        EXPECT_EQ(shared.GetRenderOption(), -1);
        EXPECT_EQ(shared.GetRadius(), 2.5f);
        EXPECT_EQ(shared.GetPosition()->z, 7.0f);

        TestObject duplicate(*source, 1);
        EXPECT_NE(duplicate.GetName(), source->GetName());
        EXPECT_STREQ(duplicate.GetName(), "Sword");

        // Both holders release the shared block; it is freed once, by the
        // last (the sanitizers catch a second free).
        shared.Release();
    }
    EXPECT_STREQ(source->GetName(), "Sword");

    TestObject assigned("Other");
    assigned = *source;
    EXPECT_EQ(assigned.GetName(), source->GetName());
    EXPECT_EQ(assigned.GetPosition()->x, 5.0f);
    source->Release();
    source.reset();
    EXPECT_STREQ(assigned.GetName(), "Sword");
    EXPECT_EQ(assigned.Update(0), 0);
}
