#include "engine/core/CkvrReadBinary.h"

#include "engine/core/AlignedMemory.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
std::string String(char* text)
{
    std::string result = text != nullptr ? text : "<null>";
    AlignedFree(text);
    return result;
}
}

TEST(CkvrReadBinary, ReadsLittleEndianValues)
{
    const uint8_t bytes[] = {0xFE, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0xC0, 0x3F, 0xFF, 0xFF, 0xFF, 0xFF};
    CkvrReadBinary reader;
    ASSERT_EQ(reader.OpenMemory(bytes, sizeof(bytes)), 1);
    EXPECT_EQ(reader.ReadChar(), -2);
    EXPECT_EQ(reader.ReadShort(), 0x1234);
    EXPECT_EQ(reader.ReadLong(), 0x12345678);
    EXPECT_EQ(reader.ReadFloat(), 1.5f);
    EXPECT_EQ(reader.ReadInt(), -1);
    EXPECT_EQ(reader.GetCursor(), sizeof(bytes));
    EXPECT_STREQ(reader.GetClassName(), "CkvrReadBinary");
}

TEST(CkvrReadBinary, ReadsPastTheEndGiveZeroAndStopAtTheEnd)
{
    const uint8_t bytes[] = {1, 2, 3};
    CkvrReadBinary reader;
    ASSERT_EQ(reader.OpenMemory(bytes, sizeof(bytes)), 1);
    EXPECT_EQ(reader.ReadShort(), 0x0201);
    EXPECT_EQ(reader.ReadLong(), 0);
    EXPECT_EQ(reader.GetCursor(), 3u);
    EXPECT_EQ(reader.ReadChar(), 0);
    EXPECT_EQ(reader.ReadFloat(), 0.0f);
    EXPECT_EQ(reader.ReadString(), nullptr);

    uint8_t out[4] = {9, 9, 9, 9};
    reader.SetCursor(1);
    EXPECT_EQ(reader.ReadData(out, 4), 0);
    EXPECT_EQ(out[0], 0);
    reader.SetCursor(100);
    EXPECT_EQ(reader.GetCursor(), 3u);
}

TEST(CkvrReadBinary, StringsEndAtNulOrTheEndOfTheData)
{
    const char bytes[] = {'a', 'b', 0, 0, 'c', 'd'};
    CkvrReadBinary reader;
    ASSERT_EQ(reader.OpenMemory(bytes, sizeof(bytes)), 1);
    EXPECT_EQ(String(reader.ReadString()), "ab");
    EXPECT_EQ(reader.GetCursor(), 3u);
    EXPECT_EQ(String(reader.ReadString()), "<null>");
    EXPECT_EQ(reader.GetCursor(), 4u);
    EXPECT_EQ(String(reader.ReadString()), "cd");
    EXPECT_EQ(reader.GetCursor(), 6u);
}

TEST(CkvrReadBinary, LongStringsAreCutOnACharacterBoundary)
{
    // 510 ASCII bytes, then a double-byte character that would end at 512.
    std::string text(510, 'x');
    text += "\x93\xfa";
    text += "tail";
    text.push_back('\0');
    text += "next";
    CkvrReadBinary reader;
    ASSERT_EQ(reader.OpenMemory(text.data(), static_cast<uint32_t>(text.size())), 1);
    EXPECT_EQ(String(reader.ReadString()), std::string(510, 'x'));
    EXPECT_EQ(String(reader.ReadString()), "next");
}

TEST(CkvrReadBinary, OpensFilesThroughThePathLayer)
{
    TempFolder folder;
    TempFolder::Write("Model/Body.kmd", std::string("\x01\x00\x00\x00", 4));
    CkvrReadBinary reader;
    ASSERT_EQ(reader.Open("model\\BODY.KMD"), 1);
    EXPECT_EQ(reader.GetSize(), 4u);
    EXPECT_EQ(reader.ReadLong(), 1);
    reader.Close();
    EXPECT_EQ(reader.GetBuffer(), nullptr);
    EXPECT_EQ(reader.GetCursor(), 0u);
    EXPECT_EQ(reader.Open("missing"), 0);

    float xy[2] = {};
    const float values[2] = {1.0f, -2.0f};
    ASSERT_EQ(reader.OpenMemory(values, sizeof(values)), 1);
    reader.ReadVector2(xy);
    EXPECT_EQ(xy[0], 1.0f);
    EXPECT_EQ(xy[1], -2.0f);
}
