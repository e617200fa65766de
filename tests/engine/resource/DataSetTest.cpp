// The data kit's stand-in set through the resource controller, with the real
// texture, shader and sound classes on a headless graphics object and
// OpenAL's loopback device.
#include "engine/core/CkvrPackFile.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tests/engine/render/RenderGraphics.h"
#include "tests/engine/resource/ResourceTestUtil.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/core/Collision.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "engine/render/HitModel.h"
#include "tools/datakit/CDataKitController.h"
#include "tools/datakit/DataKit.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/GearLooks.h"
#include "tools/datakit/NamedFiles.h"
#include "tools/datakit/StoryDataKit.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CElementAttackDefinition.h"
#include "game/actor/CGameDataLists.h"
#include "game/actor/CGameDataResource.h"
#include "game/actor/CItemDefinition.h"
#include "game/actor/CStageDefinition.h"
#include "game/actor/CWeaponDefinition.h"
#include "game/app/CQorResourceController.h"
#include "tools/datakit/GameSceneKit.h"
#include "tools/datakit/StorySceneKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>

using namespace restest;
namespace fs = std::filesystem;

namespace
{
constexpr uint32_t kTextures = 9;
// The menu sounds and music, the sounds the battle looks up by name, the
// start and menu scenes' music and voices, and the story's selection voices.
uint32_t CountSounds()
{
    uint32_t sounds = 6 + static_cast<uint32_t>(NamedFiles::Sounds().size());
    for (const GameSceneKit::ListedFile& file : GameSceneKit::ListedFiles())
        sounds += file.name.find(".ogg") != std::string::npos ? 1 : 0;
    return sounds + static_cast<uint32_t>(StorySceneKit::ListedFiles().size());
}
const uint32_t kSounds = CountSounds();
// The box and the arena's ground and hit, its display model, a figure per
// character, a block per clothes item and per stage object.
uint32_t CountMeshes()
{
    uint32_t blocks = 0;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
    {
        const uint32_t list = CGameDataLists::GetListOfFile(file.name.c_str());
        blocks += list == CGameDataLists::LIST_CLOTHES || list == CGameDataLists::LIST_STAGE_OBJECTS ? 1 : 0;
    }
    return 4 + GameDataKit::kCharacters + blocks + static_cast<uint32_t>(GearLooks::Models().size());
}

// The records the data kit controller keeps as other files: the game data,
// the story chapters and missions (texts in the loose set, binary in the
// packed one), then the font face.
std::vector<std::string> OtherRecords(bool packed)
{
    std::vector<std::string> names;
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
        names.push_back(file.name);
    for (StoryDataKit::ScriptFile& file : StoryDataKit::Files())
    {
        std::string error;
        if (packed)
        {
            EXPECT_TRUE(StoryDataKit::ToPackedForm(&file.name, &file.bytes, &error)) << error;
        }
        names.push_back(file.name);
    }
    names.push_back("Font\\FontFace.txt");
    return names;
}

using Qor = CQorResourceController;

uint32_t GameCount(Qor& controller, uint8_t kind);

CResourceList<CResourceBase*>& GameList(Qor& controller, uint8_t kind)
{
    return *static_cast<CResourceList<CResourceBase*>*>(controller.GetList(kind));
}

template <class T>
std::vector<const T*> Definitions(Qor& controller, uint8_t kind)
{
    std::vector<const T*> out;
    CResourceList<CResourceBase*>& list = GameList(controller, kind);
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        const auto* typed = dynamic_cast<const CGameDataResource<T>*>(list.GetData()[i]);
        if (typed != nullptr)
            out.push_back(&typed->GetDefinition());
    }
    return out;
}

// How many definitions each game list holds in the stand-in set.
const std::map<uint8_t, uint32_t> kGameCounts = {
    {Qor::LIST_BULLETS, 9},         {Qor::LIST_ITEMS, 8},   {Qor::LIST_CHARACTERS, 8},
    {Qor::LIST_WEAPONS, 5},         {Qor::LIST_CLOTHES, 7}, {Qor::LIST_STAGE_OBJECTS, 10},
    {Qor::LIST_STAGES, 1},          {Qor::LIST_ELEMENT_ATTACKS, 10}, {Qor::LIST_ELEMENTS, 7},
    {Qor::LIST_MISSIONS, StoryDataKit::kMissions},
    {Qor::LIST_STORIES, GameDataKit::kCharacters * StoryDataKit::kChaptersPerRoute}};

