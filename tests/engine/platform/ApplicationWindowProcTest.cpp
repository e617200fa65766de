#include "engine/platform/CApplicationMain.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/platform/message/MessageQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class DeviceApplication : public CApplicationMain
{
public:
    int Init(InstanceHandle, WindowProcedure) override { return 1; }
    int Update() override { return 1; }
    int OnLostDevice() override
    {
        ++lost;
        return 1;
    }
    int OnResetDevice() override
    {
        ++reset;
        return 1;
    }
    int Render() override { return 1; }
    uint32_t Shutdown() override { return 0; }
    LResult WindowProc(WindowHandle window, uint32_t id, WParam wParam, LParam lParam) override
    {
        seen.push_back(id);
        return CApplicationMain::WindowProc(window, id, wParam, lParam);
    }

    int lost = 0;
    int reset = 0;
    std::vector<uint32_t> seen;
};

DeviceApplication* g_app;

LResult ApplicationProcedure(WindowHandle window, uint32_t id, WParam wParam, LParam lParam)
{
    return g_app->WindowProc(window, id, wParam, lParam);
}

class ApplicationWindowProc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MessageQueue::Clear();
        g_app = &m_app;
    }
    void TearDown() override
    {
        MessageQueue::Clear();
        g_app = nullptr;
    }

    int QuitMessages()
    {
        int quits = 0;
        Message message;
        while (MessageQueue::Peek(message))
            quits += message.id == MSG_QUIT ? 1 : 0;
        return quits;
    }

    DeviceApplication m_app;
    HeadlessWindow m_window{ApplicationProcedure};
};
}

TEST_F(ApplicationWindowProc, DeviceMessagesReachTheHooks)
{
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_DEVICE_LOST, 0, 0), 0);
    EXPECT_EQ(m_app.lost, 1);
    EXPECT_EQ(m_app.reset, 0);
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_USER + 2, 0, 0), 0);
    EXPECT_EQ(m_app.reset, 1);
}

TEST_F(ApplicationWindowProc, ScreenSaverIsRefusedOtherCommandsPass)
{
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_SYSCOMMAND, SYSCMD_SCREENSAVE, 0), 1);
    EXPECT_FALSE(m_window.IsMinimized());
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_SYSCOMMAND, SYSCMD_MINIMIZE, 0), 0);
    EXPECT_TRUE(m_window.IsMinimized());
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_SYSCOMMAND, SYSCMD_RESTORE, 0), 0);
    EXPECT_FALSE(m_window.IsMinimized());
    EXPECT_EQ(QuitMessages(), 0);
}

TEST_F(ApplicationWindowProc, CloseAndDestroyPostQuitWithoutDestroyingTheWindow)
{
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_CLOSE, 0, 0), 0);
    EXPECT_FALSE(m_window.IsDestroyed());
    EXPECT_EQ(QuitMessages(), 1);
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_DESTROY, 0, 0), 0);
    EXPECT_EQ(QuitMessages(), 1);
}

TEST_F(ApplicationWindowProc, AltF10AndF12AreSwallowed)
{
    for (uint32_t id : {MSG_SYSKEYDOWN, MSG_SYSKEYUP})
    {
        for (WParam key : {VKEY_MENU, VKEY_F10, VKEY_F12})
            EXPECT_EQ(MessageQueue::Send(&m_window, id, key, 0), 0);
    }
    // None went on to the default procedure (which would have sent more).
    EXPECT_EQ(m_app.seen.size(), 6u);
    EXPECT_EQ(QuitMessages(), 0);
}

TEST_F(ApplicationWindowProc, AltF4StillClosesAndEndsTheLoop)
{
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_SYSKEYDOWN, VKEY_F4, 1u << 29), 0);
    const std::vector<uint32_t> expected = {MSG_SYSKEYDOWN, MSG_SYSCOMMAND, MSG_CLOSE};
    EXPECT_EQ(m_app.seen, expected);
    EXPECT_EQ(QuitMessages(), 1);
    EXPECT_FALSE(m_window.IsDestroyed());
}

TEST_F(ApplicationWindowProc, OtherMessagesGoToTheDefaultProcedure)
{
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_KEYDOWN, 'W', 0), 0);
    EXPECT_EQ(MessageQueue::Send(&m_window, MSG_USER + 3, 0, 0), 0);
    EXPECT_EQ(m_app.lost + m_app.reset, 0);
    EXPECT_EQ(QuitMessages(), 0);
}
