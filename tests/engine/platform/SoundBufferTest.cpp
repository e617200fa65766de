#include "engine/platform/sound/CListener.h"
#include "engine/platform/sound/CSoundBuffer.h"

#include "tests/engine/platform/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace soundtest;

namespace
{
constexpr double kAmplitude = 0.5;
const int kFullPeak = static_cast<int>(kAmplitude * 32767);

class SoundBuffer : public SoundTest
{
protected:
    int LoadSine(CSoundBuffer& buffer, uint16_t channels, uint32_t voices, uint32_t flags, double seconds = 1.0)
    {
        const std::vector<uint8_t> wave = MakeWave(Sine(seconds, 440.0, kAmplitude, channels), channels);
        return buffer.LoadFromMemory(wave.data(), "Sine.wav", static_cast<uint32_t>(wave.size()), voices, flags);
    }
};
}

TEST_F(SoundBuffer, VolumeInHundredthsOfADecibel)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC), 1);
    EXPECT_EQ(buffer.GetFlag(), CResourceBase::KIND_SOUND_BUFFER);
    EXPECT_STREQ(buffer.GetName(), "Sine.wav");
    EXPECT_NEAR(buffer.GetDuration(), 1.0f, 1e-4f);
    ASSERT_EQ(buffer.PlayWithVolume(-600, 0, -1.0f, 1), 0);
    const std::vector<int16_t> out = Render(0.5);
    // -6 dB is half the amplitude, on both sides alike.
    const double expected = kFullPeak * std::pow(10.0, -600.0 / 2000.0);
    EXPECT_NEAR(Peak(out, 0, 4410, 22050), expected, expected * 0.05);
    EXPECT_NEAR(Peak(out, 1, 4410, 22050), expected, expected * 0.05);
}

TEST_F(SoundBuffer, CentredVoiceHasFullGainOnBothSides)
{
    for (uint16_t channels : {1, 2})
    {
        CSound fresh;
        ASSERT_EQ(fresh.CreateLoopback(), 1);
        CSoundBuffer buffer;
        ASSERT_EQ(LoadSine(buffer, channels, 1, CSoundBuffer::FLAG_STATIC), 1);
        ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
        std::vector<int16_t> out(2 * 22050);
        ASSERT_EQ(fresh.RenderLoopback(out.data(), 22050), 1);
        EXPECT_NEAR(Peak(out, 0, 4410, 22050), kFullPeak, kFullPeak * 0.02) << channels;
        EXPECT_NEAR(Peak(out, 1, 4410, 22050), kFullPeak, kFullPeak * 0.02) << channels;
        buffer.Release();
    }
}

TEST_F(SoundBuffer, FullPanSilencesTheOtherSide)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 2, CSoundBuffer::FLAG_STATIC), 1);
    ASSERT_EQ(buffer.SetPan(0, 10000), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    std::vector<int16_t> out = Render(0.5);
    const int right = Peak(out, 1, 4410, 22050);
    const int left = Peak(out, 0, 4410, 22050);
    EXPECT_NEAR(right, kFullPeak, kFullPeak * 0.02);
    EXPECT_LT(left, right / 100); // below -40 dB

    // A half pan lowers only the far side, by the pan in hundredths of a dB.
    buffer.Stop(0, 1);
    ASSERT_EQ(buffer.SetPan(0, -600), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    out = Render(0.5);
    EXPECT_NEAR(Peak(out, 0, 4410, 22050), kFullPeak, kFullPeak * 0.02);
    EXPECT_NEAR(Peak(out, 1, 4410, 22050), kFullPeak * 0.501, kFullPeak * 0.03);
}

TEST_F(SoundBuffer, SettersClampTheirValues)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC), 1);
    EXPECT_EQ(buffer.SetVolume(0, 500), 1);
    EXPECT_EQ(buffer.GetVolume(0), 0);
    EXPECT_EQ(buffer.SetVolume(0, -20000), 1);
    EXPECT_EQ(buffer.GetVolume(0), -10000);
    EXPECT_EQ(buffer.SetPan(0, 12000), 1);
    EXPECT_EQ(buffer.GetPan(0), 10000);
    EXPECT_EQ(buffer.SetPan(0, -12000), 1);
    EXPECT_EQ(buffer.GetPan(0), -10000);
    EXPECT_EQ(buffer.SetVolume(1, 0), 0);
    EXPECT_EQ(buffer.SetPan(7, 0), 0);
}

