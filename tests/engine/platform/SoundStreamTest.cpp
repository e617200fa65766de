#include "engine/core/CkvrPackFile.h"
#include "engine/platform/sound/CSoundBuffer.h"

#include "tests/engine/platform/SoundTestUtil.h"
#include "tests/support/CallWatch.h"
#include "tests/support/ThreadsInCall.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace soundtest;

namespace
{
// 440 Hz fits a whole number of cycles into 3 s, so a seamless loop of
// the file has no step in it either.
constexpr double kSeconds = 3.0;
constexpr int kStreamQuiet = 300;

class SoundStream : public StreamStopTest
{
protected:
    void SetUp() override
    {
        StreamStopTest::SetUp();
        m_ogg = MakeOgg(Sine(kSeconds, 440.0, 0.5, 2), 2);
        ASSERT_FALSE(m_ogg.empty());
    }
    int LoadOgg(CSoundBuffer& buffer, uint32_t voices, uint32_t flags = CSoundBuffer::FLAG_POSITION_NOTIFY)
    {
        return buffer.LoadFromMemory(m_ogg.data(), "Music.ogg", static_cast<uint32_t>(m_ogg.size()), voices, flags);
    }
    std::vector<uint8_t> m_ogg;
};
}

TEST_F(SoundStream, NonLoopingStreamPlaysToItsRealEnd)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    const std::vector<int16_t> out = Render(3.5);
    const long last = LastSounding(out, kStreamQuiet);
    EXPECT_GE(last, static_cast<long>(2.95 * kRate));
    EXPECT_LE(last, static_cast<long>(3.05 * kRate));
    EXPECT_LT(LongestQuietRun(out, 100, static_cast<size_t>(2.9 * kRate), kStreamQuiet), 20u);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
    EXPECT_EQ(buffer.GetPlayFlags(0), 0u);
    // Rewound: it plays again from the start.
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 0), 0);
    const std::vector<int16_t> again = Render(0.5);
    EXPECT_GT(Peak(again, 0, 4410, 22050), 10000);
    buffer.Stop(0, 1);
}

TEST_F(SoundStream, LoopingStreamLoopsSeamlessly)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1), 1);
    ASSERT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
    const std::vector<int16_t> out = Render(6.5);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    EXPECT_GE(LastSounding(out, kStreamQuiet), static_cast<long>(6.4 * kRate));
    EXPECT_LT(LongestQuietRun(out, 100, out.size() / 2, kStreamQuiet), 20u);
    // Sounding right across both seams (3 s and 6 s).
    EXPECT_GT(Peak(out, 0, static_cast<size_t>(2.99 * kRate), static_cast<size_t>(3.01 * kRate)), 10000);
    EXPECT_GT(Peak(out, 1, static_cast<size_t>(5.99 * kRate), static_cast<size_t>(6.01 * kRate)), 10000);
    buffer.Stop(0, 1);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
}

TEST_F(SoundStream, LoopPointPastTheEndEndsTheStream)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1), 1);
    ASSERT_EQ(buffer.PlayVoice(0, 10.0f, 1), 0);
    const std::vector<int16_t> out = Render(3.5);
    EXPECT_LE(LastSounding(out, kStreamQuiet), static_cast<long>(3.05 * kRate));
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
}

TEST_F(SoundStream, PauseThenStopReturnsPromptly)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1), 1);
    const std::vector<pid_t> before = Threads();
    ASSERT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
    Render(0.3);
    buffer.Pause(0);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    Render(0.3);
    // Stopped just after the stream's thread has gone back to sleep between
    // two looks at its stop flag: it is woken to end, not left asleep until
    // its next look, in its wait or in a plain sleep nothing wakes; a stop
    // that waited on something the thread holds would not come back at all.
    std::vector<pid_t> stream = Threads();
    std::erase_if(stream, [&](pid_t thread) { return std::ranges::count(before, thread) != 0; });
    ASSERT_EQ(stream.size(), 1u);
    CallWatch stop({SYS_futex, kPlainSleepCall});
    const uint64_t runs = ThreadRuns(stream[0]);
    for (int wait = 0; wait < 10000 && (ThreadRuns(stream[0]) == runs || !stop.Asleep(stream[0])); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop.Run([&] { buffer.Stop(0, 1); });
    EXPECT_TRUE(NoStall(stop));
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
}

TEST_F(SoundStream, PauseAndResumeKeepTheStreamGoing)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    Render(1.0);
    buffer.Pause(0);
    const std::vector<int16_t> paused = Render(0.5);
    EXPECT_LT(Peak(paused, 0, 2205, 22050), kStreamQuiet);
    buffer.Resume(0);
    // What is left (2 s) plays out, then the voice ends.
    const std::vector<int16_t> out = Render(2.5);
    const long last = LastSounding(out, kStreamQuiet);
    EXPECT_GE(last, static_cast<long>(1.95 * kRate));
    EXPECT_LE(last, static_cast<long>(2.05 * kRate));
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
}

