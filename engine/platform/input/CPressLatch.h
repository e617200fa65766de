#pragma once

#include <cstdint>

// Folds a device's button events into one reading per frame, so that no
// press is lost between two frames. A button pressed and released since the
// last reading reads down once (a touchpad's tap sends both together); one
// released and pressed again while it read down reads up once and down at
// the reading after. Without events a button reads as the device's state
// says, so a missed event puts itself right at the next reading.
//
// One button, reading by reading:
//
//   read last   events since            this reading    the next, no events
//   up          a press (and more)      down            the device's state
//   down        a release               up              the device's state
//   down        a release, then a press up              down
//   either      none                    device's state  device's state
//
// Not locked: the owner serialises the events and the readings.
class CPressLatch
{
public:
    static constexpr uint32_t kButtons = 256;

    void Press(uint32_t button);
    void Release(uint32_t button);
    // This frame's reading of count buttons (at most kButtons) from the
    // devices' states now, each 0 or 1.
    void Read(const uint8_t* device, uint8_t* reading, uint32_t count);
    // Forgets every event and reading (the device stopped being read).
    void Reset();

private:
    uint8_t ReadButton(uint32_t button, bool device);

    bool m_readDown[kButtons] = {};
    bool m_pressed[kButtons] = {};
    bool m_released[kButtons] = {};
};
