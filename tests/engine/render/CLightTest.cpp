#include "engine/render/CLight.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
std::vector<uint8_t> Bytes(FILE* file)
{
    std::vector<uint8_t> bytes;
    std::rewind(file);
    int c = 0;
    while ((c = std::fgetc(file)) != EOF)
        bytes.push_back(static_cast<uint8_t>(c));
    return bytes;
}

std::vector<uint8_t> SaveToMemory(CLight& light)
{
    FILE* file = std::tmpfile();
    EXPECT_EQ(light.Save(nullptr, file), 1);
    std::vector<uint8_t> bytes = Bytes(file);
    std::fclose(file);
    return bytes;
}

FILE* FileOf(const std::vector<uint8_t>& bytes)
{
    FILE* file = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return file;
}

void FillSample(CLight& light)
{
    light.position.Set(1.5f, -2.0f, 3.25f);
    const float direction[3] = {0, -3, 4};
    light.SetDirection(direction);
    light.range = 50.0f;
    light.SetColours(0xFF102030, 0xFF405060, 0xFF708090);
    light.SetType(2);
    light.attenuation1 = 0.5f;
    light.falloff = 1.0f;
    light.theta = 0.25f;
    light.phi = 0.75f;
}
}

TEST(CLightTest, DefaultsAndDirection)
{
    CLight light;
    EXPECT_STREQ(light.GetName(), "Light");
    EXPECT_STREQ(light.GetClassName(), "CLight");
    EXPECT_EQ(light.diffuse, 0xFFFFFFFFu);
    EXPECT_EQ(light.ambient, 0xFF888888u);
    EXPECT_EQ(light.specular, 0xFFBBBBBBu);
    EXPECT_EQ(light.attenuation0, 1.0f);
    const float direction[3] = {0, 0, 2};
    light.SetDirection(direction);
    EXPECT_FLOAT_EQ(light.direction.z, 1.0f);
    light.SetDirection(nullptr);
    EXPECT_FLOAT_EQ(light.direction.z, 1.0f);
    EXPECT_EQ(light.SetDirectional(direction, 1, 2, 3), &light);
    EXPECT_EQ(light.type, 3);
    light.Release();
}

TEST(CLightTest, UnnamedRecordIs69Bytes)
{
    CLight light;
    light.SetName(nullptr);
    const std::vector<uint8_t> bytes = SaveToMemory(light);
    ASSERT_EQ(bytes.size(), 69u);
    EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0);
    // Type at 44, attenuation0 = 1.0f at 45.
    EXPECT_EQ(bytes[44], 0);
    EXPECT_EQ(bytes[48], 0x3F);
    EXPECT_EQ(bytes[47], 0x80);
}

TEST(CLightTest, SaveLoadSaveIsByteIdentical)
{
    CLight light;
    light.SetName("Stage\\Sun");
    FillSample(light);
    const std::vector<uint8_t> first = SaveToMemory(light);
    ASSERT_EQ(first.size(), 69u + 10u);
    EXPECT_EQ(first[0], 10);

    CLight loaded;
    FILE* file = FileOf(first);
    ASSERT_EQ(loaded.Load(nullptr, file), 1);
    std::fclose(file);
    EXPECT_STREQ(loaded.GetName(), "Stage\\Sun");
    EXPECT_EQ(loaded.type, 2);
    EXPECT_FLOAT_EQ(loaded.phi, 0.75f);
    EXPECT_EQ(SaveToMemory(loaded), first);

    // Through a path as well.
    const std::string path = testing::TempDir() + "light.bin";
    ASSERT_EQ(light.Save(path.c_str(), nullptr), 1);
    CLight fromPath;
    ASSERT_EQ(fromPath.Load(path.c_str(), nullptr), 1);
    EXPECT_EQ(SaveToMemory(fromPath), first);
    std::remove(path.c_str());
    EXPECT_EQ(fromPath.Load("/nonexistent/light.bin", nullptr), 0);
    light.Release();
    loaded.Release();
    fromPath.Release();
}