uint32_t GameCount(Qor& controller, uint8_t kind)
{
    if (kind == Qor::LIST_MISSIONS)
        return controller.GetMissionList()->GetCount();
    if (kind == Qor::LIST_STORIES)
        return controller.GetStoryList()->GetCount();
    return GameList(controller, kind).GetCount();
}

// Every name a definition refers to is in the set (or empty).
void ExpectReferencesResolve(Qor& c)
{
    auto has = [&c](uint8_t kind, const std::string& name) {
        return name.empty() || GameList(c, kind).FindByName(name.c_str()) != nullptr;
    };
    auto mesh = [&c](const std::string& name) {
        return name.empty() || c.GetMeshList().FindByFileName(name.c_str()) != nullptr;
    };
    ASSERT_EQ(Definitions<CCharacterDefinition>(c, Qor::LIST_CHARACTERS).size(), 8u);
    ASSERT_EQ(Definitions<CWeaponDefinition>(c, Qor::LIST_WEAPONS).size(), 5u);
    ASSERT_EQ(Definitions<CElementAttackDefinition>(c, Qor::LIST_ELEMENT_ATTACKS).size(), 10u);
    ASSERT_EQ(Definitions<CItemDefinition>(c, Qor::LIST_ITEMS).size(), 8u);
    for (const CCharacterDefinition* d : Definitions<CCharacterDefinition>(c, Qor::LIST_CHARACTERS))
    {
        uint32_t weight = 0;
        for (const char* weapon : d->defaultWeapons)
        {
            EXPECT_TRUE(has(Qor::LIST_WEAPONS, weapon)) << d->name << " " << weapon;
            const CResourceBase* found = GameList(c, Qor::LIST_WEAPONS).FindByName(weapon);
            if (weapon[0] != '\0' && found != nullptr)
            {
                const CWeaponDefinition& w =
                    dynamic_cast<const CGameDataResource<CWeaponDefinition>*>(found)->GetDefinition();
                weight += w.weight;
                EXPECT_EQ(w.unlockKind, 0u);
                EXPECT_EQ(w.price, 0u);
            }
        }
        EXPECT_LE(weight, 7u) << d->name;
        EXPECT_GT(weight, 0u) << d->name;
        for (const char* clothes : d->defaultClothes)
            EXPECT_TRUE(has(Qor::LIST_CLOTHES, clothes)) << d->name << " " << clothes;
        EXPECT_TRUE(has(Qor::LIST_ELEMENT_ATTACKS, d->maximumAttack)) << d->name;
        EXPECT_TRUE(mesh(d->model)) << d->name;
        for (const std::string& voice : d->voices)
            EXPECT_TRUE(voice.empty() || c.GetSoundList().FindByFileName(voice.c_str()) != nullptr) << voice;
        EXPECT_EQ(d->element, d->number % 7);
        for (const CCharacterDefinition::RadioChat& chat : d->radio)
        {
            EXPECT_EQ(chat.scope, 0u);
            EXPECT_GE(chat.phrase, 0x38u);
            EXPECT_LE(chat.phrase, 0x3Bu);
        }
    }
    for (const CWeaponDefinition* d : Definitions<CWeaponDefinition>(c, Qor::LIST_WEAPONS))
    {
        EXPECT_EQ(d->characterMask, 0xFFu);
        EXPECT_TRUE(has(Qor::LIST_ELEMENT_ATTACKS, d->elementAttack));
        EXPECT_TRUE(has(Qor::LIST_ELEMENT_ATTACKS, d->burstAttack));
        EXPECT_TRUE(mesh(d->model));
        for (const CWeaponDefinition::BulletRecord& bullet : d->bullets)
            EXPECT_TRUE(has(Qor::LIST_BULLETS, bullet.bullet)) << bullet.bullet;
    }
    for (const CElementAttackDefinition* d : Definitions<CElementAttackDefinition>(c, Qor::LIST_ELEMENT_ATTACKS))
    {
        ASSERT_EQ(d->effectPlayers.size(), 1u) << d->name;
        EXPECT_NE(c.GetEffectList().FindByName(d->effectPlayers[0].container.c_str()), nullptr);
    }
    for (const CItemDefinition* d : Definitions<CItemDefinition>(c, Qor::LIST_ITEMS))
        EXPECT_TRUE(d->effect.empty() || c.GetEffectList().FindByName(d->effect.c_str()) != nullptr);
    const auto stages = Definitions<CStageDefinition>(c, Qor::LIST_STAGES);
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_TRUE(mesh(stages[0]->groundModel) && !stages[0]->groundModel.empty());
    EXPECT_TRUE(mesh(stages[0]->hitModel) && !stages[0]->hitModel.empty());
    EXPECT_NE(c.GetTextureList().FindByFileName(stages[0]->mapPicture.c_str()), nullptr);
    EXPECT_EQ(stages[0]->starts.size(), 8u);
    EXPECT_EQ(stages[0]->placements.size(), 12u);
    for (const CStageDefinition::Placement& placement : stages[0]->placements)
        EXPECT_TRUE(has(Qor::LIST_STAGE_OBJECTS, placement.templateName)) << placement.templateName;
}

