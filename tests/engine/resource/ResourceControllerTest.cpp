#include "engine/core/CSceneResource.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/resource/CResourceController.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tests/engine/resource/ResourceTestUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace restest;
namespace fs = std::filesystem;

namespace
{
// Records what reaches the hooks.
class RecordingController : public CResourceController
{
public:
    using CResourceController::CResourceController;
    ~RecordingController() override { Release(); }

    int LoadOther(CkvrPackFile* pack, const char* name, uint32_t) override
    {
        others.push_back(std::string(pack != nullptr ? "pack:" : "") + name);
        return 1;
    }
    void ReleaseOther() override
    {
        ReleaseLog().push_back("other");
        listsEmptyAtReleaseOther = GetPackList().GetCount() == 0 && GetMeshList().GetCount() == 0 &&
                                   GetEffectList().GetCount() == 0 && GetSceneList().GetCount() == 0;
    }

    std::vector<std::string> others;
    bool listsEmptyAtReleaseOther = false;
};

void WriteScene(const std::string& path, const char* name)
{
    if (fs::path(path).has_parent_path())
        fs::create_directories(fs::path(path).parent_path());
    CSceneResource scene(name);
    ASSERT_EQ(scene.Save(path.c_str()), 1);
}

// Every file under the folder with its bytes.
std::map<std::string, std::string> FolderSnapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
    {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] = TempFolder::Read(entry.path());
    }
    return files;
}

const FakeObject* Fake(CResourceBase* object)
{
    return static_cast<const FakeObject*>(object);
}
}

TEST(ResourceControllerTest, ConstructorsAndLists)
{
    CResourceController plain;
    EXPECT_EQ(plain.GetId(), 0u);
    EXPECT_EQ(plain.GetCheckId(), 0u);
    EXPECT_EQ(plain.GetVoicesPerSound(), 10u);
    CResourceController byId(kId);
    EXPECT_EQ(byId.GetCheckId(), 1u);
    const uint32_t settings[5] = {kId, 1, 1, 1, 6};
    CResourceController game(settings);
    EXPECT_EQ(game.GetPanSounds(), 1u);
    EXPECT_EQ(game.GetMusicWithoutNotification(), 1u);
    EXPECT_EQ(game.GetVoicesPerSound(), 6u);
    for (uint8_t kind = 0; kind < 7; ++kind)
        EXPECT_NE(game.GetList(kind), nullptr);
    EXPECT_EQ(game.GetList(7), nullptr);
    EXPECT_EQ(game.GetList(CResourceController::LIST_TEXTURES), &game.GetTextureList());
    EXPECT_EQ(game.Load(nullptr, 1), 0);
}

TEST(ResourceControllerTest, EmptyListAndSetIdentifier)
{
    TempFolder folder;
    TempFolder::Write("GameResource.grc", ListBytes({}));
    TempFolder::Write("Other.grc", ListBytes({}, 0x2000));

    CResourceController controller(kId);
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1);
    EXPECT_STREQ(controller.GetName(), "GameResource.grc");
    EXPECT_EQ(controller.Load("Other.grc", 1), 0);
    EXPECT_NE(controller.GetLastError().find("another resource set"), std::string::npos);

    CResourceController unchecked(kId, 0);
    EXPECT_EQ(unchecked.Load("Other.grc", 1), 1);
    CResourceController any;
    EXPECT_EQ(any.Load("Other.grc", 1), 1);
    EXPECT_EQ(any.Load("Absent.grc", 1), 0);
}

TEST(ResourceControllerTest, ListWithoutEndRecordFailsAndKeepsWhatLoaded)
{
    TempFolder folder;
    WriteScene("Scene/a.sce", "A");
    TempFolder::Write("Open.grc", ListBytes({"Scene\\a.sce"}, kId, false));
    CResourceController controller(kId);
    EXPECT_EQ(controller.Load("Open.grc", 1), 0);
    EXPECT_NE(controller.GetLastError().find("\"EOF\""), std::string::npos);
    EXPECT_EQ(controller.GetName(), nullptr);
    EXPECT_EQ(controller.GetSceneList().GetCount(), 1u);
    controller.Release();
    EXPECT_EQ(controller.GetSceneList().GetCount(), 0u);
}

