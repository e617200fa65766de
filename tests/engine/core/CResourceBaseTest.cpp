#include "engine/core/CResourceBase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace
{
std::vector<const char*> g_releaseOrder;

class CLeaf : public CResourceBase
{
public:
    using CResourceBase::CResourceBase;
    uint32_t Release() override
    {
        g_releaseOrder.push_back("CLeaf");
        return CResourceBase::Release();
    }
    const char* GetClassName() const override { return "CLeaf"; }
};

class CDerivedLeaf : public CLeaf
{
public:
    uint32_t Release() override
    {
        g_releaseOrder.push_back("CDerivedLeaf");
        return CLeaf::Release();
    }
};
}

TEST(CResourceBase, NameLifecycle)
{
    CResourceBase named("Stage1");
    ASSERT_NE(named.GetName(), nullptr);
    EXPECT_STREQ(named.GetName(), "Stage1");
    EXPECT_EQ(named.GetSize(), 7);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(named.GetName()) % 16, 0u);

    named.SetName(nullptr);
    EXPECT_EQ(named.GetName(), nullptr);
    EXPECT_EQ(named.GetSize(), 7);

    named.SetName("abc");
    EXPECT_EQ(named.Release(), 1u);
    EXPECT_EQ(named.GetName(), nullptr);
    EXPECT_EQ(named.Release(), 1u);
}

TEST(CResourceBase, BufferIsZeroFilled)
{
    CResourceBase buffer(64);
    ASSERT_NE(buffer.GetName(), nullptr);
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(buffer.GetName()[i], 0);
    buffer.AllocBuffer(0);
    EXPECT_EQ(buffer.GetName(), nullptr);
    EXPECT_EQ(buffer.GetSize(), 64);
    buffer.Release();
}

TEST(CResourceBase, CopiesOwnOrShareTheNameBlock)
{
    CResourceBase source("Hero");
    CResourceBase duplicate(source, 1);
    CResourceBase shared(source, 0);
    CResourceBase copied(source);

    EXPECT_NE(duplicate.GetName(), source.GetName());
    EXPECT_STREQ(duplicate.GetName(), "Hero");
    EXPECT_EQ(shared.GetName(), source.GetName());
    EXPECT_EQ(shared.GetSize(), 0);
    EXPECT_NE(copied.GetName(), source.GetName());
    EXPECT_STREQ(copied.GetName(), "Hero");

    // The shared block outlives the source's release and is freed once.
    source.Release();
    EXPECT_STREQ(shared.GetName(), "Hero");
    shared.Release();
    duplicate.Release();
    copied.Release();
}

TEST(CResourceBase, AssignmentSharesTheBlock)
{
    CResourceBase a("first");
    CResourceBase b("second");
    b = a;
    EXPECT_EQ(b.GetName(), a.GetName());
    EXPECT_EQ(b.GetSize(), 6);
    a.Release();
    EXPECT_STREQ(b.GetName(), "first");
    b.Release();
}

TEST(CResourceBase, ReleaseChainAndClassNames)
{
    g_releaseOrder.clear();
    CResourceBase* object = new CDerivedLeaf();
    object->SetName("x");
    EXPECT_STREQ(object->GetClassName(), "CLeaf");
    object->Release();
    ASSERT_EQ(g_releaseOrder.size(), 2u);
    EXPECT_STREQ(g_releaseOrder[0], "CDerivedLeaf");
    EXPECT_STREQ(g_releaseOrder[1], "CLeaf");
    EXPECT_EQ(object->GetName(), nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object) % 16, 0u);
    delete object;

    CResourceBase base;
    EXPECT_STREQ(base.GetClassName(), "CResourceBase");
    EXPECT_EQ(base.GetFlag(), 0);
}
