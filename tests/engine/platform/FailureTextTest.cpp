#include "engine/platform/sound/CSoundBuffer.h"
#include "tests/engine/platform/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <string>

using namespace soundtest;

// A failure keeps the user's box as it was and leaves the library's own
// reason on standard error.

namespace
{
class FailureText : public SoundTest
{
};
}

TEST_F(FailureText, MissingSoundFileSaysWhyBesideTheBox)
{
    CSoundBuffer buffer;
    testing::internal::CaptureStderr();
    EXPECT_EQ(buffer.Load("/nonexistent/Missing.wav", 1, 0), 0);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("/nonexistent/Missing.wav: No such file or directory"), std::string::npos) << log;
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].substr(0, 10), "Error:WAVE");
}

TEST_F(FailureText, SoundThatLoadsWritesNothing)
{
    const std::vector<uint8_t> wave = MakeWave(Sine(0.1, 440.0, 0.5, 1), 1);
    CSoundBuffer buffer;
    testing::internal::CaptureStderr();
    EXPECT_EQ(buffer.LoadFromMemory(wave.data(), "Sine.wav", static_cast<uint32_t>(wave.size()), 1,
                                    CSoundBuffer::FLAG_STATIC),
              1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(Boxes().empty());
}
