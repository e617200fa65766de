#pragma once

#include <cstdint>

// Folds a device's button events into one reading per frame, so that no
// press is lost between two frames and each press is a rising edge of its
// own: a press reads down only after a reading of up. Events come faster
// than frames (a touchpad's tap sends a press and its release together,
// mashing beats a slow frame), so those the readings have not shown yet
// wait, in order, and each reading shows the next one: a press as down, a
// release as up. With none waiting a button reads as the device's state
// says, so a missed event puts itself right at the next reading.
//
// One button, reading by reading:
//
//   read last   events since                this reading    the next, no events
//   up          a press                     down            the device's state
//   up          a press, a release          down            up
//   down        a release                   up              the device's state
//   down        a release, a press          up              down
//   either      presses and releases        the first       the next, and so on
//   either      none                        device's state  device's state
//
// An event that would not turn the button over (a press where it stands
// down once the waiting events are shown, a release where it stands up) is
// one whose opposite was missed, and changes nothing. At most kMostWaiting
// events wait, so mashing cannot put the game far behind; past that a new
// event cancels the last one waiting, a press lost with its release, and
// the button still ends as it was left.
//
// Not locked: the owner serialises the events and the readings.
class CPressLatch
{
public:
    static constexpr uint32_t kButtons = 256;
    static constexpr uint8_t kMostWaiting = 16;

    void Press(uint32_t button);
    void Release(uint32_t button);
    // This frame's reading of count buttons (at most kButtons) from the
    // devices' states now, each 0 or 1.
    void Read(const uint8_t* device, uint8_t* reading, uint32_t count);
    // Forgets every event and reading (the device stopped being read).
    void Reset();

private:
    bool EndsDown(uint32_t button) const;
    void Wait(uint32_t button);
    uint8_t ReadButton(uint32_t button, bool device);

    bool m_readDown[kButtons] = {};
    // Events not shown yet. They alternate and the first turns the last
    // reading over, so their number says which each one is.
    uint8_t m_waiting[kButtons] = {};
};
