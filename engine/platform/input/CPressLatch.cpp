// Button events folded into one reading per frame.
#include "engine/platform/input/CPressLatch.h"

#include <algorithm>
#include <iterator>

void CPressLatch::Press(uint32_t button)
{
    if (button < kButtons && !EndsDown(button))
        Wait(button);
}

void CPressLatch::Release(uint32_t button)
{
    if (button < kButtons && EndsDown(button))
        Wait(button);
}

// How the button stands once every waiting event has been shown.
bool CPressLatch::EndsDown(uint32_t button) const
{
    return m_readDown[button] != (m_waiting[button] % 2 == 1);
}

void CPressLatch::Wait(uint32_t button)
{
    // Full: the event cancels the one before it, a press with its release.
    if (m_waiting[button] == kMostWaiting)
        --m_waiting[button];
    else
        ++m_waiting[button];
}

void CPressLatch::Read(const uint8_t* device, uint8_t* reading, uint32_t count)
{
    count = std::min(count, kButtons);
    for (uint32_t button = 0; button < count; ++button)
        reading[button] = ReadButton(button, device[button] != 0);
}

uint8_t CPressLatch::ReadButton(uint32_t button, bool device)
{
    if (m_waiting[button] == 0)
        m_readDown[button] = device;
    else
    {
        --m_waiting[button];
        m_readDown[button] = !m_readDown[button];
    }
    return m_readDown[button] ? 1 : 0;
}

void CPressLatch::Reset()
{
    std::fill(std::begin(m_readDown), std::end(m_readDown), false);
    std::fill(std::begin(m_waiting), std::end(m_waiting), uint8_t{0});
}