TEST_F(SoundStream, StartedVoicesAreBusyAtOnce)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 2), 1);
    EXPECT_EQ(buffer.PlayVoice(0, 0.0f, 1), 0);
    EXPECT_EQ(buffer.PlayVoice(0, 0.0f, 1), 1);
    EXPECT_EQ(buffer.PlayVoice(0, 0.0f, 1), -1);
    // Each voice decodes on its own: both play the whole sound.
    const std::vector<int16_t> out = Render(1.0);
    EXPECT_GT(Peak(out, 0, 4410, 44100), 20000);
    buffer.StopAll(1);
    EXPECT_EQ(buffer.FindFreeVoice(), 0);
}

TEST_F(SoundStream, FrameUpdateStreamsWithoutThreads)
{
    CSoundBuffer buffer;
    ASSERT_EQ(LoadOgg(buffer, 1, 0), 1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    std::vector<int16_t> out;
    for (int slice = 0; slice < 35; ++slice)
    {
        const std::vector<int16_t> part = Render(0.1);
        out.insert(out.end(), part.begin(), part.end());
        buffer.Update();
    }
    const long last = LastSounding(out, kStreamQuiet);
    EXPECT_GE(last, static_cast<long>(2.95 * kRate));
    EXPECT_LT(LongestQuietRun(out, 100, static_cast<size_t>(2.9 * kRate), kStreamQuiet), 20u);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 0);
}

TEST_F(SoundStream, WaveStreamLoopsWithoutStaleData)
{
    // 1.5 s: the end falls in the middle of a one-second half.
    const std::vector<uint8_t> wave = MakeWave(Sine(1.5, 440.0, 0.5, 1), 1);
    CSoundBuffer buffer;
    ASSERT_EQ(buffer.LoadFromMemory(wave.data(), "Loop.wav", static_cast<uint32_t>(wave.size()), 1,
                                    CSoundBuffer::FLAG_POSITION_NOTIFY),
              1);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    const std::vector<int16_t> out = Render(4.0);
    EXPECT_EQ(buffer.IsVoicePlaying(0), 1);
    // The looped output repeats every 1.5 s exactly, and never falls silent.
    const size_t period = static_cast<size_t>(1.5 * kRate);
    int worst = 0;
    for (size_t f = static_cast<size_t>(0.1 * kRate); f + period < static_cast<size_t>(3.9 * kRate); ++f)
        worst = std::max(worst, std::abs(out[2 * f] - out[2 * (f + period)]));
    EXPECT_LT(LongestQuietRun(out, 100, out.size() / 2, kStreamQuiet), 20u);
    EXPECT_LT(worst, 40);
    buffer.Release();
}

TEST_F(SoundStream, PackCopyOutlivesTheCallersBytes)
{
    CSoundBuffer buffer;
    {
        std::vector<uint8_t> bytes = m_ogg;
        ASSERT_EQ(buffer.LoadFromMemory(bytes.data(), "Music.ogg", static_cast<uint32_t>(bytes.size()), 1,
                                        CSoundBuffer::FLAG_POSITION_NOTIFY),
                  1);
        std::fill(bytes.begin(), bytes.end(), 0);
    }
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    const std::vector<int16_t> out = Render(1.0);
    EXPECT_GT(Peak(out, 0, 4410, 44100), 10000);
}

TEST_F(SoundStream, ReleaseWhilePlayingStopsTheThreads)
{
    CSoundBuffer* buffer = new CSoundBuffer;
    ASSERT_EQ(LoadOgg(*buffer, 3), 1);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(buffer->PlayVoice(0, 0.0f, 1), i);
    Render(0.2);
    buffer->Release();
    delete buffer;
    Render(0.2);
}

TEST_F(SoundStream, LoadsAStreamFromAPackAndOutlivesIt)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("kvr_sound_pack_" + std::to_string(::getpid()));
    fs::create_directories(folder / "Bgm");
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    std::ofstream("Bgm/Music.ogg", std::ios::binary)
        .write(reinterpret_cast<const char*>(m_ogg.data()), static_cast<std::streamsize>(m_ogg.size()));
    const char* names[] = {"Bgm/Music.ogg"};
    ASSERT_EQ(CkvrPackFile::Create(names, 1, "Sound.gpk"), 1);

    CSoundBuffer buffer;
    {
        CkvrPackFile pack;
        ASSERT_EQ(pack.Open("Sound.gpk"), 1);
        EXPECT_EQ(buffer.LoadFromPack(&pack, "Bgm/Missing.ogg", 1, 0), 0);
        ASSERT_EQ(buffer.LoadFromPack(&pack, "Bgm/Music.ogg", 1, CSoundBuffer::FLAG_POSITION_NOTIFY), 1);
        pack.Release();
    }
    // The path layer finds data names in any letter case, with backslashes.
    CSoundBuffer fromFile;
    EXPECT_EQ(fromFile.Load("BGM\\music.ogg", 1, CSoundBuffer::FLAG_STATIC), 1);
    fs::current_path(previous);
    fs::remove_all(folder);

    EXPECT_EQ(buffer.GetSourceKind(), CSoundBuffer::SOURCE_OGG);
    ASSERT_EQ(buffer.PlayVoice(0, -1.0f, 1), 0);
    const std::vector<int16_t> out = Render(1.0);
    EXPECT_GT(Peak(out, 0, 4410, 44100), 10000);
    EXPECT_EQ(Boxes().size(), 1u);
}
