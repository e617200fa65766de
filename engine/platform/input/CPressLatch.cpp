// Button events folded into one reading per frame.
#include "engine/platform/input/CPressLatch.h"

#include <algorithm>
#include <iterator>

void CPressLatch::Press(uint32_t button)
{
    if (button < kButtons)
        m_pressed[button] = true;
}

void CPressLatch::Release(uint32_t button)
{
    if (button < kButtons)
        m_released[button] = true;
}

void CPressLatch::Read(const uint8_t* device, uint8_t* reading, uint32_t count)
{
    count = std::min(count, kButtons);
    for (uint32_t button = 0; button < count; ++button)
        reading[button] = ReadButton(button, device[button] != 0);
}

uint8_t CPressLatch::ReadButton(uint32_t button, bool device)
{
    bool down = device;
    // A press that came after a release this reading shows: the next one.
    bool pressLeft = false;
    if (!m_readDown[button])
        down = device || m_pressed[button];
    else if (m_released[button])
    {
        down = false;
        pressLeft = m_pressed[button];
    }
    m_readDown[button] = down;
    m_pressed[button] = pressLeft;
    m_released[button] = false;
    return down ? 1 : 0;
}

void CPressLatch::Reset()
{
    std::fill(std::begin(m_readDown), std::end(m_readDown), false);
    std::fill(std::begin(m_pressed), std::end(m_pressed), false);
    std::fill(std::begin(m_released), std::end(m_released), false);
}