std::map<std::string, std::string> Snapshot(const fs::path& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
    {
        if (entry.is_regular_file())
            files[entry.path().lexically_relative(folder).string()] = TempFolder::Read(entry.path());
    }
    return files;
}

std::string PackEntry(const std::string& pack, const std::string& entry)
{
    CkvrPackFile file;
    if (!file.Open(pack.c_str()))
        return "<no pack>";
    const tag_KVRPACKENTRY* found = file.FindEntry(entry.c_str());
    if (found == nullptr)
        return "<no entry>";
    std::string bytes(found->size, '\0');
    if (found->size > 0 && !file.ReadFileTo(entry.c_str(), bytes.data()))
        return "<unreadable>";
    return bytes;
}
}

class DataSetTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<TempFolder>();
        s_graphics = std::make_unique<RenderGraphics>();
        s_sound = std::make_unique<CSound>();
        s_ready = s_graphics->Created() && s_sound->CreateLoopback() == 1;
        if (s_ready)
            s_ready = DataKit::MakeDataSet("", &s_error) == 1;
    }
    static void TearDownTestSuite()
    {
        s_sound.reset();
        s_graphics.reset();
        s_folder.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_ready) << s_error; }
    void TearDown() override { CSafeFileWriter::SetFailAfterWrites(-1); }

    static void ExpectCompleteSet(CResourceController& controller)
    {
        EXPECT_EQ(controller.GetTextureList().GetCount(), kTextures);
        EXPECT_EQ(controller.GetShaderList().GetCount(), 1u);
        EXPECT_EQ(controller.GetSoundList().GetCount(), kSounds);
        EXPECT_EQ(controller.GetSceneList().GetCount(), 1u);
        // The model made by the converter loads through the mesh loader.
        ASSERT_EQ(controller.GetMeshList().GetCount(), CountMeshes());
        EXPECT_NE(dynamic_cast<CMesh*>(controller.GetMeshList().GetData()[0]), nullptr);
        CTexture* select = controller.GetTextureList().FindByFileName("Select_01.dds");
        ASSERT_NE(select, nullptr);
        EXPECT_EQ(select->GetWidth(), 2048u);
        EXPECT_NE(select->GetDeviceTexture(), nullptr);
        for (const char* name : {"Background_01.dds", "Console_01.dds", "Network_01.dds", "CircleLogo_01.dds",
                                 "Shadow.dds", "ColorKey_01.png"})
            EXPECT_NE(controller.GetTextureList().FindByFileName(name), nullptr) << name;
        for (const char* name : {"Se_cancel.ogg", "Se_decide.ogg", "Se_select.ogg", "Se_announce.wav"})
            EXPECT_NE(controller.GetSoundList().FindByFileName(name), nullptr) << name;
        CSoundBuffer* music = controller.GetSoundList().FindByFileName("Bgm_option.ogg");
        ASSERT_NE(music, nullptr);
        // Loop points up to 7.717 s lie inside the music.
        EXPECT_GT(music->GetDuration(), 10.0f);
        EXPECT_NE(controller.GetShaderList().GetItem(0)->GetEffect(), nullptr);
        // The effect container finds its texture and sound by name.
        auto* hit = dynamic_cast<CEffectContainer*>(controller.GetEffectList().FindByName("Efc_hit"));
        ASSERT_NE(hit, nullptr);
        EXPECT_EQ(hit->GetObjectList()->GetItem(0)->GetResource(),
                  controller.GetTextureList().FindByFileName("Shadow.dds"));
        EXPECT_EQ(hit->GetObjectList()->GetItem(1)->GetResource(),
                  controller.GetSoundList().FindByFileName("Se_decide.ogg"));
    }

    static std::unique_ptr<TempFolder> s_folder;
    static std::unique_ptr<RenderGraphics> s_graphics;
    static std::unique_ptr<CSound> s_sound;
    static bool s_ready;
    static std::string s_error;
};

