#include "engine/platform/CComInit.h"
#include "engine/platform/CMovie.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CTexture.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/MovieFiles.h"
#include "tests/engine/render/RenderTestDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace
{
uint64_t StoppedClock()
{
    return 0;
}

bool NearRgbWide(uint32_t actual, uint32_t expected)
{
    return NearRgb(actual, expected, 40);
}

class MovieFrameTest : public RenderTest
{
protected:
    void SetUp() override
    {
        RenderTest::SetUp();
        av_log_set_level(AV_LOG_ERROR);
        CMovie::SetClock(StoppedClock);
    }
    void TearDown() override { CMovie::SetClock(nullptr); }

    TempFolder m_folder;
};
}

TEST_F(MovieFrameTest, FramesShowUprightInTheirColoursThroughSetPixelsRGB24)
{
    TestMovieSpec spec;
    ASSERT_TRUE(WriteTestMovie("movie.mpg", spec));
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    ASSERT_EQ(movie.PlayToMemory(), 1);
    uint8_t* frame = nullptr;
    for (int turn = 0; turn < 5000 && frame == nullptr; ++turn)
    {
        frame = movie.GetCurrentFrame();
        if (frame == nullptr)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_NE(frame, nullptr);

    CTexture texture;
    ASSERT_EQ(texture.CreateRenderTarget(static_cast<uint32_t>(movie.GetWidth()),
                                         static_cast<uint32_t>(movie.GetHeight()), 0, FORMAT_X8R8G8B8, 1),
              1);
    ASSERT_EQ(texture.SetPixelsRGB24(static_cast<uint32_t>(movie.GetWidth()),
                                     static_cast<uint32_t>(movie.GetHeight()), frame),
              1);
    texture.DrawRect(nullptr, nullptr, 0xFFFFFFFF, 0);
    // Red above green, as encoded: no flip and no swapped channels.
    EXPECT_TRUE(NearRgbWide(Rgb(SIZE / 2, SIZE / 8), 0xFF0000));
    EXPECT_TRUE(NearRgbWide(Rgb(SIZE / 2, SIZE * 7 / 8), 0x00FF00));
    texture.Release();
    movie.Release();
}

TEST_F(MovieFrameTest, WindowPlayDrawsTheFrameFittedIntoTheClientArea)
{
    TestMovieSpec spec;
    ASSERT_TRUE(WriteTestMovie("movie.mpg", spec));
    CComInit holder;
    holder.Init(&headless.System());
    CMovie movie;
    ASSERT_EQ(movie.Open("movie.mpg"), 1);
    EXPECT_EQ(movie.DrawInWindow(&graphics), 0);
    // 160 x 128 into 128 x 128: the width limits, 102 rows high from row 13.
    ASSERT_EQ(movie.PlayInWindowFitted(), 1);
    EXPECT_EQ(movie.GetWindowRect().y, 13);
    EXPECT_EQ(movie.GetWindowRect().height, 102);
    int drawn = 0;
    for (int turn = 0; turn < 5000 && drawn == 0; ++turn)
    {
        drawn = movie.DrawInWindow(&graphics);
        if (drawn == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_EQ(drawn, 1);
    EXPECT_EQ(Rgb(SIZE / 2, 5), 0u);
    EXPECT_TRUE(NearRgbWide(Rgb(SIZE / 2, 13 + 10), 0xFF0000));
    EXPECT_TRUE(NearRgbWide(Rgb(SIZE / 2, 13 + 92), 0x00FF00));
    EXPECT_EQ(Rgb(SIZE / 2, 122), 0u);
    movie.StopAndHide();
    EXPECT_EQ(movie.DrawInWindow(&graphics), 0);
    movie.Release();
    holder.Uninit();
}