TEST_F(SoundBuffer, VoicesOverlapUpToTheirCount)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 4, CSoundBuffer::FLAG_STATIC), 1);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(buffer.PlayVoice(0, -1.0f, 1), i);
    EXPECT_EQ(buffer.PlayVoice(0, -1.0f, 1), -1);
    EXPECT_EQ(buffer.FindFreeVoice(), -1);
    buffer.Stop(2, 1);
    EXPECT_EQ(buffer.FindFreeVoice(), 2);
    // A paused voice still counts as playing.
    buffer.Pause(0);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    EXPECT_EQ(buffer.PlayVoice(0, -1.0f, 1), 2);
    EXPECT_EQ(buffer.PlayVoice(0, -1.0f, 1), -1);
    buffer.Resume(0);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
}

TEST_F(SoundBuffer, StaticSoundEndsAndLoops)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 2, CSoundBuffer::FLAG_STATIC, 0.25), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    ASSERT_EQ(buffer.PlayVoice(CSoundBuffer::PLAY_LOOPING, -1.0f, 1), 1);
    EXPECT_EQ(buffer.GetPlayFlags(1), CSoundBuffer::PLAY_LOOPING);
    Render(0.5);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
    EXPECT_EQ(buffer.IsVoicePlaying(1), 1);
}

TEST_F(SoundBuffer, FadeOutStopsTheVoiceRewound)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC), 1);
    ASSERT_EQ(buffer.PlayVoice(CSoundBuffer::PLAY_LOOPING, -1.0f, 1), 0);
    buffer.Fade(0, -100);
    for (int i = 0; i < 99; ++i)
        buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), -9900);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), -10000);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);

    // Fading in stops at the target and keeps playing.
    ASSERT_EQ(buffer.PlayFade(-1000, 300, 0, -1.0f, 1), 0);
    for (int i = 0; i < 5; ++i)
        buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), 0);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
}

TEST_F(SoundBuffer, SoftwareThreeDimensionalVolumeAndPan)
{
    CListener listener(&m_sound, CListener::MODE_SOFTWARE);
    CkvrVector3 front = {0.0f, 0.0f, 1.0f};
    listener.SetOrientation(&front, nullptr);
    ASSERT_EQ(listener.Apply(), 1);
    EXPECT_EQ(m_sound.GetListener(), &listener);

    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC | CSoundBuffer::FLAG_CTRL3D), 1);
    ASSERT_EQ(buffer.PlayWithVolume(-500, CSoundBuffer::PLAY_LOOPING, -1.0f, 1), 0);
    EXPECT_EQ(buffer.GetMode(0), 3u);

    // At the minimum distance, straight ahead: the voice's own volume.
    CkvrVector3 at = {0.0f, 0.0f, 2.0f};
    buffer.SetPosition(0, &at, 2.0f, 0);
    buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), -500);
    EXPECT_EQ(buffer.GetPan(0), 0);

    // Ten units further, rolloff 1: 30 hundredths of a dB per unit.
    at = {0.0f, 0.0f, 12.0f};
    buffer.SetPosition(0, &at, 2.0f, 0);
    buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), -800);

    // On the listener's right: full right pan.
    at = {5.0f, 0.0f, 0.0f};
    buffer.SetPosition(0, &at, 2.0f, 0);
    buffer.Update();
    EXPECT_EQ(buffer.GetPan(0), 10000);

    // Turned to face +x, the same source is straight ahead.
    front = {1.0f, 0.0f, 0.0f};
    listener.SetOrientation(&front, nullptr);
    buffer.Update();
    EXPECT_EQ(buffer.GetPan(0), 0);

    // On the listener itself: centred, not NaN.
    at = {0.0f, 0.0f, 0.0f};
    buffer.SetPosition(0, &at, 0.0f, 0);
    buffer.Update();
    EXPECT_EQ(buffer.GetPan(0), 0);
    EXPECT_EQ(buffer.GetVolume(0), -500);

    // At the maximum distance: silent.
    buffer.SetMaxDistance(0, 50.0f);
    at = {0.0f, 0.0f, 60.0f};
    buffer.SetPosition(0, &at, 1.0f, 0);
    buffer.Update();
    EXPECT_EQ(buffer.GetVolume(0), -10000);
}