std::unique_ptr<TempFolder> DataSetTest::s_folder;
std::unique_ptr<RenderGraphics> DataSetTest::s_graphics;
std::unique_ptr<CSound> DataSetTest::s_sound;
bool DataSetTest::s_ready = false;
std::string DataSetTest::s_error;

TEST_F(DataSetTest, LooseAndPackedSetsLoadCompletely)
{
    CDataKitController loose(kId);
    ASSERT_EQ(loose.Load("Source\\GameResource.grc", 1), 1) << loose.GetLastError();
    ExpectCompleteSet(loose);
    EXPECT_EQ(loose.GetPackList().GetCount(), 0u);
    EXPECT_NE(loose.GetTextureList().FindByName("Texture\\Shadow.dds"), nullptr);
    EXPECT_EQ(loose.GetOtherNames(), OtherRecords(false));

    CDataKitController packed(kId);
    ASSERT_EQ(packed.Load("GameResource.grc", 1), 1) << packed.GetLastError();
    ExpectCompleteSet(packed);
    EXPECT_EQ(packed.GetPackList().GetCount(), 4u);
    EXPECT_NE(packed.GetSoundList().FindByName("Sound\\Bgm_custom.ogg"), nullptr);
    EXPECT_EQ(packed.GetOtherNames(), OtherRecords(true));
    std::vector<std::string> records = {"Data\\Texture.gpk", "Data\\Shader.gpk", "Data\\Mesh.gpk",
                                        "Data\\Sound.gpk",   "Effect\\Efc_hit.efc"};
    for (const NamedFiles::NamedFile& effect : NamedFiles::Effects())
        records.push_back(effect.name);
    records.push_back("Scene\\Title.sce");
    for (const std::string& other : OtherRecords(true))
        records.push_back(other);
    records.push_back("EOF");
    EXPECT_EQ(RecordsOf(TempFolder::Read("GameResource.grc")), records);
}

TEST_F(DataSetTest, NamesOnlyLoadMakesNoDeviceResources)
{
    CDataKitController controller(kId);
    ASSERT_EQ(controller.Load("GameResource.grc", 0), 1) << controller.GetLastError();
    EXPECT_EQ(controller.GetPackList().GetCount(), 4u);
    EXPECT_EQ(controller.GetTextureList().GetCount(), 0u);
    EXPECT_EQ(controller.GetSoundList().GetCount(), 0u);
    EXPECT_EQ(controller.GetShaderList().GetCount(), 0u);
    EXPECT_EQ(controller.GetSceneList().GetCount(), 1u);

    CDataKitController loose(kId);
    ASSERT_EQ(loose.Load("Source\\GameResource.grc", 0), 1);
    EXPECT_EQ(loose.GetTextureList().GetCount(), 0u);
    // The device records reached the hook instead (the scene and the effect
    // container load themselves).
    EXPECT_EQ(loose.GetOtherNames().size(), DataKit::LooseRecords().size() - 2 - NamedFiles::Effects().size());
}

