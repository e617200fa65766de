// The battle's effect seam on the real effect controller and sound device:
// events start their named containers where they happen, names the set
// lacks play nothing, attack effects turn with the fighter, and voices are
// heard through OpenAL's loopback device.
#include "game/actor/CActorEffects.h"

#include "engine/effect/CEffect.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/effect/CEffectController.h"
#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/resource/CResourceController.h"
#include "game/actor/CActorResources.h"
#include "game/actor/CEffectPlayerRecord.h"
#include "tests/engine/platform/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace
{
using namespace soundtest;

// A container of one endless object that draws nothing.
CEffectContainer* MakeContainer(const char* name)
{
    auto* container = new CEffectContainer(name);
    auto* object = new CEffectObject();
    object->SetName("Mark");
    object->GetParameters()->length = 1.0f;
    container->AddObject(object);
    return container;
}

uint32_t LiveEffects(const CEffectController& controller)
{
    uint32_t count = 0;
    for (CEffect* effect = controller.GetFirstEffect(); effect != nullptr; effect = effect->GetNextLive())
        ++count;
    return count;
}

class ActorEffects : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_EQ(m_effects.Initialize(nullptr, 32, 64), 1);
        CActorResources::Install(&m_resources);
    }
    void TearDown() override
    {
        CActorResources::Install(nullptr);
        m_effects.Clear();
        m_resources.Release();
        SoundTest::TearDown();
    }
    CEffectContainer* Add(const char* name)
    {
        CEffectContainer* container = MakeContainer(name);
        EXPECT_TRUE(m_resources.GetEffectList().Add(container));
        return container;
    }
    CSoundBuffer* AddSound(const char* name)
    {
        auto* buffer = new CSoundBuffer();
        // The kind of file goes by the name's extension.
        const bool ogg = std::string(name).ends_with(".ogg");
        const std::vector<uint8_t> wave =
            ogg ? MakeOgg(Sine(1.0, 440.0, 0.5, 1), 1) : MakeWave(Sine(1.0, 440.0, 0.5, 1), 1);
        EXPECT_EQ(buffer->LoadFromMemory(wave.data(), name, static_cast<uint32_t>(wave.size()), 2,
                                         CSoundBuffer::FLAG_STATIC | CSoundBuffer::FLAG_CTRL3D),
                  1);
        EXPECT_TRUE(m_resources.GetSoundList().Add(buffer));
        return buffer;
    }

    CResourceController m_resources;
    CEffectController m_effects;
};
}

TEST_F(ActorEffects, EventsFindTheirContainersByNameInOrder)
{
    for (uint32_t event = 0; event < IActorEffects::EVENT_COUNT; ++event)
        Add(IActorEffects::kEventEffectNames[event]);
    for (uint32_t event = 0; event < IActorEffects::EVENT_COUNT; ++event)
    {
        CEffectContainer* found = CActorEffects::FindEventEffect(event);
        ASSERT_NE(found, nullptr) << event;
        EXPECT_STREQ(found->GetName(), IActorEffects::kEventEffectNames[event]);
    }
    EXPECT_STREQ(IActorEffects::kEventEffectNames[IActorEffects::EVENT_ELEMENTAL_JUMP], "Efc_elementaljump");
    EXPECT_STREQ(IActorEffects::kEventEffectNames[IActorEffects::EVENT_ITEM_POWER], "Efc_item_pouwer");
    EXPECT_EQ(CActorEffects::FindEventEffect(IActorEffects::EVENT_COUNT), nullptr);
    EXPECT_EQ(CActorEffects::FindEventEffect(IActorEffects::EVENT_CHANGE_SOUND), nullptr);
    // Items of kinds 0-5 have their own effect, coins and jewels the plain one.
    EXPECT_EQ(IActorEffects::ItemEvent(0), uint32_t(IActorEffects::EVENT_ITEM_POWER));
    EXPECT_EQ(IActorEffects::ItemEvent(5), uint32_t(IActorEffects::EVENT_ITEM_AMMO));
    EXPECT_EQ(IActorEffects::ItemEvent(6), uint32_t(IActorEffects::EVENT_ITEM_SET));
    EXPECT_EQ(IActorEffects::ItemEvent(7), uint32_t(IActorEffects::EVENT_ITEM_SET));
}

