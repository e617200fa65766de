#pragma once

#include <cstdint>

// A fade level between 0 and 1 moving towards its target at a fixed rate
// per second. The menus fade their pictures at 2.0 per second (half a
// second from nothing to full).
class MenuFade
{
public:
    static constexpr float kMenuRate = 2.0f;

    explicit MenuFade(float level = 0.0f, float target = 0.0f, float ratePerSecond = kMenuRate)
        : m_level(level), m_target(target), m_rate(ratePerSecond)
    {
    }

    // Moves the level by rate x milliseconds / 1000 towards the target,
    // stopping on it (the move reported to MenuTransitions). True once the
    // level stands on the target.
    bool Step(uint32_t milliseconds);
    void SetTarget(float target) { m_target = target; }
    void SetLevel(float level) { m_level = level; }
    void SetRate(float ratePerSecond) { m_rate = ratePerSecond; }
    // Raises the level to at least minimum (a background that rises with
    // the screen but never drops with it).
    void RaiseTo(float minimum);
    // Lowers the level to at most maximum.
    void LowerTo(float maximum);

    float Level() const { return m_level; }
    float Target() const { return m_target; }
    bool IsSettled() const { return m_level == m_target; }

private:
    float m_level;
    float m_target;
    float m_rate;
};