TEST(ResourceControllerTest, RecordsStayInsideTheProgramFolder)
{
    TempFolder folder;
    WriteScene("inside.sce", "In");
    fs::create_directories("sub");
    for (const char* record : {"..\\inside.sce", "sub\\..\\..\\inside.sce", "\\tmp\\inside.sce", "C:\\inside.sce", ""})
    {
        TempFolder::Write("sub/bad.grc", ListBytes({record}));
        CResourceController controller;
        EXPECT_EQ(controller.Load("sub/bad.grc", 0), 0) << record;
        EXPECT_EQ(controller.GetSceneList().GetCount(), 0u) << record;
    }
}

TEST(ResourceControllerTest, RecordsAreReadAgainstTheListFolder)
{
    TempFolder folder;
    WriteScene("set/Scene/a.sce", "Inner");
    WriteScene("Scene/a.sce", "Outer");
    TempFolder::Write("set/Game.grc", ListBytes({"Scene\\a.sce"}));
    CResourceController controller;
    ASSERT_EQ(controller.Load("set/Game.grc", 1), 1);
    ASSERT_EQ(controller.GetSceneList().GetCount(), 1u);
    EXPECT_STREQ(controller.GetSceneList().GetItem(0)->GetName(), "Inner");
    // Outside a list load, a path is taken as given.
    ASSERT_EQ(controller.Load("Scene\\a.sce", 1), 1);
    EXPECT_STREQ(controller.GetSceneList().GetItem(1)->GetName(), "Outer");
}

TEST(ResourceControllerTest, NamesOnlyLoadHandsDeviceRecordsToTheHook)
{
    TempFolder folder;
    TempFolder::Write("Texture/inner.png", "png");
    fs::create_directories("Data");
    {
        const char* entries[] = {"Texture/inner.png"};
        ASSERT_EQ(CkvrPackFile::Create(entries, 1, "Data/p.gpk"), 1);
    }
    WriteScene("Scene/a.sce", "A");
    const std::vector<std::string> records = {"Texture\\a.png", "Model\\m.mdl", "Sound\\s.ogg", "Shader\\d.fx",
                                              "Data\\p.gpk",     "Scene\\a.sce", "Font\\f.txt"};
    TempFolder::Write("GameResource.grc", ListBytes(records));
    RecordingController controller(kId);
    ASSERT_EQ(controller.Load("GameResource.grc", 0), 1) << controller.GetLastError();
    EXPECT_EQ(controller.others, (std::vector<std::string>{"Texture\\a.png", "Model\\m.mdl", "Sound\\s.ogg",
                                                            "Shader\\d.fx", "Font\\f.txt"}));
    // The pack is opened and listed, its entries are not loaded.
    ASSERT_EQ(controller.GetPackList().GetCount(), 1u);
    EXPECT_EQ(controller.GetPackList().GetItem(0)->GetCount(), 1u);
    EXPECT_EQ(controller.GetTextureList().GetCount(), 0u);
    EXPECT_EQ(controller.GetSceneList().GetCount(), 1u);
}

TEST(ResourceControllerTest, KindsWithoutALoaderFailWithAMessage)
{
    TempFolder folder;
    TempFolder::Write("ship.mdl", "model");
    TempFolder::Write("ship.x", "xof 0303txt 0032");
    TempFolder::Write("a.efc", "Efc_a");
    CResourceController controller;
    EXPECT_EQ(controller.Load("ship.mdl", 1), 0);
    EXPECT_NE(controller.GetLastError().find("no model loader"), std::string::npos);
    EXPECT_EQ(controller.Load("ship.x", 1), 0);
    EXPECT_NE(controller.GetLastError().find("no model loader"), std::string::npos);
    EXPECT_EQ(controller.Load("a.efc", 1), 0);
    EXPECT_NE(controller.GetLastError().find("no effect loader"), std::string::npos);
}

