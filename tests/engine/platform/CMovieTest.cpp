#include "engine/platform/CComInit.h"
#include "engine/platform/CMovie.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/platform/message/MessageQueue.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/MovieFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace
{
std::atomic<uint64_t> g_movieNow{0};

uint64_t MovieNow()
{
    return g_movieNow.load();
}

void SetSeconds(double seconds)
{
    g_movieNow.store(static_cast<uint64_t>(seconds * 1.0e6 + 0.5));
}

// Waits, for at most about ten seconds of real time, for the worker.
bool WaitFor(const std::function<bool()>& done)
{
    for (int turn = 0; turn < 5000; ++turn)
    {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

// The pixel at x, y of a frame: 0xRRGGBB from its blue, green, red bytes.
uint32_t PixelOf(const uint8_t* frame, int width, int x, int y)
{
    const uint8_t* p = frame + (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance = 40)
{
    for (int shift : {16, 8, 0})
    {
        const int difference = int((actual >> shift) & 0xFF) - int((expected >> shift) & 0xFF);
        if (difference > tolerance || difference < -tolerance)
            return ::testing::AssertionFailure() << std::hex << "actual 0x" << actual << " expected 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}

class CMovieTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        av_log_set_level(AV_LOG_ERROR);
        g_movieNow.store(0);
        CMovie::SetClock(MovieNow);
        ASSERT_TRUE(WriteTestMovie("movie.mpg", m_spec));
    }
    void TearDown() override { CMovie::SetClock(nullptr); }

    bool WaitForFrameAt(CMovie& movie, double seconds)
    {
        return WaitFor([&] { return movie.GetFramePosition() >= seconds - 1.0e-3; });
    }
    uint32_t Top(uint8_t* frame) { return PixelOf(frame, m_spec.width, m_spec.width / 2, m_spec.height / 4); }
    uint32_t Bottom(uint8_t* frame) { return PixelOf(frame, m_spec.width, m_spec.width / 2, m_spec.height * 3 / 4); }

    TempFolder m_folder;
    TestMovieSpec m_spec;
};
}

TEST_F(CMovieTest, FilesThatAreNoMoviesFailOpenAndEveryOperationAfterwards)
{
    // Not there, not a movie, cut before its first picture, sound only.
    std::string movie = TempFolder::Read("movie.mpg");
    TempFolder::Write("text.mpg", "this is no movie at all\n");
    TempFolder::Write("cut.mpg", movie.substr(0, 64));
    // A 44.1 kHz mono 16-bit wave file: a header and 4096 bytes of silence.
    const std::string format("\x10\x00\x00\x00\x01\x00\x01\x00\x44\xAC\x00\x00\x88\x58\x01\x00\x02\x00\x10\x00", 20);
    std::string wave = std::string("RIFF") + std::string("\x24\x10\x00\x00", 4) + "WAVEfmt " + format + "data" +
                       std::string("\x00\x10\x00\x00", 4) + std::string(4096, '\0');
    TempFolder::Write("sound.wav", wave);

    for (const char* path : {"missing.mpg", "text.mpg", "cut.mpg", "sound.wav"})
    {
        CMovie failed;
        EXPECT_EQ(failed.Open(path), 0) << path;
        EXPECT_EQ(failed.GetName(), nullptr);
        EXPECT_EQ(failed.PlayToMemory(), 0);
        EXPECT_EQ(failed.PlayInWindow(), 0);
        EXPECT_EQ(failed.PlayInWindowFitted(), 0);
        EXPECT_EQ(failed.Resume(), 0);
        EXPECT_EQ(failed.Pause(), 0);
        EXPECT_EQ(failed.StepFrame(), 0);
        EXPECT_EQ(failed.Stop(), 0);
        EXPECT_EQ(failed.StopAndHide(), 0);
        EXPECT_EQ(failed.GetFrame(), nullptr);
        EXPECT_EQ(failed.GetCurrentPosition(), 0.0);
        failed.Release();
        failed.Release();
    }
    // A good movie opened over a failed one plays.
    CMovie movie2;
    EXPECT_EQ(movie2.Open("text.mpg"), 0);
    EXPECT_EQ(movie2.Open("movie.mpg"), 1);
    EXPECT_STREQ(movie2.GetName(), "movie.mpg");
    EXPECT_EQ(movie2.GetFlag(), 0x40);
}

TEST_F(CMovieTest, MemoryPlayShowsTheFirstFrameUprightInBlueGreenRedOrder)
{
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    EXPECT_EQ(movie.GetWidth(), 160);
    EXPECT_EQ(movie.GetHeight(), 128);
    EXPECT_EQ(movie.GetFrameSize(), 160 * 128 * 3);
    EXPECT_NEAR(movie.GetStopTime(), 1.0, 0.1);
    EXPECT_TRUE(movie.HasSound());
    EXPECT_EQ(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_STOPPED));

    ASSERT_EQ(movie.PlayToMemory(), 1);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_RUNNING));
    ASSERT_TRUE(WaitForFrameAt(movie, 0.0));
    uint8_t* frame = movie.GetCurrentFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(Near(Top(frame), 0xFF0000));
    EXPECT_TRUE(Near(Bottom(frame), 0x00FF00));
    // The clock has not moved: the first frame stays.
    EXPECT_EQ(movie.GetFramePosition(), 0.0);
}

