// The files the battle and the scenes look up by fixed names are in the
// stand-in set and load: event effects, sounds, music long enough for its
// loop points, the ready/go voices, the characters' voices and the font
// faces of fonts 0 and 1.
#include "engine/effect/CEffectContainer.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/render/CTexture.h"
#include "engine/render/FontFace.h"
#include "game/actor/CCharacterDefinition.h"
#include "game/actor/CGameDataResource.h"
#include "game/actor/IActorEffects.h"
#include "game/app/CQorResourceController.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/render/RenderGraphics.h"
#include "tests/engine/resource/BuildDataSet.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/NamedFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace
{
using Qor = CQorResourceController;

class NamedFilesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_folder = std::make_unique<TempFolder>();
        s_graphics = std::make_unique<RenderGraphics>();
        s_sound = std::make_unique<CSound>();
        s_ready = s_graphics->Created() && s_sound->CreateLoopback() == 1 &&
                  restest::LinkBuildSet(s_folder->Path(), &s_error) == 1;
        if (s_ready)
        {
            s_game = std::make_unique<Qor>();
            s_ready = s_game->Load("GameResource.grc", 1) == 1;
            s_error += s_game->GetLastError();
        }
    }
    static void TearDownTestSuite()
    {
        s_game.reset();
        s_sound.reset();
        s_graphics.reset();
        s_folder.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_ready) << s_error; }

    static CSoundBuffer* Sound(const char* name) { return s_game->GetSoundList().FindByFileName(name); }

    static std::unique_ptr<TempFolder> s_folder;
    static std::unique_ptr<RenderGraphics> s_graphics;
    static std::unique_ptr<CSound> s_sound;
    static std::unique_ptr<Qor> s_game;
    static bool s_ready;
    static std::string s_error;
};

std::unique_ptr<TempFolder> NamedFilesTest::s_folder;
std::unique_ptr<RenderGraphics> NamedFilesTest::s_graphics;
std::unique_ptr<CSound> NamedFilesTest::s_sound;
std::unique_ptr<Qor> NamedFilesTest::s_game;
bool NamedFilesTest::s_ready = false;
std::string NamedFilesTest::s_error;
}

TEST_F(NamedFilesTest, TheSeventeenEventEffectsLoadInTheBattlesOrder)
{
    CTexture* shadow = s_game->GetTextureList().FindByFileName("Shadow.dds");
    ASSERT_NE(shadow, nullptr);
    int32_t previous = -1;
    for (const char* name : IActorEffects::kEventEffectNames)
    {
        auto* container = dynamic_cast<CEffectContainer*>(s_game->GetEffectList().FindByName(name));
        ASSERT_NE(container, nullptr) << name;
        ASSERT_GT(container->GetObjectList()->GetCount(), 0u) << name;
        EXPECT_EQ(container->GetObjectList()->GetItem(0)->GetResource(), shadow) << name;
        // Listed in the battle's order, after the hit effect.
        int32_t index = -1;
        for (uint32_t i = 0; i < s_game->GetEffectList().GetCount(); ++i)
            if (s_game->GetEffectList().GetData()[i] == container)
                index = static_cast<int32_t>(i);
        EXPECT_GT(index, previous) << name;
        previous = index;
    }
    EXPECT_EQ(s_game->GetEffectList().GetCount(), 1u + IActorEffects::EVENT_COUNT);
}

TEST_F(NamedFilesTest, MusicLastsPastEveryLoopPoint)
{
    std::vector<NamedFiles::MusicTrack> tracks(std::begin(NamedFiles::kBattleTracks),
                                               std::end(NamedFiles::kBattleTracks));
    tracks.insert(tracks.end(), std::begin(NamedFiles::kResultTracks), std::end(NamedFiles::kResultTracks));
    ASSERT_EQ(tracks.size(), 13u);
    for (const NamedFiles::MusicTrack& track : tracks)
    {
        CSoundBuffer* music = Sound(track.name);
        ASSERT_NE(music, nullptr) << track.name;
        EXPECT_GE(music->GetDuration(), 16.0f) << track.name;
        EXPECT_GT(music->GetDuration(), track.loopSeconds + 0.5f) << track.name;
    }
    EXPECT_FLOAT_EQ(NamedFiles::kBattleTracks[3].loopSeconds, 15.705f);
}

TEST_F(NamedFilesTest, SoundsVoicesAndFontFacesAreThere)
{
    for (const char* name : {NamedFiles::kChangeSound, NamedFiles::kAnnounceSound, "Se_change_01.ogg",
                             "Se_annouce.ogg"})
    {
        ASSERT_NE(Sound(name), nullptr) << name;
        EXPECT_GT(Sound(name)->GetDuration(), 0.1f) << name;
    }
    EXPECT_STREQ(IActorEffects::kChangeSoundName, NamedFiles::kChangeSound);
    for (const auto& pair : NamedFiles::kReadyVoices)
        for (const char* voice : pair)
            EXPECT_NE(Sound(voice), nullptr) << voice;
    EXPECT_NE(Sound("Vo_alptraum_go.ogg"), nullptr);

    // Every voice a stand-in character names.
    CResourceList<CResourceBase*>& characters =
        *static_cast<CResourceList<CResourceBase*>*>(s_game->GetList(Qor::LIST_CHARACTERS));
    ASSERT_EQ(characters.GetCount(), GameDataKit::kCharacters);
    for (uint32_t i = 0; i < characters.GetCount(); ++i)
    {
        const auto* c = dynamic_cast<const CGameDataResource<CCharacterDefinition>*>(characters.GetData()[i]);
        ASSERT_NE(c, nullptr);
        for (const std::string& voice : c->GetDefinition().voices)
            EXPECT_TRUE(voice.empty() || Sound(voice.c_str()) != nullptr) << voice;
    }
    EXPECT_NE(Sound(GameDataKit::kVoice), nullptr);

    // Fonts 0 and 1: a face name a line, each opening a face (the Japanese
    // fallback where the machine lacks it).
    const std::string faces = TempFolder::Read("Source/Font/FontFace.txt");
    std::vector<std::string> lines;
    for (size_t at = 0; at < faces.size();)
    {
        const size_t end = faces.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        lines.push_back(faces.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& face : lines)
    {
        FontFace font;
        EXPECT_TRUE(font.Open(face.c_str(), 24, 900, nullptr)) << face;
    }
}
