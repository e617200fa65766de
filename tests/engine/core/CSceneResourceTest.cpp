#include "engine/core/CSceneResource.h"

#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

TEST(CSceneResource, SceneFilesRoundTrip)
{
    TempFolder folder;
    CSceneResource scene("Stage1");
    ASSERT_EQ(scene.Save("Scene\\Stage1.sce"), 0);
    std::filesystem::create_directory("Scene");
    ASSERT_EQ(scene.Save("scene\\Stage1.sce"), 1);
    const std::string bytes = TempFolder::Read("Scene/Stage1.sce");
    EXPECT_EQ(bytes, std::string("\x07\x00\x00\x00Stage1\x00", 11));

    CSceneResource loaded;
    ASSERT_EQ(loaded.Load("SCENE\\stage1.SCE"), 1);
    EXPECT_STREQ(loaded.GetName(), "Stage1");
    ASSERT_EQ(loaded.Save("again.sce"), 1);
    EXPECT_EQ(TempFolder::Read("again.sce"), bytes);
}

TEST(CSceneResource, ZeroLengthMeansNoName)
{
    TempFolder folder;
    TempFolder::Write("none.sce", std::string(4, '\0'));
    CSceneResource scene("Old");
    ASSERT_EQ(scene.Load("none.sce"), 1);
    EXPECT_EQ(scene.GetName(), nullptr);
    ASSERT_EQ(scene.Save("saved.sce"), 1);
    EXPECT_EQ(TempFolder::Read("saved.sce"), std::string(4, '\0'));
}

TEST(CSceneResource, DamagedFilesFailWithoutAName)
{
    TempFolder folder;
    CSceneResource scene;
    EXPECT_EQ(scene.Load("missing.sce"), 0);
    TempFolder::Write("short.sce", "\x07\x00");
    EXPECT_EQ(scene.Load("short.sce"), 0);
    // A length far beyond the file.
    TempFolder::Write("lying.sce", std::string("\xff\xff\xff\x7f" "abc", 7));
    EXPECT_EQ(scene.Load("lying.sce"), 0);
    EXPECT_EQ(scene.GetName(), nullptr);
    TempFolder::Write("over.sce", std::string("\x08\x00\x00\x00Stage1\x00", 11));
    EXPECT_EQ(scene.Load("over.sce"), 0);

    // A name whose NUL is missing is cut to end inside its block.
    TempFolder::Write("nonul.sce", std::string("\x03\x00\x00\x00" "abc", 7));
    ASSERT_EQ(scene.Load("nonul.sce"), 1);
    EXPECT_STREQ(scene.GetName(), "ab");
}

TEST(CSceneResource, IsASceneThatDoesNothing)
{
    std::unique_ptr<CScene> scene(new CSceneResource("Title"));
    EXPECT_EQ(scene->Init(0), 1);
    EXPECT_EQ(scene->Update(0), 1);
    EXPECT_EQ(scene->Render(0), 1);
    EXPECT_STREQ(scene->GetClassName(), "CSceneResource");
    EXPECT_EQ(scene->Release(), 1u);
    EXPECT_EQ(scene->GetName(), nullptr);
}