TEST_F(CMovieTest, ClockPacesFramesAndPauseResumeStepAndStopBehave)
{
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    // Pause and Stop of a stopped movie do nothing and succeed.
    EXPECT_EQ(movie.Pause(), 1);
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_STOPPED));
    // A step before playing shows the first frame.
    EXPECT_EQ(movie.StepFrame(), 1);
    ASSERT_TRUE(WaitForFrameAt(movie, 0.0));
    EXPECT_NE(movie.GetFrame(), nullptr);
    EXPECT_EQ(movie.GetFramePosition(), 0.0);

    ASSERT_EQ(movie.PlayToMemory(), 1);
    SetSeconds(0.5);
    EXPECT_NEAR(movie.GetCurrentPosition(), 0.5, 1e-6);
    ASSERT_TRUE(WaitForFrameAt(movie, 0.48));
    EXPECT_LE(movie.GetFramePosition(), 0.5 + 1e-6);

    // Paused, the clock stands.
    EXPECT_EQ(movie.Pause(), 1);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_PAUSED));
    SetSeconds(1.5);
    EXPECT_NEAR(movie.GetCurrentPosition(), 0.5, 1e-6);
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_PAUSED));

    // A step shows the next frame and stays paused.
    const double before = movie.GetFramePosition();
    EXPECT_EQ(movie.StepFrame(), 1);
    ASSERT_TRUE(WaitFor([&] { return movie.GetFramePosition() > before + 1e-3; }));
    EXPECT_NEAR(movie.GetFramePosition(), before + 0.04, 1e-3);
    EXPECT_NEAR(movie.GetCurrentPosition(), before + 0.04, 1e-3);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_PAUSED));

    EXPECT_EQ(movie.Resume(), 1);
    SetSeconds(1.5 + 0.2);
    EXPECT_NEAR(movie.GetCurrentPosition(), before + 0.24, 1e-3);
    ASSERT_TRUE(WaitForFrameAt(movie, before + 0.24));

    // Stop rewinds and drops the frame; playing again starts over.
    EXPECT_EQ(movie.Stop(), 1);
    EXPECT_EQ(movie.GetState(), uint32_t(CMovie::STATE_STOPPED));
    EXPECT_EQ(movie.GetCurrentPosition(), 0.0);
    EXPECT_EQ(movie.GetFrame(), nullptr);
    ASSERT_EQ(movie.PlayToMemory(), 1);
    ASSERT_TRUE(WaitForFrameAt(movie, 0.0));
    uint8_t* frame = movie.GetFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_LT(movie.GetFramePosition(), 0.02);
    EXPECT_TRUE(Near(Top(frame), 0xFF0000));
}

TEST_F(CMovieTest, PlayingThroughReachesTheEndAndTheLastFrame)
{
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    ASSERT_EQ(movie.PlayToMemory(), 1);
    SetSeconds(0.2);
    ASSERT_TRUE(WaitForFrameAt(movie, 0.2));
    EXPECT_FALSE(movie.IsFinished());
    SetSeconds(30.0);
    ASSERT_TRUE(WaitFor([&] { return movie.IsFinished(); }));
    EXPECT_DOUBLE_EQ(movie.GetCurrentPosition(), movie.GetStopTime());
    EXPECT_NEAR(movie.GetFramePosition(), 0.96, 1e-3);
    uint8_t* frame = movie.GetFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(Near(Top(frame), 0x0000FF));
    EXPECT_TRUE(Near(Bottom(frame), 0xFFFFFF));
    // A step past the end has nothing to show.
    EXPECT_EQ(movie.StepFrame(), 0);
}

TEST_F(CMovieTest, AFrameHandedOutStaysWhileTheWorkerDecodesAhead)
{
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    ASSERT_EQ(movie.PlayToMemory(), 1);
    SetSeconds(0.2);
    ASSERT_TRUE(WaitForFrameAt(movie, 0.2));
    uint8_t* early = movie.GetFrame();
    ASSERT_NE(early, nullptr);
    const std::vector<uint8_t> copy(early, early + movie.GetFrameSize());
    // Asked again with nothing new, the same frame.
    EXPECT_EQ(movie.GetFrame(), early);

    // Every later frame is decoded while the game still holds the early
    // one: it must not change under it.
    SetSeconds(30.0);
    ASSERT_TRUE(WaitFor([&] { return movie.IsFinished(); }));
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), early));
    EXPECT_TRUE(Near(Top(early), 0xFF0000));

    uint8_t* last = movie.GetFrame();
    ASSERT_NE(last, nullptr);
    EXPECT_TRUE(Near(Top(last), 0x0000FF));
    EXPECT_TRUE(Near(Bottom(last), 0xFFFFFF));
}