TEST(ResourceControllerTest, PluggedLoadersDuplicatesAndConversion)
{
    TempFolder folder;
    TempFolder::Write("Model/m.mdl", "model m");
    TempFolder::Write("Effect/a.efc", "Efc_step");
    TempFolder::Write("ship.x", "x text");
    CResourceController controller;
    InstallFakes(controller);
    tag_KVRKINDLOADER meshes = FakeLoader("mesh", false);
    meshes.convert = [](const char* in, const char* out) {
        TempFolder::Write(CPathResolver::Resolve(out), "converted " + TempFolder::Read(CPathResolver::Resolve(in)));
        return 1;
    };
    controller.SetMeshLoader(meshes);

    EXPECT_EQ(controller.Load("Model\\m.mdl", 1), 1);
    EXPECT_EQ(controller.Load("Model\\m.mdl", 1), 1);
    EXPECT_EQ(controller.GetMeshList().GetCount(), 1u);
    EXPECT_EQ(controller.Load("ship.x", 1), 1);
    ASSERT_EQ(controller.GetMeshList().GetCount(), 2u);
    EXPECT_STREQ(controller.GetMeshList().GetItem(1)->GetName(), "ship.mdl");
    EXPECT_EQ(Fake(controller.GetMeshList().GetItem(1))->bytes, "converted x text");

    // Effect containers are named by their file and may repeat.
    EXPECT_EQ(controller.Load("Effect\\a.efc", 1), 1);
    EXPECT_EQ(controller.Load("Effect\\a.efc", 0), 1);
    EXPECT_EQ(controller.GetEffectList().GetCount(), 2u);
    EXPECT_EQ(controller.GetEffectList().FindByFileName("Efc_step"), controller.GetEffectList().GetItem(0));
    EXPECT_EQ(controller.GetMeshList().FindByFileName("Data\\m.mdl"), controller.GetMeshList().GetItem(0));
}

TEST(ResourceControllerTest, ReleaseOrder)
{
    TempFolder folder;
    TempFolder::Write("m.mdl", "m");
    TempFolder::Write("e.efc", "E");
    WriteScene("s.sce", "S");
    RecordingController controller;
    InstallFakes(controller);
    ASSERT_EQ(controller.Load("e.efc", 1), 1);
    ASSERT_EQ(controller.Load("m.mdl", 1), 1);
    ASSERT_EQ(controller.Load("s.sce", 1), 1);
    ReleaseLog().clear();
    controller.Release();
    EXPECT_EQ(ReleaseLog(), (std::vector<std::string>{"mesh", "effect", "other"}));
    EXPECT_TRUE(controller.listsEmptyAtReleaseOther);

    ReleaseLog().clear();
    controller.Release();
    EXPECT_EQ(ReleaseLog(), (std::vector<std::string>{"other"}));
}

class ResourceSaveTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TempFolder::Write("Model/a.mdl", "model a");
        TempFolder::Write("Model/b.mdl", std::string("model b\0bytes", 13));
        TempFolder::Write("Effect/e.efc", "Efc_one");
        WriteScene("Scene/s.sce", "Title");
        TempFolder::Write("Work.grc", ListBytes({"Model\\a.mdl", "Model\\b.mdl", "Effect\\e.efc", "Scene\\s.sce"}));
        InstallFakes(controller);
        ASSERT_EQ(controller.Load("Work.grc", 1), 1) << controller.GetLastError();
    }
    void TearDown() override { CSafeFileWriter::SetFailAfterWrites(-1); }

    TempFolder folder;
    CResourceController controller{kId};
};

