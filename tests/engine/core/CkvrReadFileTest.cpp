// The value reads that both readers build on ReadFloat, run through the
// common interface so one parser serves both forms of a file.
#include "engine/core/CRect.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrReadBinary.h"
#include "engine/core/CkvrReadText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace
{
// The floats 1 ... count as a binary reader and as a text reader.
std::vector<std::unique_ptr<CkvrReadFile>> Readers(int count)
{
    std::vector<float> values;
    std::string text;
    for (int i = 1; i <= count; ++i)
    {
        values.push_back(static_cast<float>(i));
        text += std::to_string(i) + (i % 4 == 0 ? ";\r\n" : ", ");
    }
    auto binary = std::make_unique<CkvrReadBinary>();
    binary->OpenMemory(values.data(), static_cast<uint32_t>(values.size() * sizeof(float)));
    auto reader = std::make_unique<CkvrReadText>();
    reader->SetSeparators(" ,;\r\n");
    reader->OpenMemory(text.c_str(), static_cast<uint32_t>(text.size() + 1));
    std::vector<std::unique_ptr<CkvrReadFile>> readers;
    readers.push_back(std::move(binary));
    readers.push_back(std::move(reader));
    return readers;
}
}

TEST(CkvrReadFile, QuaternionsAreStoredWFirst)
{
    for (auto& reader : Readers(4))
    {
        CkvrQuaternion q;
        reader->ReadQuaternion(&q);
        EXPECT_EQ(q.w, 1.0f) << reader->GetClassName();
        EXPECT_EQ(q.x, 2.0f);
        EXPECT_EQ(q.y, 3.0f);
        EXPECT_EQ(q.z, 4.0f);
    }
}

TEST(CkvrReadFile, RectanglesAreStoredLeftRightTopBottom)
{
    for (auto& reader : Readers(4))
    {
        CRect rect;
        reader->ReadRect(&rect);
        EXPECT_EQ(rect.left, 1.0f) << reader->GetClassName();
        EXPECT_EQ(rect.right, 2.0f);
        EXPECT_EQ(rect.top, 3.0f);
        EXPECT_EQ(rect.bottom, 4.0f);
    }
}

TEST(CkvrReadFile, VectorsAndMatricesInOrder)
{
    for (auto& reader : Readers(23))
    {
        CkvrVector3 v3;
        CkvrVector4 v4;
        CkvrMatrix m;
        reader->ReadVector3(&v3);
        reader->ReadVector4(&v4);
        reader->ReadMatrix(&m);
        EXPECT_EQ(v3.x, 1.0f) << reader->GetClassName();
        EXPECT_EQ(v3.z, 3.0f);
        EXPECT_EQ(v4.x, 4.0f);
        EXPECT_EQ(v4.w, 7.0f);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(m.m[i], static_cast<float>(8 + i));
        // Nothing is left: further values read as 0, null outputs are fine.
        reader->ReadVector3(nullptr);
        reader->ReadMatrix(&m);
        EXPECT_EQ(m.m[0], 0.0f);
    }
}