TEST_F(ActorEffects, AnEventStartsItsContainerWhereItHappens)
{
    CEffectContainer* dash = Add("Efc_dash");
    CActorEffects actor(&m_effects);
    const CkvrVector3 at(3.0f, 0.5f, -7.0f);
    actor.PlayEvent(IActorEffects::EVENT_DASH, 2, at);
    ASSERT_EQ(LiveEffects(m_effects), 1u);
    CEffect* effect = actor.GetLastEffect().Get();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->GetEffectObject(), dash->GetObjectList()->GetItem(0));
    EXPECT_EQ(effect->GetPlayVectors()->x, at.x);
    EXPECT_EQ(effect->GetPlayVectors()->y, at.y);
    EXPECT_EQ(effect->GetPlayVectors()->z, at.z);

    // Names the set lacks, events past the table and the change sound
    // without its file start nothing.
    actor.PlayEvent(IActorEffects::EVENT_STEP, 0, at);
    actor.PlayEvent(IActorEffects::EVENT_COUNT, 0, at);
    actor.PlayEvent(IActorEffects::EVENT_CHANGE_SOUND, 0, at);
    EXPECT_EQ(LiveEffects(m_effects), 1u);

    // Without an effect controller nothing plays at all.
    CActorEffects none(nullptr);
    none.PlayEvent(IActorEffects::EVENT_DASH, 0, at);
    CEffectPlayerRecord record;
    record.container = "Efc_dash";
    none.PlayAttackEffect(record, 0, at, 0.0f);
    EXPECT_EQ(LiveEffects(m_effects), 1u);
    EXPECT_EQ(none.GetLastEffect().Get(), nullptr);
}

TEST_F(ActorEffects, AttackEffectsPlayInTheWorldOrTurnedWithTheFighter)
{
    Add("Efc_slash");
    CActorEffects actor(&m_effects);
    CEffectPlayerRecord record;
    record.container = "Efc_slash";
    record.position = CkvrVector3(0.0f, 1.0f, 2.0f);
    const CkvrVector3 fighter(10.0f, 0.0f, 5.0f);

    record.attachMode = 0;
    actor.PlayAttackEffect(record, 0, fighter, 90.0f);
    ASSERT_NE(actor.GetLastEffect().Get(), nullptr);
    EXPECT_EQ(actor.GetLastEffect().Get()->GetPlayVectors()->x, 0.0f);
    EXPECT_EQ(actor.GetLastEffect().Get()->GetPlayVectors()->z, 2.0f);

    // Facing yaw 90 the offset ahead (+z) lies along +x; a bone, which the
    // simulation never reads, places it like the fighter.
    for (uint32_t mode : {1u, 2u})
    {
        record.attachMode = mode;
        actor.PlayAttackEffect(record, 0, fighter, 90.0f);
        CEffect* effect = actor.GetLastEffect().Get();
        ASSERT_NE(effect, nullptr);
        EXPECT_NEAR(effect->GetPlayVectors()->x, 12.0f, 1e-5f) << mode;
        EXPECT_NEAR(effect->GetPlayVectors()->y, 1.0f, 1e-6f) << mode;
        EXPECT_NEAR(effect->GetPlayVectors()->z, 5.0f, 1e-5f) << mode;
        EXPECT_NEAR(effect->GetStartDirection()->y, 90.0f, 1e-5f) << mode;
    }
    record.container = "Efc_missing";
    const CEffectHandle before = actor.GetLastEffect();
    actor.PlayAttackEffect(record, 0, fighter, 0.0f);
    EXPECT_EQ(LiveEffects(m_effects), 3u);
    EXPECT_EQ(actor.GetLastEffect().Get(), before.Get());
}

TEST_F(ActorEffects, VoicesAndTheChangeSoundAreHeardAtTheirVolume)
{
    CListener listener(&m_sound, CListener::MODE_SOFTWARE);
    ASSERT_EQ(listener.Apply(), 1);
    CSoundBuffer* voice = AddSound("Sound\\Vo_hit.wav");
    CActorEffects actor(&m_effects);
    const std::vector<std::string> voices = {"", "Vo_hit.wav", "Vo_missing.ogg"};
    actor.SetFighterVoices(1, &voices);
    const CkvrVector3 near(0.0f, 0.0f, 1.0f);

    // Entries that are empty, missing from the set or past the table, a
    // fighter without a table and a silent setting play nothing.
    actor.PlayVoice(1, 0, 0, near);
    actor.PlayVoice(1, 2, 0, near);
    actor.PlayVoice(1, 3, 0, near);
    actor.PlayVoice(0, 1, 0, near);
    actor.PlayVoice(1, 1, -10000, near);
    EXPECT_EQ(voice->IsVoicePlaying(0), 0);
    EXPECT_LT(Peak(Render(0.1), 0, 0, 4410), 100);

    actor.PlayVoice(1, 1, -600, near);
    EXPECT_EQ(voice->IsVoicePlaying(0), 1);
    EXPECT_EQ(voice->GetVolume(0), -600);
    EXPECT_GT(Peak(Render(0.2), 0, 0, 8820), 1000);
    voice->StopAll(1);

    // The change sound plays at the effect controller's volume.
    CSoundBuffer* change = AddSound("Sound\\Se_change_01.ogg");
    m_effects.GetSoundSettings()->volume = -300;
    actor.PlayEvent(IActorEffects::EVENT_CHANGE_SOUND, 1, near);
    EXPECT_EQ(change->IsVoicePlaying(0), 1);
    EXPECT_EQ(change->GetVolume(0), -300);
    EXPECT_GT(Peak(Render(0.2), 1, 0, 8820), 1000);
    change->StopAll(1);
}