TEST_F(DataSetTest, PackedBytesAreTheSourceBytes)
{
    for (const std::string& record : DataKit::LooseRecords())
    {
        const std::string file = record.substr(record.rfind('\\') + 1);
        const std::string source = TempFolder::Read("Source/" + CPathResolver::ToNativeName(record.c_str()));
        if (record.rfind("Texture\\", 0) == 0)
            EXPECT_EQ(PackEntry("Data/Texture.gpk", "Texture\\" + file), source) << record;
        else if (record.rfind("Model\\", 0) == 0)
            EXPECT_EQ(PackEntry("Data/Mesh.gpk", "Mesh\\" + file), source) << record;
        else if (record.rfind("Shader\\", 0) == 0)
            EXPECT_EQ(PackEntry("Data/Shader.gpk", "Shader\\" + file), source) << record;
        else if (record.rfind("Sound\\", 0) == 0 || record.rfind("Bgm\\", 0) == 0)
            EXPECT_EQ(PackEntry("Data/Sound.gpk", "Sound\\" + file), source) << record;
        else
        {
            // Story and mission texts are packed in their binary forms.
            std::string name = record;
            std::vector<uint8_t> bytes(source.begin(), source.end());
            std::string error;
            ASSERT_TRUE(StoryDataKit::ToPackedForm(&name, &bytes, &error)) << error;
            EXPECT_EQ(TempFolder::Read(CPathResolver::ToNativeName(name.c_str())),
                      std::string(bytes.begin(), bytes.end()))
                << record;
        }
    }
}

TEST_F(DataSetTest, SoundVoicesAndFlagsFollowTheSettings)
{
    CDataKitController packed(kId);
    ASSERT_EQ(packed.Load("GameResource.grc", 1), 1);
    CSoundBuffer* music = packed.GetSoundList().FindByFileName("Bgm_option.ogg");
    CSoundBuffer* effect = packed.GetSoundList().FindByFileName("Se_decide.ogg");
    ASSERT_TRUE(music != nullptr && effect != nullptr);
    EXPECT_EQ(music->GetVoiceCount(), 1u);
    EXPECT_EQ(music->GetFlags(), 0x100u);
    EXPECT_EQ(effect->GetVoiceCount(), 10u);
    EXPECT_EQ(effect->GetFlags(), 0x12u);

    const uint32_t settings[5] = {kId, 1, 1, 1, 4};
    CDataKitController game(settings);
    ASSERT_EQ(game.Load("GameResource.grc", 1), 1);
    EXPECT_EQ(game.GetSoundList().FindByFileName("Bgm_option.ogg")->GetFlags(), 0u);
    EXPECT_EQ(game.GetSoundList().FindByFileName("Se_decide.ogg")->GetFlags(), 0x42u);
    EXPECT_EQ(game.GetSoundList().FindByFileName("Se_decide.ogg")->GetVoiceCount(), 4u);

    // A loose sound can play: it gets the voices of any other sound.
    CDataKitController loose(kId);
    ASSERT_EQ(loose.Load("Source\\Sound\\Se_cancel.ogg", 1), 1);
    CSoundBuffer* single = loose.GetSoundList().GetItem(0);
    EXPECT_EQ(single->GetVoiceCount(), 10u);
    EXPECT_EQ(single->PlayVoice(0, 0.0f, 1), 0); // the first voice
}

