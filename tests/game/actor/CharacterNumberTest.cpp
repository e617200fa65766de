// A character number out of range is refused before the own bit is
// compared with 1 << number, a shift past the word's width.
#include "tests/game/actor/SampleDefinitions.h"

#include <gtest/gtest.h>

TEST(CharacterFile, NumberOutOfRangeIsRefusedWithoutAShiftPastTheWord)
{
    std::vector<uint8_t> bytes = samples::Bytes(samples::Character());
    CCharacterDefinition loaded;
    ASSERT_EQ(loaded.Load(bytes.data(), bytes.size()), 1u);
    // After the 8-byte header and the 260-byte name.
    constexpr size_t kNumber = 8 + 260;
    for (uint8_t number : {8, 31, 32, 72, 255})
    {
        bytes[kNumber] = number;
        EXPECT_EQ(loaded.Load(bytes.data(), bytes.size()), 0u) << int(number);
    }
}
