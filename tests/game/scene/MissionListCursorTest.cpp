// The mission list's cursor for lists of every length that matters: none,
// one, fewer than a view, a view, one more, two views, two views and one.
#include "game/scene/MissionListCursor.h"

#include <gtest/gtest.h>

namespace
{
constexpr float kBar = 438.0f;

class MissionList : public ::testing::TestWithParam<uint32_t>
{
protected:
    uint32_t Count() const { return GetParam(); }
    // The cursor stands inside the list and on a row of the view.
    void ExpectInView(const MissionListCursor& cursor) const
    {
        EXPECT_LE(cursor.top, MissionListCursor::MaxTop(Count()));
        if (Count() == 0)
        {
            EXPECT_EQ(cursor.selected, 0u);
            return;
        }
        EXPECT_LT(cursor.selected, Count());
        EXPECT_GE(cursor.selected, cursor.top);
        EXPECT_LT(cursor.selected, cursor.top + MissionListCursor::kRows);
    }
};
}

TEST_P(MissionList, DownVisitsEveryMissionWithTheViewFollowingAndWrapsToTheFirst)
{
    MissionListCursor cursor;
    for (uint32_t step = 1; step <= Count(); ++step)
    {
        cursor.Down(Count());
        ExpectInView(cursor);
        EXPECT_EQ(cursor.selected, step % Count());
    }
    EXPECT_EQ(cursor.top, 0u);
    cursor.Down(Count());
    ExpectInView(cursor);
}

TEST_P(MissionList, UpFromTheFirstGoesToTheLastWithTheLastRowsOnView)
{
    MissionListCursor cursor;
    cursor.Up(Count());
    ExpectInView(cursor);
    EXPECT_EQ(cursor.selected, Count() > 0 ? Count() - 1 : 0u);
    EXPECT_EQ(cursor.top, MissionListCursor::MaxTop(Count()));
    for (uint32_t step = 0; step < Count(); ++step)
    {
        cursor.Up(Count());
        ExpectInView(cursor);
    }
    EXPECT_EQ(cursor.selected, Count() > 0 ? Count() - 1 : 0u);
}

TEST_P(MissionList, TheMouseChoosesOnlyRowsThatHoldAMission)
{
    MissionListCursor cursor;
    for (uint32_t row = 0; row < MissionListCursor::kRows + 1; ++row)
    {
        const bool held = row < MissionListCursor::kRows && row < Count();
        EXPECT_EQ(cursor.PointAt(row, Count()), held);
        if (held)
        {
            EXPECT_EQ(cursor.selected, row);
        }
    }
    ExpectInView(cursor);
}

TEST_P(MissionList, TheScrollBarMovesTheViewFromTopToBottomAndNeverDividesByNothing)
{
    MissionListCursor cursor;
    const uint32_t highest = MissionListCursor::MaxTop(Count());
    EXPECT_EQ(cursor.Scroll(kBar + 5.0f, kBar, Count()), highest > 0);
    EXPECT_EQ(cursor.top, highest);
    ExpectInView(cursor);
    cursor.Scroll(-5.0f, kBar, Count());
    EXPECT_EQ(cursor.top, 0u);
    // Every first row is reached, each over an equal share of the bar.
    uint32_t previous = 0;
    for (float along = 0.0f; along < kBar; along += 1.0f)
    {
        cursor.Scroll(along, kBar, Count());
        ExpectInView(cursor);
        EXPECT_GE(cursor.top, previous);
        EXPECT_LE(cursor.top, previous + 1);
        previous = cursor.top;
    }
    EXPECT_EQ(previous, highest);
}

TEST_P(MissionList, AListThatShrankKeepsTheCursorInside)
{
    MissionListCursor cursor;
    cursor.selected = 40;
    cursor.top = 30;
    cursor.Fit(Count());
    ExpectInView(cursor);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MissionList, ::testing::Values(0u, 1u, 12u, 13u, 14u, 26u, 27u));

TEST(MissionListRows, ThirteenMissionsFitWithoutMovingTheView)
{
    MissionListCursor cursor;
    for (int step = 0; step < 12; ++step)
        cursor.Down(13);
    EXPECT_EQ(cursor.selected, 12u);
    EXPECT_EQ(cursor.top, 0u);
    cursor.Down(14);
    EXPECT_EQ(cursor.selected, 13u);
    EXPECT_EQ(cursor.top, 1u);
}