TEST_F(ResourceSaveTest, SavedSetListsPacksAndLoadsBack)
{
    ASSERT_EQ(controller.SaveTo("out/Game.grc"), 1) << controller.GetLastError();
    EXPECT_STREQ(controller.GetName(), "out/Game.grc");
    EXPECT_EQ(RecordsOf(TempFolder::Read("out/Game.grc")),
              (std::vector<std::string>{"Data\\Texture.gpk", "Data\\Mesh.gpk", "Data\\Sound.gpk", "Effect\\Efc_one.efc",
                                        "Scene\\Title.sce", "EOF"}));
    EXPECT_EQ(TempFolder::Read("out/Game.grc").substr(0, 4), U32(kId));
    // The texture and sound packs exist, empty.
    EXPECT_EQ(TempFolder::Read("out/Data/Texture.gpk"), U32(0));

    CResourceController reloaded(kId);
    InstallFakes(reloaded);
    ASSERT_EQ(reloaded.Load("out/Game.grc", 1), 1) << reloaded.GetLastError();
    ASSERT_EQ(reloaded.GetMeshList().GetCount(), 2u);
    EXPECT_STREQ(reloaded.GetMeshList().GetItem(0)->GetName(), "Mesh\\a.mdl");
    EXPECT_EQ(Fake(reloaded.GetMeshList().GetItem(1))->bytes, std::string("model b\0bytes", 13));
    EXPECT_STREQ(reloaded.GetEffectList().GetItem(0)->GetName(), "Efc_one");
    EXPECT_STREQ(reloaded.GetSceneList().GetItem(0)->GetName(), "Title");

    // Saved over the packs it was loaded from, twice: the data survives.
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_EQ(reloaded.SaveTo("out/Game.grc"), 1) << reloaded.GetLastError();
        CResourceController again(kId);
        InstallFakes(again);
        ASSERT_EQ(again.Load("out/Game.grc", 1), 1) << again.GetLastError();
        ASSERT_EQ(again.GetMeshList().GetCount(), 2u);
        EXPECT_EQ(Fake(again.GetMeshList().GetItem(1))->bytes, std::string("model b\0bytes", 13));
    }
    // No temporary file is left behind.
    for (const auto& entry : fs::recursive_directory_iterator("out"))
        EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path();
}

TEST_F(ResourceSaveTest, NameCollisionInOnePackIsRefused)
{
    TempFolder::Write("Other/a.mdl", "another a");
    ASSERT_EQ(controller.Load("Other\\a.mdl", 1), 1);
    ASSERT_EQ(controller.SaveTo("out/Game.grc"), 0);
    EXPECT_NE(controller.GetLastError().find("\"Model\\a.mdl\" and \"Other\\a.mdl\""), std::string::npos)
        << controller.GetLastError();
    EXPECT_FALSE(fs::exists("out/Game.grc"));
    EXPECT_FALSE(fs::exists("out/Data/Mesh.gpk"));
}

TEST_F(ResourceSaveTest, FileNamesFromInsideFilesMayNotLeaveTheSet)
{
    TempFolder::Write("Effect/bad.efc", "..\\..\\escape");
    ASSERT_EQ(controller.Load("Effect\\bad.efc", 1), 1);
    EXPECT_EQ(controller.SaveTo("out/Game.grc"), 0);
    EXPECT_FALSE(fs::exists("escape.efc"));
    EXPECT_TRUE(FolderSnapshot("out").empty());
}

TEST_F(ResourceSaveTest, FailedWriteAnywhereLeavesTheOldSetIntact)
{
    ASSERT_EQ(controller.SaveTo("out/Game.grc"), 1);
    // Change what a new save would write.
    TempFolder::Write("Model/c.mdl", "model c");
    ASSERT_EQ(controller.Load("Model\\c.mdl", 1), 1);
    const auto before = FolderSnapshot("out");
    for (int64_t writes = 0; writes < 40; ++writes)
    {
        CSafeFileWriter::SetFailAfterWrites(writes);
        const int saved = controller.SaveTo("out/Game.grc");
        CSafeFileWriter::SetFailAfterWrites(-1);
        if (saved)
            break;
        ASSERT_EQ(FolderSnapshot("out"), before) << "after " << writes << " writes";
    }
    CResourceController reloaded(kId);
    InstallFakes(reloaded);
    ASSERT_EQ(reloaded.Load("out/Game.grc", 1), 1);
    EXPECT_EQ(reloaded.GetMeshList().GetCount(), 3u);
}
