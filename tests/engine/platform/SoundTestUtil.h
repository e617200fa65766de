#pragma once

// Helpers of the sound tests: a fresh loopback device per test and
// measurements of what it renders.

#include "engine/platform/sound/CSound.h"
#include "engine/platform/PlatformMessageBox.h"
#include "tests/engine/platform/SoundFiles.h"
#include "tests/support/CallWatch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace soundtest
{
// Collects the error boxes a test provokes.
inline std::vector<std::string>& Boxes()
{
    static std::vector<std::string> boxes;
    return boxes;
}

inline void CatchBox(const char* text, const char* caption)
{
    Boxes().push_back(std::string(caption) + ":" + text);
}

// A fresh loopback device for every test: OpenAL ramps gains from a
// source's previous state, so devices are never shared between tests.
class SoundTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Boxes().clear();
        SetMessageBoxHook(CatchBox);
        ASSERT_EQ(m_sound.CreateLoopback(), 1);
    }
    void TearDown() override
    {
        SetMessageBoxHook(nullptr);
    }

    // Renders seconds of stereo output.
    std::vector<int16_t> Render(double seconds)
    {
        const uint32_t frames = static_cast<uint32_t>(seconds * kRate);
        std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
        EXPECT_EQ(m_sound.RenderLoopback(out.data(), frames), 1);
        return out;
    }

    CSound m_sound;
};

// A test that stops streams while their threads run: a stop that deadlocks
// with a thread it joins fails the test at once rather than hang the run.
class StreamStopTest : public SoundTest
{
protected:
    void SetUp() override
    {
        SoundTest::SetUp();
        m_deadlocks.Begin();
    }
    void TearDown() override
    {
        m_deadlocks.End();
        SoundTest::TearDown();
    }

private:
    CallWatch m_deadlocks{kOnlyDeadlocks};
};

// The peak of one channel (0 left, 1 right) over frames [from, to).
inline int Peak(const std::vector<int16_t>& stereo, int channel, size_t from, size_t to)
{
    int peak = 0;
    for (size_t f = from; f < to && 2 * f + 1 < stereo.size(); ++f)
        peak = std::max(peak, std::abs(static_cast<int>(stereo[2 * f + static_cast<size_t>(channel)])));
    return peak;
}

// The last frame where either channel is louder than the threshold, or -1.
inline long LastSounding(const std::vector<int16_t>& stereo, int threshold)
{
    for (size_t f = stereo.size() / 2; f-- > 0;)
    {
        if (std::abs(stereo[2 * f]) > threshold || std::abs(stereo[2 * f + 1]) > threshold)
            return static_cast<long>(f);
    }
    return -1;
}

// The longest run of frames where both channels stay at or below threshold.
inline size_t LongestQuietRun(const std::vector<int16_t>& stereo, size_t from, size_t to, int threshold)
{
    size_t longest = 0;
    size_t run = 0;
    for (size_t f = from; f < to && 2 * f + 1 < stereo.size(); ++f)
    {
        if (std::abs(stereo[2 * f]) <= threshold && std::abs(stereo[2 * f + 1]) <= threshold)
            longest = std::max(longest, ++run);
        else
            run = 0;
    }
    return longest;
}
}