TEST(CLightTest, RecordsFollowOneAnotherInAnOpenFile)
{
    CLight first;
    FillSample(first);
    CLight second;
    second.SetName(nullptr);
    FILE* file = std::tmpfile();
    ASSERT_EQ(first.Save(nullptr, file), 1);
    const long afterFirst = std::ftell(file);
    EXPECT_EQ(afterFirst, 69 + 6);
    ASSERT_EQ(second.Save(nullptr, file), 1);
    std::rewind(file);
    CLight a;
    CLight b;
    ASSERT_EQ(a.Load(nullptr, file), 1);
    EXPECT_EQ(std::ftell(file), afterFirst);
    ASSERT_EQ(b.Load(nullptr, file), 1);
    EXPECT_EQ(b.GetName(), nullptr);
    EXPECT_STREQ(a.GetName(), "Light");
    std::fclose(file);
    first.Release();
    a.Release();
}

TEST(CLightTest, BadRecordsFailAndChangeNothing)
{
    CLight light;
    FillSample(light);
    const std::vector<uint8_t> good = SaveToMemory(light);

    // Name length beyond the bound.
    std::vector<uint8_t> huge = good;
    huge[0] = 0xFF;
    huge[1] = 0xFF;
    huge[2] = 0xFF;
    huge[3] = 0x7F;
    CLight target;
    FILE* file = FileOf(huge);
    EXPECT_EQ(target.Load(nullptr, file), 0);
    std::fclose(file);
    EXPECT_STREQ(target.GetName(), "Light");
    EXPECT_EQ(target.diffuse, 0xFFFFFFFFu);

    // Every truncation fails.
    for (size_t size = 0; size < good.size(); ++size)
    {
        std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(size));
        FILE* shortFile = FileOf(cut);
        EXPECT_EQ(target.Load(nullptr, shortFile), 0) << size;
        std::fclose(shortFile);
    }
    EXPECT_STREQ(target.GetName(), "Light");

    // A name without its NUL ends at the last byte.
    std::vector<uint8_t> unterminated = good;
    unterminated[4 + 5] = 'X';
    FILE* noNul = FileOf(unterminated);
    ASSERT_EQ(target.Load(nullptr, noNul), 1);
    std::fclose(noNul);
    EXPECT_STREQ(target.GetName(), "Light");
    light.Release();
    target.Release();
}

TEST(CLightTest, ApplyFillsTheDeviceLightByType)
{
    CLight light;
    EXPECT_EQ(light.Apply(0), 0) << "no graphics object";
    RenderGraphics headless;
    ASSERT_TRUE(headless.Created());
    headless.Graphics().SetLighting(0);
    const float direction[3] = {0, -1, 0};
    light.SetDirectional(direction, 0xFFFF8000, 0xFF000000, 0xFFFFFFFF);
    light.attenuation1 = 0.5f;
    ASSERT_EQ(light.Apply(0), 1);
    EXPECT_EQ(headless.Graphics().GetStateCache()->lighting, 1u);
    DeviceLight applied;
    ASSERT_EQ(headless.Device().GetLight(0, &applied), DEVICE_OK);
    EXPECT_TRUE(headless.Device().IsLightEnabled(0));
    EXPECT_EQ(applied.type, static_cast<uint32_t>(LIGHT_DIRECTIONAL));
    EXPECT_FLOAT_EQ(applied.diffuse.g, 128.0f / 255.0f);
    EXPECT_EQ(applied.attenuation0, 0.0f);
    EXPECT_EQ(applied.attenuation1, 0.0f);

    light.SetType(LIGHT_POINT);
    light.phi = 1.0f;
    ASSERT_EQ(light.Apply(1), 1);
    ASSERT_EQ(headless.Device().GetLight(1, &applied), DEVICE_OK);
    EXPECT_EQ(applied.attenuation0, 1.0f);
    EXPECT_EQ(applied.attenuation1, 0.5f);
    EXPECT_EQ(applied.phi, 0.0f);
    EXPECT_EQ(light.Apply(200), 0) << "no such light index";
    light.Release();
}
