#include "RenderTestDevice.h"

#include "engine/render/CLight.h"
#include "engine/render/CTexture.h"
#include "tests/engine/core/TempFolder.h"

#include <stb/stb_image.h>

#include <filesystem>
#include <string>

// Light records and saved textures are named the way data files are
// everywhere else: backslashes between folders, any letter case.

TEST(DataNameTest, LightRecordSavesAndLoadsByABackslashNameInAnotherCase)
{
    TempFolder folder;
    std::filesystem::create_directory("Data");

    CLight saved;
    saved.SetName("Lamp");
    saved.range = 12.5f;
    saved.SetColours(0xFF102030, 0xFF405060, 0xFF708090);
    ASSERT_EQ(saved.Save("DATA\\Light.lit", nullptr), 1);
    EXPECT_TRUE(std::filesystem::exists("Data/Light.lit"));
    EXPECT_FALSE(std::filesystem::exists("DATA"));

    CLight loaded;
    ASSERT_EQ(loaded.Load("data\\LIGHT.LIT", nullptr), 1);
    EXPECT_STREQ(loaded.GetName(), "Lamp");
    EXPECT_EQ(loaded.range, 12.5f);
    EXPECT_EQ(loaded.diffuse, 0xFF102030u);
    EXPECT_EQ(loaded.specular, 0xFF708090u);
}

class DataNameTextureTest : public RenderTest
{
};

TEST_F(DataNameTextureTest, TextureSavesByABackslashNameInAnotherCase)
{
    TempFolder folder;
    std::filesystem::create_directories("Data/Shots");

    const std::vector<uint32_t> pixels(8 * 4, 0xFF00FF00);
    const std::vector<uint8_t> png = MakePng(pixels, 8, 4);
    CTexture texture;
    ASSERT_EQ(texture.CreateFromMemory(png.data(), "green.png", static_cast<uint32_t>(png.size())), 1);
    ASSERT_EQ(texture.SaveToFile("data\\SHOTS\\Shot.png", KVRIMAGE_PNG, nullptr), 1);
    ASSERT_EQ(texture.SaveToFile("plain.png", KVRIMAGE_PNG, nullptr), 1);
    texture.Release();

    // The same image as under a plain name, in the folders that exist.
    ASSERT_TRUE(std::filesystem::exists("Data/Shots/Shot.png"));
    EXPECT_EQ(TempFolder::Read("Data/Shots/Shot.png"), TempFolder::Read("plain.png"));
    int w = 0, h = 0, channels = 0;
    stbi_uc* image = stbi_load("Data/Shots/Shot.png", &w, &h, &channels, 4);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(w, 8);
    EXPECT_EQ(h, 4);
    stbi_image_free(image);

    CTexture reloaded;
    EXPECT_EQ(reloaded.CreateFromFile("DATA\\shots\\SHOT.PNG"), 1);
    reloaded.Release();
}
