#include "engine/platform/input/CPressLatch.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
constexpr uint32_t kButton = 3;
constexpr uint32_t kRead = 8;

// Plays one button's events into a latch, the device's state following
// them: 'P' a press, 'R' a release, '|' a frame's reading. Returns the
// readings in turn, '1' down and '0' up.
std::string Readings(const std::string& script)
{
    CPressLatch latch;
    uint8_t device[kRead] = {};
    uint8_t reading[kRead] = {};
    std::string readings;
    for (char step : script)
    {
        if (step == 'P')
            latch.Press(kButton);
        if (step == 'P' || step == 'R')
            device[kButton] = step == 'P' ? 1 : 0;
        if (step == 'R')
            latch.Release(kButton);
        if (step != '|')
            continue;
        latch.Read(device, reading, kRead);
        readings += reading[kButton] != 0 ? '1' : '0';
    }
    return readings;
}
}

// Every press is its own rising edge: one reading up, then its reading
// down, however the events fall between the readings.
TEST(PressLatch, EveryPressReadsUpAndThenDownOnItsOwn)
{
    // A tap reads down once, then up.
    EXPECT_EQ(Readings("PR||"), "10");
    // A tap, and a press held from the next frame: the tap's up comes
    // between them.
    EXPECT_EQ(Readings("PR|P|||"), "1011");
    // A held button let go and pressed again between two readings.
    EXPECT_EQ(Readings("P|RP||"), "101");
    // The same in two frames in a row (mashing on slow frames): three
    // presses, three rising edges.
    EXPECT_EQ(Readings("P|RP|RP|||"), "10101");
    // Three taps between two readings, from up and from held.
    EXPECT_EQ(Readings("|PRPRPR||||||"), "0101010");
    EXPECT_EQ(Readings("|PRPRP|||||"), "010101");
    EXPECT_EQ(Readings("P|RPRPRP||||||"), "1010101");
    // Without events the device's state is read: held stays down.
    EXPECT_EQ(Readings("P||||R|||"), "1111000");
    // Mashing far faster than the frames, ending held: the game falls at
    // most kMostWaiting / 2 presses behind, and the button ends down.
    std::string mashing, shown;
    for (int tap = 0; tap < 20; ++tap)
        mashing += "PR";
    for (int tap = 1; tap < CPressLatch::kMostWaiting / 2; ++tap)
        shown += "10";
    EXPECT_EQ(Readings(mashing + "P" + std::string(CPressLatch::kMostWaiting + 1, '|')), shown + "111");
}
