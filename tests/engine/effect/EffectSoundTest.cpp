#include "tests/engine/effect/EffectTestUtil.h"

#include "engine/platform/sound/CSoundBuffer.h"
#include "tests/engine/platform/SoundTestUtil.h"

using namespace effecttest;
using namespace soundtest;

namespace
{
// Sound keys at 0.5 s (sounding) and 1.0 s (value 0, silent), on a sound
// object that rides beside a two-second carrier object.
class EffectSound : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        SetFrameTime(kFrameMs);
        ASSERT_EQ(controller.Initialize(nullptr, 8, 8), 1);
        controller.GetSoundSettings()->volume = -200;
        controller.GetSoundSettings()->distance = 10.0f;
        const std::vector<uint8_t> wave = MakeWave(Sine(2.0, 440.0, 0.5, 1), 1);
        ASSERT_EQ(buffer.LoadFromMemory(wave.data(), "Hit.wav", static_cast<uint32_t>(wave.size()), 2,
                                        CSoundBuffer::FLAG_STATIC | CSoundBuffer::FLAG_CTRL3D),
                  1);
        container.AddObject(MakeObject("Carrier", 0, 2.0f));
        CEffectObject* sound = MakeObject("Sound", 0, 0.0f);
        sound->SetResource(&buffer);
        sound->GetParameters()->volumeOffset = -100;
        AddKey(sound->GetPlayTrack(), 0.5f, 1.0f);
        AddKey(sound->GetPlayTrack(), 1.0f, 0.0f);
        container.AddObject(sound);
    }
    void TearDown() override
    {
        controller.ReleaseAll();
        container.Release();
        buffer.Release();
        SoundTest::TearDown();
    }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            controller.Update(0);
    }

    CEffectController controller;
    CEffectContainer container{"Efc_sound"};
    CSoundBuffer buffer;
};
}

TEST_F(EffectSound, PlayKeyReachesAVoiceAtItsTime)
{
    EXPECT_EQ(container.GetObjectList()->GetItem(1)->GetParameters()->kind, 2) << "kind from the sound's name";
    const CkvrVector3 at(0, 0, 5);
    ASSERT_NE(container.Play(&controller, &at, 1), nullptr);
    Frames(1);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
    Frames(1);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    EXPECT_EQ(buffer.GetVolume(0), -300) << "controller volume plus the object's offset";
    Frames(2);
    EXPECT_EQ(buffer.IsVoicePlaying(1), 0) << "a key of value 0 only gates";
    Render(0.1);
}

TEST_F(EffectSound, SilentControllerPlaysNothing)
{
    controller.GetSoundSettings()->volume = -10000;
    container.Play(&controller, 1);
    Frames(4);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
    EXPECT_EQ(buffer.IsVoicePlaying(1), 0);
}