TEST_F(SoundBuffer, SoftwarePanIsHeardOnOneSide)
{
    CListener listener(&m_sound, CListener::MODE_SOFTWARE);
    ASSERT_EQ(listener.Apply(), 1);
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC | CSoundBuffer::FLAG_CTRL3D), 1);
    const CkvrVector3 left = {-1.0f, 0.0f, 0.0f};
    ASSERT_EQ(buffer.PlayVoice(CSoundBuffer::PLAY_LOOPING, -1.0f, 1), 0);
    buffer.SetPosition(0, &left, 1.0f, 0);
    buffer.Update();
    const std::vector<int16_t> out = Render(0.3);
    EXPECT_NEAR(Peak(out, 0, 4410, 13000), kFullPeak, kFullPeak * 0.02);
    EXPECT_LT(Peak(out, 1, 4410, 13000), kFullPeak / 100);
}

TEST_F(SoundBuffer, DeviceThreeDimensionalVoiceFollowsTheListener)
{
    CListener listener(&m_sound);
    ASSERT_EQ(listener.Apply(), 1);
    CSoundBuffer buffer;
    ASSERT_EQ(LoadSine(buffer, 1, 1, CSoundBuffer::FLAG_STATIC | CSoundBuffer::FLAG_CTRL3D), 1);
    EXPECT_EQ(buffer.GetMode(0), 2u);
    ASSERT_EQ(buffer.PlayVoice(CSoundBuffer::PLAY_LOOPING, -1.0f, 1), 0);
    // Left-handed +x is to the right of a listener facing +z.
    const CkvrVector3 right = {4.0f, 0.0f, 0.0f};
    buffer.SetPosition(0, &right, 1.0f, 0);
    const std::vector<int16_t> out = Render(0.3);
    const int r = Peak(out, 1, 4410, 13000);
    const int l = Peak(out, 0, 4410, 13000);
    EXPECT_GT(r, 10 * std::max(l, 1));
    // Inverse distance from a minimum distance of 1: a quarter of the gain.
    EXPECT_NEAR(r, kFullPeak * 0.25, kFullPeak * 0.03);
}

