#include "engine/core/CList.h"
#include "engine/core/CMemoryList.h"
#include "engine/core/CResourceList.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
class Named : public CResourceBase
{
public:
    explicit Named(const char* name) : CResourceBase(name) {}
};

// Counts constructions and destructions. Its constructor leaves value
// alone, so value shows what the slot held when the object was built.
struct Pooled
{
    static int constructed;
    static int destroyed;
    int value;

    Pooled() { ++constructed; }
    ~Pooled() { ++destroyed; }
};
int Pooled::constructed = 0;
int Pooled::destroyed = 0;

std::vector<int> Values(const CList<int>& list)
{
    std::vector<int> v;
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        v.push_back(*list.GetAt(i));
    return v;
}
}

TEST(CList, InsertClampsAndRemoveKeepsOrder)
{
    CList<int> list;
    EXPECT_EQ(list.Add(1), 1u);
    EXPECT_EQ(list.Add(3), 1u);
    EXPECT_EQ(list.Insert(2, 1), 1u);
    EXPECT_EQ(list.Insert(4, 100), 1u); // past the end appends
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list.RemoveAt(4), 0u);
    EXPECT_EQ(list.RemoveAt(0), 1u);
    EXPECT_EQ(Values(list), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(*list.GetItem(2), 4);
    EXPECT_EQ(list.GetItem(3), nullptr);
    EXPECT_EQ(list.GetAt(3), nullptr);
}

TEST(CList, RemovingTheOnlyElementLeavesAnEmptyBlock)
{
    CList<int> list;
    list.Add(5);
    EXPECT_EQ(list.RemoveAt(0), 1u);
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_NE(list.GetData(), nullptr);
    EXPECT_EQ(list.Add(6), 1u);
    EXPECT_EQ(Values(list), (std::vector<int>{6}));
}

TEST(CList, SetAtGrowsWithZeroes)
{
    CList<int> list;
    list.Add(1);
    EXPECT_EQ(list.SetAt(2, 1), 1u); // index = count appends
    EXPECT_EQ(list.GetCount(), 2u);
    EXPECT_EQ(list.SetAt(9, 4), 1u); // count + 2: two zeroes skipped
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 0, 0, 9}));
    EXPECT_EQ(list.SetAt(7, 0), 1u);
    EXPECT_EQ(*list.GetAt(0), 7);
    // An element that lives in the list itself survives the regrowth.
    EXPECT_EQ(list.SetAt(*list.GetAt(4), 6), 1u);
    EXPECT_EQ(*list.GetAt(6), 9);
}

TEST(CList, SetCountAndSetArray)
{
    CList<int> list("numbers", 3);
    EXPECT_STREQ(list.GetName(), "numbers");
    EXPECT_EQ(Values(list), (std::vector<int>{0, 0, 0}));
    const int source[4] = {4, 5, 6, 7};
    EXPECT_EQ(list.SetArray(source, 4), 1u);
    EXPECT_EQ(list.SetCount(2), 1u);
    EXPECT_EQ(Values(list), (std::vector<int>{4, 5}));
    EXPECT_EQ(list.SetCount(3), 1u);
    EXPECT_EQ(Values(list), (std::vector<int>{4, 5, 0}));
    EXPECT_EQ(list.SetCount(0), 1u);
    EXPECT_EQ(list.GetData(), nullptr);
    EXPECT_EQ(list.SetArray(nullptr, 2), 1u);
    EXPECT_EQ(Values(list), (std::vector<int>{0, 0}));
    const CList<int> copy(list);
    EXPECT_EQ(Values(copy), (std::vector<int>{0, 0}));
    EXPECT_NE(copy.GetData(), list.GetData());
    EXPECT_STREQ(list.GetClassName(), "CList");
    list.Release();
    EXPECT_EQ(list.GetCount(), 0u);
    EXPECT_EQ(list.GetName(), nullptr);
}

TEST(CList, DeletingThroughTheBaseFreesTheArray)
{
    CResourceBase* list = new CList<int>("owned", 8);
    EXPECT_STREQ(list->GetClassName(), "CList");
    delete list; // LeakSanitizer checks the array went with it
}