TEST_F(DataSetTest, StreamedMusicOutlivesItsPack)
{
    fs::create_directories("Stream");
    fs::copy("Data", "Stream/Data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    CResourceController controller(kId);
    ASSERT_EQ(controller.Load("Stream\\Data\\Sound.gpk", 1), 1) << controller.GetLastError();
    CSoundBuffer* music = controller.GetSoundList().FindByFileName("Bgm_custom.ogg");
    ASSERT_NE(music, nullptr);
    ASSERT_EQ(music->GetFlags() & CSoundBuffer::FLAG_STATIC, 0u);
    // The pack goes away and its file is overwritten.
    TempFolder::Write("Stream/Data/Sound.gpk", std::string(64, '\0'));
    ASSERT_NE(music->GetStreamImage(), nullptr);
    const std::string kept(music->GetStreamImage()->begin(), music->GetStreamImage()->end());
    EXPECT_EQ(kept, TempFolder::Read("Source/Bgm/Bgm_custom.ogg"));

    ASSERT_EQ(music->PlayVoice(0, 0.0f, 1), 0); // the first voice
    std::vector<int16_t> out(22050 * 2);
    ASSERT_EQ(s_sound->RenderLoopback(out.data(), 22050), 1);
    int peak = 0;
    for (int16_t sample : out)
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    EXPECT_GT(peak, 1000);
    music->StopAll(1);
}

TEST_F(DataSetTest, MixedSetSavesAndReloads)
{
    TempFolder::Write("Mixed.grc",
                      ListBytes({"Data\\Texture.gpk", "Source\\Sound\\Se_cancel.ogg", "Source\\Bgm\\Bgm_option.ogg",
                                 "Source\\Shader\\Default.fx"}));
    CResourceController mixed(kId);
    ASSERT_EQ(mixed.Load("Mixed.grc", 1), 1) << mixed.GetLastError();
    EXPECT_EQ(mixed.GetTextureList().GetCount(), kTextures);
    EXPECT_EQ(mixed.GetSoundList().GetCount(), 2u);
    ASSERT_EQ(mixed.SaveTo("Remix\\Game.grc"), 1) << mixed.GetLastError();

    CResourceController reloaded(kId);
    ASSERT_EQ(reloaded.Load("Remix\\Game.grc", 1), 1) << reloaded.GetLastError();
    EXPECT_EQ(reloaded.GetTextureList().GetCount(), kTextures);
    EXPECT_EQ(reloaded.GetSoundList().GetCount(), 2u);
    EXPECT_EQ(reloaded.GetShaderList().GetCount(), 1u);
    EXPECT_EQ(PackEntry("Remix/Data/Sound.gpk", "Sound\\Bgm_option.ogg"),
              TempFolder::Read("Source/Bgm/Bgm_option.ogg"));
    EXPECT_EQ(PackEntry("Remix/Data/Texture.gpk", "Texture\\ColorKey_01.png"),
              TempFolder::Read("Source/Texture/ColorKey_01.png"));
}

TEST_F(DataSetTest, SaveOverTheLoadedPacksKeepsTheData)
{
    fs::create_directories("Copy");
    for (const char* item : {"GameResource.grc", "Data", "Effect", "Scene", "Font", "Attack", "Bullet", "Character",
                             "Clothes", "Element", "Item", "Object", "Stage", "Weapon", "Story", "Mission"})
        fs::copy(item, fs::path("Copy") / item, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    const std::string select = TempFolder::Read("Source/Texture/Select_01.dds");

    CDataKitController controller(kId);
    ASSERT_EQ(controller.Load("Copy\\GameResource.grc", 1), 1);
    for (int round = 0; round < 2; ++round)
    {
        ASSERT_EQ(controller.SaveTo("Copy\\GameResource.grc"), 1) << controller.GetLastError();
        EXPECT_EQ(PackEntry("Copy/Data/Texture.gpk", "Texture\\Select_01.dds"), select);
        CDataKitController reloaded(kId);
        ASSERT_EQ(reloaded.Load("Copy\\GameResource.grc", 1), 1) << reloaded.GetLastError();
        ExpectCompleteSet(reloaded);
    }

    // A save that fails half way leaves the set as it was.
    const auto before = Snapshot("Copy");
    CSafeFileWriter::SetFailAfterWrites(5);
    EXPECT_EQ(controller.SaveTo("Copy\\GameResource.grc"), 0);
    CSafeFileWriter::SetFailAfterWrites(-1);
    EXPECT_EQ(Snapshot("Copy"), before);
}

TEST_F(DataSetTest, GameControllerLoadsTheWholeSetWithContents)
{
    for (const char* list : {"GameResource.grc", "Source\\GameResource.grc"})
    {
        SCOPED_TRACE(list);
        Qor controller;
        ASSERT_EQ(controller.Load(list, 1), 1) << controller.GetLastError();
        ExpectCompleteSet(controller);
        for (const auto& [kind, count] : kGameCounts)
            EXPECT_EQ(GameCount(controller, kind), count) << int(kind);
        for (const char* name : {"Aria", "Guide", "Rifle", "Launcher", "Sabre", "Carbine", "Hat", "Coat",
                                 "Bullet_rifle", "Bullet_jem_dark", "Coin", "Juel", "Element_light", "Ema_Guide",
                                 "Ela_claymore", "Altar_water", "Box_weapon", "Platform", "Stand-in Arena"})
        {
            bool found = false;
            for (uint8_t kind = Qor::LIST_BULLETS; kind <= Qor::LIST_ELEMENTS; ++kind)
                found = found || GameList(controller, kind).FindByName(name) != nullptr;
            EXPECT_TRUE(found) << name;
        }
        ExpectReferencesResolve(controller);
    }
}

TEST_F(DataSetTest, GameControllerKeepsTheSetByNamesWithoutContents)
{
    Qor controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 0), 1) << controller.GetLastError();
    for (const auto& [kind, count] : kGameCounts)
        EXPECT_EQ(GameCount(controller, kind), count) << int(kind);
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
        EXPECT_NE(GameList(controller, static_cast<uint8_t>(Qor::ListOfName(file.name.c_str())))
                      .FindByName(file.name.c_str()),
                  nullptr)
            << file.name;
    EXPECT_EQ(controller.GetTextureList().GetCount(), 0u);
}

