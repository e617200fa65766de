// Stopping streams while the caller holds the sound lock, sound files that
// real tools write but that are a little off the common path, and a machine
// with no sound output to open.
#include "engine/platform/sound/COggReader.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/platform/sound/CWaveReader.h"
#include "engine/platform/CSystem.h"

#include "tests/engine/platform/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <ogg/ogg.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <thread>

using namespace soundtest;

namespace
{
constexpr int kQuiet = 300;

// How a playing stream is ended.
enum class Ending
{
    Stop,
    StopAll,
    Release,
    Destroy,
};

struct StopCase
{
    Ending ending;
    bool lockHeld;
};

class SoundStreamStop : public StreamStopTest, public ::testing::WithParamInterface<StopCase>
{
};

// Ends a buffer whose worker threads are asleep between refills, the state
// they spend nearly all their time in.
TEST_P(SoundStreamStop, EndsPlayingThreadsWithOrWithoutTheLock)
{
    const std::vector<uint8_t> ogg = MakeOgg(Sine(3.0, 440.0, 0.5, 2), 2);
    auto buffer = std::make_unique<CSoundBuffer>();
    ASSERT_EQ(buffer->LoadFromMemory(ogg.data(), "Music.ogg", static_cast<uint32_t>(ogg.size()), 2,
                                     CSoundBuffer::FLAG_POSITION_NOTIFY),
              1);
    ASSERT_EQ(buffer->PlayVoice(0, 0.0f, 1), 0);
    ASSERT_EQ(buffer->PlayVoice(0, 0.0f, 1), 1);
    Render(1.2); // past the first refill

    if (GetParam().lockHeld)
        m_sound.Lock();
    switch (GetParam().ending)
    {
    case Ending::Stop:
        buffer->Stop(0, 1);
        buffer->Stop(1, 1);
        break;
    case Ending::StopAll:
        buffer->StopAll(1);
        break;
    case Ending::Release:
        buffer->Release();
        break;
    case Ending::Destroy:
        buffer.reset();
        break;
    }
    if (GetParam().lockHeld)
        m_sound.Unlock();

    const std::vector<int16_t> after = Render(0.5);
    EXPECT_LT(Peak(after, 0, 2205, after.size() / 2), kQuiet);
    if (buffer == nullptr)
        return;
    EXPECT_EQ(buffer->IsVoicePlaying(0), 0);
    EXPECT_EQ(buffer->IsVoicePlaying(1), 0);
}

std::string Describe(const StopCase& c)
{
    static const char* const kNames[] = {"Stop", "StopAll", "Release", "Destroy"};
    return std::string(kNames[static_cast<int>(c.ending)]) + (c.lockHeld ? "UnderTheLock" : "WithoutTheLock");
}

std::string StopCaseName(const ::testing::TestParamInfo<StopCase>& info)
{
    return Describe(info.param);
}

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << Describe(c);
}

INSTANTIATE_TEST_SUITE_P(Endings, SoundStreamStop,
                         ::testing::Values(StopCase{Ending::Stop, false}, StopCase{Ending::Stop, true},
                                           StopCase{Ending::StopAll, false}, StopCase{Ending::StopAll, true},
                                           StopCase{Ending::Release, false}, StopCase{Ending::Release, true},
                                           StopCase{Ending::Destroy, false}, StopCase{Ending::Destroy, true}),
                         StopCaseName);

// A stopped stream under the lock plays again afterwards.
TEST_F(SoundTest, StreamStoppedUnderTheLockPlaysAgain)
{
    const std::vector<uint8_t> ogg = MakeOgg(Sine(2.0, 440.0, 0.5, 1), 1);
    CSoundBuffer buffer;
    ASSERT_EQ(buffer.LoadFromMemory(ogg.data(), "Music.ogg", static_cast<uint32_t>(ogg.size()), 1,
                                    CSoundBuffer::FLAG_POSITION_NOTIFY),
              1);
    ASSERT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
    Render(0.3);
    m_sound.Lock();
    buffer.Stop(0, 1);
    ASSERT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
    m_sound.Unlock();
    const std::vector<int16_t> out = Render(1.5);
    EXPECT_GT(Peak(out, 0, 4410, out.size() / 2), 10000);
    buffer.Stop(0, 1);
}