TEST(CResourceList, SearchesByNameAndFileName)
{
    Named a("Loading.gpk"), b("Pack\\Loading.gpk"), c("loading.gpk"), d("Loading.gpk");
    CResourceList<Named*> list;
    list.Add(&c);
    list.Add(&a);
    list.Add(&b);
    list.Add(&d);
    EXPECT_STREQ(list.GetClassName(), "CResourceList");
    EXPECT_EQ(list.FindByName("Loading.gpk"), &a); // first of two equal names
    EXPECT_EQ(list.FindByName("LOADING.GPK"), nullptr);
    EXPECT_EQ(list.FindByName(nullptr), nullptr);
    EXPECT_EQ(list.IndexOfName("Loading.gpk"), 1u);
    EXPECT_EQ(list.IndexOfName("missing"), 0xFFFFFFFFu);
    EXPECT_EQ(list.IndexOfName(nullptr), 0u);
    EXPECT_EQ(list.FindByFileName("Data\\Loading.gpk"), &a);
    EXPECT_EQ(list.FindByFileName(nullptr), nullptr);
    EXPECT_EQ(list.GetItem(2), &b);
    EXPECT_EQ(list.GetItem(4), nullptr);

    CResourceList<Named*> other;
    other.Add(&b);
    other.Add(&a);
    EXPECT_EQ(other.FindByFileName("Data\\Loading.gpk"), &b);
    CResourceList<Named*> lower;
    lower.Add(&c);
    EXPECT_EQ(lower.FindByFileName("Data\\Loading.gpk"), nullptr);
}

TEST(CResourceList, ShiftJisTrailByteIsNotASeparator)
{
    // 0x95 0x5C is one double-byte character whose second byte is '\'.
    Named a("dir\\\x95\x5C" "a.bmp");
    CResourceList<Named*> list;
    list.Add(&a);
    EXPECT_EQ(list.FindByFileName("\x95\x5C" "a.bmp"), &a);
    EXPECT_EQ(list.FindByFileName("a.bmp"), nullptr);
}

TEST(CMemoryList, AllocFreeReuseAndFirstFreeHint)
{
    Pooled::constructed = Pooled::destroyed = 0;
    CMemoryList<Pooled> pool;
    ASSERT_EQ(pool.SetCount(3), 1u);
    Pooled* s0 = pool.Alloc();
    Pooled* s1 = pool.Alloc();
    Pooled* s2 = pool.Alloc();
    EXPECT_EQ(s0, pool.GetData());
    EXPECT_EQ(s1, pool.GetData() + 1);
    EXPECT_EQ(s2, pool.GetData() + 2);
    EXPECT_EQ(pool.Alloc(), nullptr);
    EXPECT_EQ(pool.GetFirstFree(), 3u);
    EXPECT_EQ(pool.GetUsedCount(), 3u);

    s1->value = 1234;
    EXPECT_EQ(pool.Free(s1), 1u);
    EXPECT_EQ(Pooled::destroyed, 1);
    EXPECT_EQ(pool.GetFirstFree(), 1u);
    Pooled* again = pool.Alloc();
    EXPECT_EQ(again, s1);
    // The reused slot started zero-filled.
    EXPECT_EQ(again->value, 0);
    EXPECT_EQ(pool.GetFirstFree(), 3u);

    Pooled outside;
    EXPECT_EQ(pool.Free(&outside), 0u);
    EXPECT_EQ(pool.Free(nullptr), 0u);
    EXPECT_EQ(pool.Free(s2), 1u);
    EXPECT_EQ(pool.Free(s2), 0u); // already free: not destroyed twice
    EXPECT_EQ(Pooled::destroyed, 2);
    EXPECT_EQ(pool.GetUsedCount(), 2u);
    EXPECT_STREQ(pool.GetClassName(), "CMemoryList");
}

TEST(CMemoryList, ClearDestroysEachLiveObjectOnce)
{
    Pooled::constructed = Pooled::destroyed = 0;
    CMemoryList<Pooled> pool;
    pool.SetCount(4);
    for (int i = 0; i < 4; ++i)
        pool.Alloc();
    EXPECT_EQ(pool.Clear(), 1u);
    EXPECT_EQ(Pooled::destroyed, 4);
    EXPECT_EQ(pool.GetUsedCount(), 0u);
    EXPECT_EQ(pool.Alloc(), pool.GetData());
    pool.Release();
    EXPECT_EQ(Pooled::destroyed, 5);
    EXPECT_EQ(pool.Alloc(), nullptr);
}

TEST(CMemoryList, DeletingAPoolDestroysLiveObjects)
{
    Pooled::constructed = Pooled::destroyed = 0;
    {
        CMemoryList<Pooled> pool;
        pool.SetCount(2);
        pool.Alloc();
    }
    EXPECT_EQ(Pooled::destroyed, 1);
}

TEST(CMemoryList, ShrinkingDestroysObjectsInRemovedSlots)
{
    Pooled::constructed = Pooled::destroyed = 0;
    CMemoryList<Pooled> pool;
    pool.SetCount(3);
    pool.Alloc();
    pool.Alloc();
    pool.Alloc();
    EXPECT_EQ(pool.SetCount(1), 1u);
    EXPECT_EQ(Pooled::destroyed, 2);
    EXPECT_EQ(pool.GetUsedCount(), 1u);
    EXPECT_EQ(pool.Alloc(), nullptr);
    EXPECT_EQ(pool.SetCount(2), 1u);
    EXPECT_EQ(pool.Alloc(), pool.GetData() + 1);
}