TEST_F(CMovieTest, ReleaseWhileTheWorkerDecodesStopsItFirst)
{
    for (int round = 0; round < 5; ++round)
    {
        CMovie movie;
        ASSERT_EQ(movie.Open("movie.mpg"), 1);
        SetSeconds(0.0);
        ASSERT_EQ(movie.PlayToMemory(), 1);
        // The clock far ahead: the worker decodes as fast as it can.
        SetSeconds(100.0);
        if (round % 2 == 1)
            WaitForFrameAt(movie, 0.1 * round);
        movie.GetFrame();
        movie.Release();
        EXPECT_EQ(movie.GetFrame(), nullptr);
        EXPECT_EQ(movie.PlayToMemory(), 0);
    }
    // Released movies open again.
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    movie.Release();
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    ASSERT_EQ(movie.PlayToMemory(), 1);
}

TEST(CMovieFit, FittedRectanglesKeepTheAspectAndCentre)
{
    MovieRect wide = CMovie::FitRect(1280, 720, 640, 480);
    EXPECT_EQ(wide.x, 0);
    EXPECT_EQ(wide.y, 60);
    EXPECT_EQ(wide.width, 640);
    EXPECT_EQ(wide.height, 360);
    MovieRect exact = CMovie::FitRect(640, 480, 640, 480);
    EXPECT_EQ(exact.x, 0);
    EXPECT_EQ(exact.y, 0);
    EXPECT_EQ(exact.width, 640);
    EXPECT_EQ(exact.height, 480);
    MovieRect tall = CMovie::FitRect(480, 640, 640, 480);
    EXPECT_EQ(tall.x, 140);
    EXPECT_EQ(tall.y, 0);
    EXPECT_EQ(tall.width, 360);
    EXPECT_EQ(tall.height, 480);
}

TEST_F(CMovieTest, WindowPlayFindsTheWindowThroughTheComHolder)
{
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    // No holder, no window.
    ASSERT_EQ(CComInit::GetCurrent(), nullptr);
    EXPECT_EQ(movie.PlayInWindow(), 0);

    HeadlessWindow window(DefaultWindowProcedure);
    CSystem system;
    system.AttachWindow(&window);
    system.SetClientSize(640, 480, 0);
    CComInit holder;
    ASSERT_EQ(holder.Init(&system), 1);

    ASSERT_EQ(movie.PlayInWindow(), 1);
    EXPECT_EQ(movie.IsWindowed(), 1u);
    EXPECT_EQ(movie.GetWindowRect().width, 640);
    EXPECT_EQ(movie.GetWindowRect().height, 480);
    EXPECT_EQ(movie.StopAndHide(), 1);

    // 160 x 128 into 640 x 480: the height limits.
    ASSERT_EQ(movie.PlayInWindowFitted(), 1);
    EXPECT_EQ(movie.GetWindowRect().x, 20);
    EXPECT_EQ(movie.GetWindowRect().y, 0);
    EXPECT_EQ(movie.GetWidth(), 600);
    EXPECT_EQ(movie.GetHeight(), 480);
    EXPECT_EQ(movie.GetVideoWidth(), 160);
    movie.Release();
    holder.Uninit();
    EXPECT_EQ(CComInit::GetCurrent(), nullptr);
    system.Release();
}

TEST_F(CMovieTest, SoundReachesTheLoopbackDevice)
{
    CSound sound;
    ASSERT_EQ(sound.CreateLoopback(), 1);
    {
        CMovie movie;
        ASSERT_EQ(movie.Open("movie.mpg"), 1);
        ASSERT_EQ(movie.PlayToMemory(), 1);
        // The loopback device mixes only when asked, so the whole sound
        // waits queued once the movie has been read through.
        SetSeconds(30.0);
        ASSERT_TRUE(WaitFor([&] { return movie.IsFinished(); }));
        std::vector<int16_t> mixed(44100 / 4 * 2);
        ASSERT_EQ(sound.RenderLoopback(mixed.data(), 44100 / 4), 1);
        int peak = 0;
        for (int16_t sample : mixed)
            peak = std::max(peak, std::abs(int(sample)));
        EXPECT_GT(peak, 4000);

        // Silenced at its own volume (after the short ramp of the gain).
        movie.SetVolume(-10000);
        ASSERT_EQ(sound.RenderLoopback(mixed.data(), 44100 / 8), 1);
        ASSERT_EQ(sound.RenderLoopback(mixed.data(), 44100 / 4), 1);
        peak = 0;
        for (int16_t sample : mixed)
            peak = std::max(peak, std::abs(int(sample)));
        // Only the output's dither is left.
        EXPECT_LE(peak, 2);
        movie.Release();
    }
    sound.Release();
}