// A WAVE file with the extensible header and the given sub-format's first
// GUID bytes (1 is PCM, 3 is float).
std::vector<uint8_t> MakeExtensibleWave(const std::vector<int16_t>& samples, uint16_t channels, uint16_t subFormat)
{
    std::vector<uint8_t> fmt;
    PutU16(fmt, SoundFormat::kExtensible);
    PutU16(fmt, channels);
    PutU32(fmt, kRate);
    PutU32(fmt, kRate * channels * 2u);
    PutU16(fmt, channels * 2u);
    PutU16(fmt, 16);
    PutU16(fmt, 22);                       // extra bytes
    PutU16(fmt, 16);                       // valid bits
    PutU32(fmt, channels == 2 ? 0x3u : 0x4u); // front left + right, or centre
    const uint8_t guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    PutU16(fmt, subFormat);
    fmt.insert(fmt.end(), guidTail, guidTail + 14);

    std::vector<uint8_t> data;
    for (int16_t s : samples)
        PutU16(data, static_cast<uint16_t>(s));
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    PutU32(file, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
    file.insert(file.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    PutU32(file, static_cast<uint32_t>(fmt.size()));
    file.insert(file.end(), fmt.begin(), fmt.end());
    file.insert(file.end(), {'d', 'a', 't', 'a'});
    PutU32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// The same Ogg stream with the end-of-stream flag taken off its last page
// (checksum mended), as some encoders and cutting tools leave files.
std::vector<uint8_t> WithoutEndOfStream(std::vector<uint8_t> file)
{
    size_t cursor = 0, last = 0;
    while (file.size() - cursor >= 27 && std::memcmp(file.data() + cursor, "OggS", 4) == 0)
    {
        last = cursor;
        const size_t segments = file[cursor + 26];
        size_t body = 0;
        for (size_t i = 0; i < segments; ++i)
            body += file[cursor + 27 + i];
        cursor += 27 + segments + body;
    }
    const size_t headerSize = 27 + file[last + 26];
    file[last + 5] &= static_cast<uint8_t>(~0x04);
    ogg_page page;
    page.header = file.data() + last;
    page.header_len = static_cast<long>(headerSize);
    page.body = file.data() + last + headerSize;
    page.body_len = static_cast<long>(cursor - last - headerSize);
    ogg_page_checksum_set(&page);
    return file;
}

SoundImage FaultImage(std::vector<uint8_t> bytes)
{
    return std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
}
}

TEST_F(SoundTest, ExtensibleWaveWithPcmPlays)
{
    for (uint16_t channels : {uint16_t(1), uint16_t(2)})
    {
        const std::vector<uint8_t> file = MakeExtensibleWave(Sine(0.5, 440.0, 0.5, channels), channels, 1);
        for (uint32_t flags : {uint32_t(CSoundBuffer::FLAG_STATIC), uint32_t(CSoundBuffer::FLAG_POSITION_NOTIFY)})
        {
            CSoundBuffer buffer;
            ASSERT_EQ(buffer.LoadFromMemory(file.data(), "Voice.wav", static_cast<uint32_t>(file.size()), 1, flags), 1)
                << channels << " channels, flags " << flags;
            EXPECT_EQ(buffer.GetChannels(), channels);
            EXPECT_EQ(buffer.GetBytesPerSample(), 2);
            EXPECT_EQ(buffer.GetDataSize(), 0.5 * kRate * 2 * channels);
            ASSERT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
            const std::vector<int16_t> out = Render(0.4);
            EXPECT_GT(Peak(out, 0, 2205, out.size() / 2), 10000);
            EXPECT_GT(Peak(out, 1, 2205, out.size() / 2), 10000);
            buffer.Stop(0, 1);
        }
    }
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SoundTest, ExtensibleWaveWithAnotherSubFormatIsRefused)
{
    const std::vector<uint8_t> file = MakeExtensibleWave(Sine(0.1, 440.0, 0.5, 1), 1, 3);
    CSoundBuffer buffer;
    EXPECT_EQ(buffer.LoadFromMemory(file.data(), "Float.wav", static_cast<uint32_t>(file.size()), 1,
                                    CSoundBuffer::FLAG_STATIC),
              0);
    EXPECT_EQ(Boxes().size(), 1u);

    // The header is read as it stands either way.
    CWaveReader reader;
    SoundFormat format;
    ASSERT_EQ(reader.ReadWaveHeader(FaultImage(file), &format), 1);
    EXPECT_EQ(format.formatTag, SoundFormat::kExtensible);
    EXPECT_EQ(format.extraSize, 22);
    EXPECT_FALSE(format.IsPcm());
}

TEST_F(SoundTest, OggWithoutEndOfStreamPageLoadsAndPlays)
{
    const std::vector<uint8_t> whole = MakeOgg(Sine(1.0, 440.0, 0.5, 1), 1);
    const std::vector<uint8_t> open = WithoutEndOfStream(whole);
    ASSERT_NE(open, whole);

    std::vector<uint8_t> pcm;
    SoundFormat format;
    ASSERT_EQ(COggReader::DecodeOggAll(FaultImage(open), &pcm, &format), 1);
    EXPECT_EQ(pcm.size(), size_t(kRate) * 2);

    for (uint32_t flags : {uint32_t(CSoundBuffer::FLAG_STATIC), uint32_t(CSoundBuffer::FLAG_POSITION_NOTIFY)})
    {
        CSoundBuffer buffer;
        ASSERT_EQ(buffer.LoadFromMemory(open.data(), "Open.ogg", static_cast<uint32_t>(open.size()), 1, flags), 1);
        ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
        const std::vector<int16_t> out = Render(1.3);
        EXPECT_GT(Peak(out, 0, 4410, 40000), 10000);
        EXPECT_LT(Peak(out, 0, 46000, out.size() / 2), kQuiet); // and it ends
        buffer.Stop(0, 1);
    }
    EXPECT_TRUE(Boxes().empty());
}

// Without an output to open, the device mixes in real time and throws the
// mix away: sounds and streams play to their ends as if heard, and the box
// names the output that is missing.
TEST(SilentOutput, PlaysEverySoundToItsEndInRealTimeAndSaysWhatIsMissing)
{
    Boxes().clear();
    SetMessageBoxHook(CatchBox);
    CSound::SetPlaybackDevice("No Such Output");
    CSystem system;
    CSound sound;
    ASSERT_EQ(sound.Create(&system), 1);
    CSound::SetPlaybackDevice("");
    SetMessageBoxHook(nullptr);
    EXPECT_TRUE(sound.IsSilent());
    EXPECT_EQ(CSound::GetInstance(), &sound);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_NE(Boxes()[0].find("No sound output could be opened (the output \"No Such Output\")."), std::string::npos)
        << Boxes()[0];
    // Only the device's own mixer renders it.
    int16_t frames[4] = {};
    EXPECT_EQ(sound.RenderLoopback(frames, 2), 0);

    const std::vector<uint8_t> wave = MakeWave(Sine(0.2, 440.0, 0.5, 1), 1);
    const std::vector<uint8_t> ogg = MakeOgg(Sine(1.5, 330.0, 0.5, 2), 2);
    CSoundBuffer effect;
    CSoundBuffer music;
    ASSERT_EQ(effect.LoadFromMemory(wave.data(), "Effect.wav", static_cast<uint32_t>(wave.size()), 1,
                                    CSoundBuffer::FLAG_STATIC),
              1);
    ASSERT_EQ(music.LoadFromMemory(ogg.data(), "Music.ogg", static_cast<uint32_t>(ogg.size()), 1,
                                   CSoundBuffer::FLAG_POSITION_NOTIFY),
              1);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(effect.PlayVoice(0, -1.0f, 1), 0);
    ASSERT_EQ(music.PlayVoice(0, -1.0f, 1), 0);
    EXPECT_EQ(effect.IsPlaying(), 1);
    const auto deadline = start + std::chrono::seconds(20);
    while (effect.IsPlaying() != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(effect.IsPlaying(), 0) << "the sound never ended";
    // Mixed at the pace of a sound card, never faster.
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(150));
    while (music.IsPlaying() != 0 && std::chrono::steady_clock::now() < deadline)
    {
        music.Update();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(music.IsPlaying(), 0) << "the stream never ended";
    effect.Release();
    music.Release();
    sound.Release();
    EXPECT_FALSE(sound.IsSilent());
}

// The line a bug report quotes says what is missing in plain words, not the
// error code OpenAL gives a failed open ("Out of Memory" on a machine with
// no sound card, "Invalid Value" for an unknown output).
TEST(SilentOutput, StandardErrorSaysNoSoundOutputCouldBeOpened)
{
    SetMessageBoxHook(CatchBox);
    CSound::SetPlaybackDevice("No Such Output");
    CSystem system;
    CSound sound;
    ::testing::internal::CaptureStderr();
    const int created = sound.Create(&system);
    const std::string said = ::testing::internal::GetCapturedStderr();
    CSound::SetPlaybackDevice("");
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(created, 1);
    EXPECT_TRUE(sound.IsSilent());
    EXPECT_NE(said.find("sound: no sound output could be opened (the output \"No Such Output\")"), std::string::npos)
        << said;
    EXPECT_EQ(said.find("alcOpenDevice"), std::string::npos) << said;
    EXPECT_EQ(said.find("Invalid Value"), std::string::npos) << said;
}

// Seen as "ALSA Default" in the box while standard error said "the default
// output": with no output named and no driver to open it, the box and
// standard error name the missing output alike. Run in a child of this
// program, since OpenAL reads its drivers once per process.
TEST(SilentOutput, TheBoxAndStandardErrorNameTheDefaultOutputAlike)
{
    if (std::getenv("KVR_TEST_NO_SOUND_DRIVER") != nullptr)
    {
        CSystem system;
        CSound sound;
        const bool silent = sound.Create(&system) == 1 && sound.IsSilent();
        sound.Release();
        std::_Exit(silent ? 0 : 1);
    }
    const std::string command =
        "ALSOFT_DRIVERS=no-such-driver KVR_MESSAGE_BOX=stderr KVR_TEST_NO_SOUND_DRIVER=1 ASAN_OPTIONS=detect_leaks=0 '" +
        std::filesystem::read_symlink("/proc/self/exe").string() +
        "' --gtest_filter=SilentOutput.TheBoxAndStandardErrorNameTheDefaultOutputAlike 2>&1 >/dev/null";
    FILE* child = popen(command.c_str(), "r");
    ASSERT_NE(child, nullptr);
    std::string text;
    char part[256];
    while (std::fgets(part, sizeof(part), child) != nullptr)
        text += part;
    ASSERT_EQ(pclose(child), 0) << text;
    EXPECT_NE(text.find("sound: no sound output could be opened (the default output)"), std::string::npos) << text;
    EXPECT_NE(text.find("Error: サウンドの出力先が見つかりません。音なしで続けます。\n\nNo sound output could be opened "
                        "(the default output)."),
              std::string::npos)
        << text;
}
