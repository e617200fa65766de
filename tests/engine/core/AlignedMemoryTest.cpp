#include "engine/core/AlignedMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

TEST(AlignedMemory, ManyBlocksAreAlignedAndZeroFilled)
{
    std::vector<unsigned char*> blocks;
    for (size_t i = 0; i < 10000; ++i)
    {
        const size_t size = (i * 37) % 513;
        auto* block = static_cast<unsigned char*>(AlignedAlloc(size, 16));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
        for (size_t b = 0; b < size; ++b)
            ASSERT_EQ(block[b], 0) << "block " << i << " byte " << b;
        // Dirty it so that a reused heap chunk would show through.
        std::memset(block, 0xAB, size);
        blocks.push_back(block);
    }
    for (unsigned char* block : blocks)
        AlignedFree(block);
}

TEST(AlignedMemory, ZeroSizeGivesAFreeableBlock)
{
    void* block = AlignedAlloc(0, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    AlignedFree(block);
    AlignedFree(nullptr);
}

TEST(AlignedMemory, OverflowingSizeFailsCleanly)
{
    EXPECT_EQ(AlignedAlloc(std::numeric_limits<size_t>::max() - 4, 16), nullptr);
    EXPECT_EQ(AlignedAlloc(16, 3), nullptr);
}

TEST(AlignedMemory, LargeAlignmentIsHonoured)
{
    void* block = AlignedAlloc(100, 4096);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 4096, 0u);
    AlignedFree(block);
}
