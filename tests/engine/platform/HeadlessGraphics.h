#pragma once

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/support/HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

// A CGraphics on a headless window: EGL on Mesa's surfaceless platform,
// drawing into the back-buffer framebuffer that tests read back. The
// window procedure records the message ids it receives.
class HeadlessGraphics
{
public:
    explicit HeadlessGraphics(int32_t width = 64, int32_t height = 48)
    {
        Messages().clear();
        m_window = std::make_unique<HeadlessWindow>(&Procedure);
        m_system.AttachWindow(m_window.get());
        m_system.SetClientSize(width, height, 0);
        m_created = m_graphics.Create(&m_system);
    }
    ~HeadlessGraphics()
    {
        m_graphics.Destroy();
        m_system.Release();
    }

    static std::vector<uint32_t>& Messages()
    {
        static std::vector<uint32_t> messages;
        return messages;
    }

    // Called with each message id as it arrives, before it is recorded.
    using Observer = void (*)(uint32_t id);
    static Observer& MessageObserver()
    {
        static Observer observer = nullptr;
        return observer;
    }

    static LResult Procedure(WindowHandle, uint32_t id, WParam, LParam)
    {
        if (MessageObserver() != nullptr)
            MessageObserver()(id);
        Messages().push_back(id);
        return 0;
    }

    bool Created() const { return m_created != 0; }
    CGraphics& Graphics() { return m_graphics; }
    GraphicsDevice& Device() { return *m_graphics.GetDevice(); }
    CSystem& System() { return m_system; }

    uint32_t Pixel(int x, int y)
    {
        uint32_t value = 0;
        EXPECT_EQ(Device().ReadPixels(nullptr, x, y, 1, 1, &value), DEVICE_OK);
        return value;
    }

private:
    std::unique_ptr<HeadlessWindow> m_window;
    CSystem m_system;
    CGraphics m_graphics;
    int m_created = 0;
};

inline int Channel(uint32_t argb, int shift)
{
    return static_cast<int>((argb >> shift) & 0xFF);
}

// RGB within tolerance of the expected colour.
inline ::testing::AssertionResult NearRgb(uint32_t actual, uint32_t expected, int tolerance = 2)
{
    for (int shift : {16, 8, 0})
    {
        const int difference = Channel(actual, shift) - Channel(expected, shift);
        if (difference > tolerance || difference < -tolerance)
            return ::testing::AssertionFailure() << std::hex << "actual 0x" << actual << " expected 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}