TEST_F(DataSetTest, WritingTheSetTwiceGivesTheSameBytes)
{
    std::string error;
    ASSERT_EQ(DataKit::WriteLooseSet("Again", &error), 1) << error;
    const auto first = Snapshot("Source");
    const auto second = Snapshot("Again");
    ASSERT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second);
    // The game data is what its definitions save.
    for (const GameDataKit::GameFile& file : GameDataKit::Files())
        EXPECT_EQ(TempFolder::Read("Again/" + CPathResolver::ToNativeName(file.name.c_str())),
                  std::string(file.bytes.begin(), file.bytes.end()))
            << file.name;
}

TEST_F(DataSetTest, ArenaModelsHoldFightersOnTheFloorAndRampAndInsideTheWalls)
{
    Qor controller;
    ASSERT_EQ(controller.Load("GameResource.grc", 1), 1) << controller.GetLastError();
    auto* ground = dynamic_cast<CMesh*>(controller.GetMeshList().FindByFileName(GameDataKit::kGroundModel));
    auto* hit = dynamic_cast<CMesh*>(controller.GetMeshList().FindByFileName(GameDataKit::kHitModel));
    ASSERT_TRUE(ground != nullptr && hit != nullptr);
    // The ground's objects carry block grids, which the stage's hit tests walk.
    ASSERT_GT(ground->GetObjectList()->GetCount(), 0u);
    EXPECT_NE(ground->GetObjectList()->GetItem(0)->GetBlocks(), nullptr);

    auto down = [ground](float x, float z, CkvrVector3* point, CkvrVector3* normal) {
        const CkvrVector3 start(x, 20.0f, z);
        const CkvrVector3 end(x, -20.0f, z);
        return HitSegmentModelGrid(&start, &end, ground, HIT_SIDE_FRONT, point, normal, nullptr, nullptr);
    };
    CkvrVector3 point;
    CkvrVector3 normal;
    // The floor faces up from corner to corner.
    for (const auto& [x, z] : std::vector<std::pair<float, float>>{{0, 0}, {-49, -49}, {49, 49}, {-30, 40}})
    {
        ASSERT_EQ(down(x, z, &point, &normal), 1u) << x << "," << z;
        EXPECT_NEAR(point.y, 0.0f, 1e-4f);
        EXPECT_NEAR(normal.y, 1.0f, 1e-4f);
    }
    EXPECT_EQ(down(51.0f, 0.0f, &point, &normal), 0u);
    // Half way up the ramp stands 2 high.
    ASSERT_EQ(down(15.0f, 0.0f, &point, &normal), 1u);
    EXPECT_NEAR(point.y, 2.0f, 1e-3f);
    EXPECT_GT(normal.y, 0.9f);

    // Each wall stops a fighter walking out from the middle.
    for (const CkvrVector3& target : {CkvrVector3(60, 1, 0), CkvrVector3(-60, 1, 0), CkvrVector3(0, 1, 60),
                                      CkvrVector3(0, 1, -60)})
    {
        const CkvrVector3 start(0.0f, 1.0f, 0.0f);
        ASSERT_EQ(HitSegmentModelGrid(&start, &target, hit, HIT_SIDE_FRONT, &point, &normal, nullptr, nullptr), 1u);
        EXPECT_NEAR(std::max(std::abs(point.x), std::abs(point.z)), 50.0f, 1e-3f);
        // The wall faces the fighter.
        EXPECT_LT(normal.x * target.x + normal.z * target.z, 0.0f);
    }
}