TEST_F(SoundBuffer, DamagedFilesFailWithAMessage)
{
    const std::vector<uint8_t> good = MakeWave(Sine(0.1, 440.0, kAmplitude, 1), 1);
    std::vector<uint8_t> badSize = good;
    badSize[40] = badSize[41] = badSize[42] = 0x7F; // data chunk runs past the end

    CSoundBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(badSize.data(), "Bad.wav", static_cast<uint32_t>(badSize.size()), 1,
                                    CSoundBuffer::FLAG_STATIC),
              0);
    EXPECT_EQ(buffer.LoadFromMemory(good.data(), "Empty.wav", 0, 1, CSoundBuffer::FLAG_STATIC), 0);
    EXPECT_EQ(buffer.LoadFromMemory(good.data(), "Empty.ogg", 0, 1, CSoundBuffer::FLAG_STATIC), 0);
    const std::vector<uint8_t> ogg = MakeOgg(Sine(1.0, 440.0, kAmplitude, 1), 1);
    for (uint32_t flags : {uint32_t(CSoundBuffer::FLAG_STATIC), uint32_t(CSoundBuffer::FLAG_POSITION_NOTIFY)})
    {
        EXPECT_EQ(buffer.LoadFromMemory(ogg.data(), "Cut.ogg", static_cast<uint32_t>(ogg.size() / 2), 1, flags), 0);
    }
    EXPECT_EQ(buffer.Load(nullptr, 1, 0), 0);
    EXPECT_EQ(buffer.Load("/nonexistent/Missing.wav", 1, 0), 0);

    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "kvr_sound_empty.ogg";
    std::ofstream(empty).close();
    EXPECT_EQ(buffer.Load(empty.c_str(), 1, CSoundBuffer::FLAG_STATIC), 0);
    std::filesystem::remove(empty);

    ASSERT_EQ(Boxes().size(), 7u); // a null path fails without a box
    EXPECT_EQ(Boxes()[0], std::string("Error:") + "WAVE\x83" "f\x81[\x83^\x82\xf0\x93\xc7\x82\xdd\x8d\x9e\x82\xdf\x82\xdc\x82\xb9\x82\xf1");
    EXPECT_EQ(Boxes()[2].substr(0, 9), "Error:OGG");
    EXPECT_EQ(buffer.GetVoiceCount(), 0u);
    EXPECT_EQ(buffer.PlayVoice(0, -1.0f, 1), -1);
}

TEST_F(SoundBuffer, LoadsFromAFile)
{
    const std::vector<uint8_t> wave = MakeWave(Sine(0.2, 440.0, kAmplitude, 2), 2);
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "kvr_sound_sine.wav";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(wave.data()),
                                                static_cast<std::streamsize>(wave.size()));
    CSoundBuffer buffer;
    EXPECT_EQ(buffer.Load(path.c_str(), 2, CSoundBuffer::FLAG_STATIC), 1);
    std::filesystem::remove(path);
    EXPECT_EQ(buffer.GetChannels(), 2);
    EXPECT_EQ(buffer.GetVoiceCount(), 2u);
    EXPECT_EQ(buffer.GetSourceKind(), CSoundBuffer::SOURCE_WAVE);
}

TEST_F(SoundBuffer, ReleaseThenDestroyFreesOnce)
{
    CSoundBuffer* buffer = new CSoundBuffer;
    ASSERT_EQ(LoadSine(*buffer, 1, 3, CSoundBuffer::FLAG_STATIC), 1);
    buffer->PlayVoice(0, -1.0f, 1);
    buffer->Release();
    buffer->Release();
    EXPECT_EQ(buffer->GetVoiceCount(), 0u);
    delete buffer;

    m_sound.Release();
    m_sound.Release();
    EXPECT_EQ(CSound::GetInstance(), nullptr);
    EXPECT_EQ(m_sound.CreateLoopback(), 1);
    EXPECT_EQ(CSound::GetInstance(), &m_sound);
}

TEST_F(SoundBuffer, DeviceCreationNeedsAWindowAndHasRoomForManyVoices)
{
    CSound sound;
    EXPECT_EQ(sound.Create(nullptr), 0);
    EXPECT_STREQ(sound.GetClassName(), "CSound");
    EXPECT_GE(m_sound.GetMaxSources(), 1024u);
    EXPECT_EQ(m_sound.GetMixRate(), kRate);
    EXPECT_EQ(m_sound.Lock(), 1);
    EXPECT_EQ(m_sound.Unlock(), 1);
}

TEST_F(SoundBuffer, ListenerDetachesWhenDestroyed)
{
    {
        CListener listener(&m_sound);
        EXPECT_STREQ(listener.GetClassName(), "CListener");
        EXPECT_EQ(listener.GetRolloffFactor(), 1.0f);
        ASSERT_EQ(listener.Apply(), 1);
        CListener copy(listener);
        EXPECT_EQ(m_sound.GetListener(), &listener);
    }
    EXPECT_EQ(m_sound.GetListener(), nullptr);
    CListener orphan;
    EXPECT_EQ(orphan.Apply(), 0);
}
