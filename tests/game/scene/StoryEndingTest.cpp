// The ending's phases frame by frame at the story's 17 ms step: how long
// each lasts, the staff roll's length and speed, and a missing roll that
// still takes its time.
#include "game/scene/CStoryEnding.h"
#include "tests/engine/core/TempFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace
{
using Phase = CStoryEnding::Phase;
constexpr uint32_t kFrame = 17;

// Runs the ending to its end; the frames each phase lasted.
std::map<Phase, uint32_t> RunToTheEnd(CStoryEnding& ending, bool fast = false)
{
    std::map<Phase, uint32_t> frames;
    ending.Start();
    for (int frame = 0; frame < 100000; ++frame)
    {
        const Phase phase = ending.GetPhase();
        ++frames[phase];
        if (ending.Update(kFrame, fast))
            break;
    }
    return frames;
}

uint32_t Frames(double seconds)
{
    return static_cast<uint32_t>(seconds * 1000.0 / kFrame + 0.999);
}
}

TEST(StoryEnding, EachPhaseLastsItsTimeAndTheRollAsLongAsItsLines)
{
    TempFolder folder;
    TempFolder::Write("Roll.stt", "24,First\r\n24,\n30,Third\n");
    CStoryEnding ending;
    ASSERT_TRUE(ending.LoadStaffRoll("Roll.stt"));
    ASSERT_EQ(ending.GetStaffRoll().GetCount(), 3u);
    EXPECT_FLOAT_EQ(ending.GetRollHeight(), 28.0f + 28.0f + 34.0f);
    const std::map<Phase, uint32_t> frames = RunToTheEnd(ending);
    EXPECT_EQ(frames.at(Phase::Brighten), Frames(1.0));
    EXPECT_EQ(frames.at(Phase::Hold), Frames(1.0));
    EXPECT_NEAR(frames.at(Phase::ToColor), Frames(4.0), 1);
    EXPECT_EQ(frames.at(Phase::CardIn), Frames(1.0));
    EXPECT_EQ(frames.at(Phase::Shrink), Frames(0.45 / 0.45));
    // From 1800 + 90 down to 600 at 60 units a second.
    EXPECT_NEAR(frames.at(Phase::Roll), Frames((1200.0 + 90.0) / 60.0), 1);
    EXPECT_EQ(frames.at(Phase::Grow), Frames(1.0));
    EXPECT_NEAR(frames.at(Phase::LogoIn), Frames(4.0), 1);
    EXPECT_EQ(frames.at(Phase::LogoHold), Frames(3.0));
    EXPECT_EQ(frames.at(Phase::LogoOut), Frames(1.0));
    EXPECT_EQ(ending.GetPhase(), Phase::Done);
    EXPECT_FLOAT_EQ(ending.GetLogoAlpha(), 0.0f);
    EXPECT_FLOAT_EQ(ending.GetColorAlpha(), 0.0f);
}

TEST(StoryEnding, TheZoomSepiaAndColourMoveTogether)
{
    CStoryEnding ending;
    ending.Start();
    EXPECT_FLOAT_EQ(ending.GetZoom(), 3.0f);
    EXPECT_FLOAT_EQ(ending.GetSepiaAlpha(), 1.0f);
    while (ending.GetPhase() != Phase::ToColor)
        ending.Update(kFrame, false);
    for (int frame = 0; frame < 60; ++frame)
        ending.Update(kFrame, false);
    EXPECT_NEAR(ending.GetColorAlpha(), 60 * 0.017f * 0.25f, 1e-4f);
    EXPECT_FLOAT_EQ(ending.GetSepiaAlpha() + ending.GetColorAlpha(), 1.0f);
    EXPECT_NEAR(ending.GetZoom(), 3.0f - 2.0f * ending.GetColorAlpha(), 1e-5f);
}

TEST(StoryEnding, AMissingRollStillRunsItsTwentySecondsBetweenTheCardAndTheLogo)
{
    TempFolder folder;
    CStoryEnding ending;
    EXPECT_FALSE(ending.LoadStaffRoll("Story\\StaffRoll.stt"));
    ending.Start();
    EXPECT_FLOAT_EQ(ending.GetRollPosition(), CStoryEnding::kRollStart);
    const std::map<Phase, uint32_t> frames = RunToTheEnd(ending);
    // From 1800 down to 600 at 60 units a second; the card before it and
    // the logo after it keep their times.
    EXPECT_NEAR(frames.at(Phase::Roll), Frames(20.0), 1);
    EXPECT_EQ(frames.at(Phase::CardIn), Frames(1.0));
    EXPECT_EQ(frames.at(Phase::CardHold), Frames(1.0));
    EXPECT_NEAR(frames.at(Phase::LogoIn), Frames(4.0), 1);
    EXPECT_EQ(frames.at(Phase::LogoHold), Frames(3.0));
    EXPECT_EQ(ending.GetPhase(), Phase::Done);
}

TEST(StoryEnding, AHeldRollRunsTenTimesFasterAndALineOf24Takes28Units)
{
    TempFolder folder;
    TempFolder::Write("Roll.stt", "24,a\n24,b\n");
    CStoryEnding ending;
    ASSERT_TRUE(ending.LoadStaffRoll("Roll.stt"));
    ending.Start();
    EXPECT_FLOAT_EQ(ending.LineY(1) - ending.LineY(0), 28.0f);
    const std::map<Phase, uint32_t> frames = RunToTheEnd(ending, true);
    EXPECT_NEAR(frames.at(Phase::Roll), Frames((1200.0 + 56.0) / 600.0), 1);
}
