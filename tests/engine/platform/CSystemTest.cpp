#include "engine/platform/CSystem.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/platform/message/MessageQueue.h"
#include "engine/platform/sdl/SdlWindow.h"
#include "engine/platform/SingleInstanceLock.h"
#include "engine/platform/WinMain.h"

#include <gtest/gtest.h>

#include "tests/support/TestDisplay.h"

#include <SDL.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{
constexpr uint32_t kGameStyle = WINSTYLE_CAPTION | WINSTYLE_SYSMENU | WINSTYLE_MINIMIZEBOX;

uint32_t g_fakeNow;
uint32_t g_sleptFor;

uint32_t FakeClock()
{
    return g_fakeNow;
}

void FakeSystemSleep(uint32_t milliseconds)
{
    g_sleptFor += milliseconds;
    g_fakeNow += milliseconds;
}

void StoppedSleep(uint32_t milliseconds)
{
    g_sleptFor += milliseconds;
}

class CalibrationScope
{
public:
    explicit CalibrationScope(CSystem::SleepFunction sleep)
    {
        g_fakeNow = 1000;
        g_sleptFor = 0;
        CSystem::SetCalibrationClock(FakeClock, sleep);
    }
    ~CalibrationScope() { CSystem::SetCalibrationClock(nullptr, nullptr); }
};

// Restores the working directory a test changes.
class WorkingDirectoryScope
{
public:
    WorkingDirectoryScope() { EXPECT_NE(getcwd(m_saved, sizeof(m_saved)), nullptr); }
    ~WorkingDirectoryScope() { EXPECT_EQ(chdir(m_saved), 0); }

private:
    char m_saved[PATH_MAX];
};

std::string CurrentDirectory()
{
    char path[PATH_MAX];
    return getcwd(path, sizeof(path)) != nullptr ? path : "";
}

struct FakeRect
{
    float left = -1;
    float top = -1;
    float right = -1;
    float bottom = -1;
    void Set(float l, float r, float t, float b)
    {
        left = l;
        right = r;
        top = t;
        bottom = b;
    }
};

// Remembers what the single-instance poke does to it.
class WatchedWindow : public HeadlessWindow
{
public:
    WatchedWindow() : HeadlessWindow(DefaultWindowProcedure) {}
    void Raise() override { ++raised; }
    void Restore() override
    {
        HeadlessWindow::Restore();
        ++restored;
    }
    int raised = 0;
    int restored = 0;
};

}

TEST(CSystemPlacement, CaptionedClientAreaGrowsByFrameAndCaptionAndCentres)
{
    const WindowBounds bounds = CSystem::CalcWindowBounds(-1, -1, 640, 480, kGameStyle, 1280, 1024);
    EXPECT_EQ(bounds.width, 640 + 2 * kFixedFrameWidth);
    EXPECT_EQ(bounds.height, 480 + kCaptionHeight + 2 * kFixedFrameHeight);
    EXPECT_EQ(bounds.x, (1280 - bounds.width) / 2);
    EXPECT_EQ(bounds.y, (1024 - bounds.height) / 2);
}

TEST(CSystemPlacement, OnlyNegativeCoordinatesAreCentred)
{
    const WindowBounds bounds = CSystem::CalcWindowBounds(100, -1, 640, 480, kGameStyle, 1280, 1024);
    EXPECT_EQ(bounds.x, 100);
    EXPECT_EQ(bounds.y, (1024 - 505) / 2);

    const WindowBounds kept = CSystem::CalcWindowBounds(0, 7, 640, 480, kGameStyle, 1280, 1024);
    EXPECT_EQ(kept.x, 0);
    EXPECT_EQ(kept.y, 7);
}

TEST(CSystemPlacement, WithoutCaptionTheClientSizeIsTheWindowSize)
{
    const WindowBounds bounds = CSystem::CalcWindowBounds(-1, -1, 640, 480, WINSTYLE_SYSMENU, 1280, 1024);
    EXPECT_EQ(bounds.width, 640);
    EXPECT_EQ(bounds.height, 480);
    EXPECT_EQ(bounds.x, 320);
    EXPECT_EQ(bounds.y, 272);
}

TEST(CSystemPlacement, WindowLargerThanTheScreenCentresToANegativeOffset)
{
    const WindowBounds bounds = CSystem::CalcWindowBounds(-1, -1, 640, 480, kGameStyle, 600, 400);
    EXPECT_EQ(bounds.x, (600 - 646) / 2);
    EXPECT_EQ(bounds.x, -23);
    EXPECT_EQ(bounds.y, (400 - 505) / 2);
}

TEST(CSystemPlacement, SetClientSizeWithoutCaptionGoesToTheOrigin)
{
    const WindowBounds plain = CSystem::CalcClientSizeBounds(800, 600, 0, 1280, 1024);
    EXPECT_EQ(plain.x, 0);
    EXPECT_EQ(plain.y, 0);
    EXPECT_EQ(plain.width, 800);
    EXPECT_EQ(plain.height, 600);

    const WindowBounds captioned = CSystem::CalcClientSizeBounds(800, 600, kGameStyle, 1280, 1024);
    EXPECT_EQ(captioned.width, 806);
    EXPECT_EQ(captioned.height, 625);
    EXPECT_EQ(captioned.x, (1280 - 806) / 2);
    EXPECT_EQ(captioned.y, (1024 - 625) / 2);
}

TEST(CSystemPlacement, ScreenRectanglesFollowTheClientSize)
{
    CSystem system;
    EXPECT_EQ(system.SetClientSize(800, 600, 0), 0); // no window yet, size kept
    FakeRect rect;
    EXPECT_EQ(system.GetScreenRect(&rect), &rect);
    EXPECT_FLOAT_EQ(rect.left, 0.0f);
    EXPECT_FLOAT_EQ(rect.top, 0.0f);
    EXPECT_FLOAT_EQ(rect.right, 800.0f);
    EXPECT_FLOAT_EQ(rect.bottom, 600.0f);
    system.GetScreenRect4x3(&rect);
    EXPECT_FLOAT_EQ(rect.right, 800.0f);
    EXPECT_FLOAT_EQ(rect.bottom, 600.0f);
    system.SetClientSize(1280, 720, 0);
    system.GetScreenRect4x3(&rect);
    EXPECT_FLOAT_EQ(rect.right, 960.0f);
    EXPECT_EQ(system.GetScreenRect(static_cast<FakeRect*>(nullptr)), nullptr);
}

TEST(CSystemPaths, FileNameFromPath)
{
    char out[kPathBufferSize];
    ASSERT_EQ(GetFileNameFromPath("Data\\Loading.gpk", out), 1);
    EXPECT_STREQ(out, "Loading.gpk");
    ASSERT_EQ(GetFileNameFromPath("Loading.gpk", out), 1);
    EXPECT_STREQ(out, "Loading.gpk");
    ASSERT_EQ(GetFileNameFromPath("Data/Sub\\Stage.gpk", out), 1);
    EXPECT_STREQ(out, "Stage.gpk");
    // A separator in the first place does not count.
    ASSERT_EQ(GetFileNameFromPath("\\Loading.gpk", out), 1);
    EXPECT_STREQ(out, "\\Loading.gpk");
    ASSERT_EQ(GetFileNameFromPath("Data\\", out), 1);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(GetFileNameFromPath(nullptr, out), 0);
    EXPECT_EQ(GetFileNameFromPath("a", nullptr), 0);
}

TEST(CSystemPaths, ShiftJisSecondByteIsNoSeparator)
{
    // "表" is 0x95 0x5C: its second byte is the code of '\'.
    char out[kPathBufferSize];
    ASSERT_EQ(GetFileNameFromPath("Data\\\x95\x5C.gpk", out), 1);
    EXPECT_STREQ(out, "\x95\x5C.gpk");
    ASSERT_EQ(GetFileNameFromPath("\x95\x5C\x95\x5C.txt", out), 1);
    EXPECT_STREQ(out, "\x95\x5C\x95\x5C.txt");
}

TEST(CSystemPaths, FileTitleFromPath)
{
    char out[kPathBufferSize];
    ASSERT_EQ(GetFileTitleFromPath("Data\\Loading.gpk", out), 1);
    EXPECT_STREQ(out, "Loading");
    ASSERT_EQ(GetFileTitleFromPath(".ogg", out), 1);
    EXPECT_STREQ(out, ".ogg");
    ASSERT_EQ(GetFileTitleFromPath("Bgm\\title.loop.ogg", out), 1);
    EXPECT_STREQ(out, "title.loop");
    ASSERT_EQ(GetFileTitleFromPath("Data.dir\\Readme", out), 1);
    EXPECT_STREQ(out, "Readme");
    EXPECT_EQ(GetFileTitleFromPath(nullptr, out), 0);
}

TEST(CSystemPaths, OutputThatDoesNotFitFails)
{
    char small[8];
    std::strcpy(small, "keep");
    EXPECT_EQ(GetFileNameFromPath("Data\\Loading.gpk", small, sizeof(small)), 0);
    EXPECT_STREQ(small, "keep");
    EXPECT_EQ(GetFileNameFromPath("Data\\Load.gp", small, sizeof(small)), 1);
    EXPECT_STREQ(small, "Load.gp");

    const std::string longPath = "Data\\" + std::string(300, 'a');
    char out[kPathBufferSize];
    EXPECT_EQ(GetFileNameFromPath(longPath.c_str(), out), 0);
    EXPECT_EQ(CSystem::GetFolderOfPath(("/" + std::string(300, 'b') + "/x").c_str(), out, sizeof(out)), 0);
    ASSERT_EQ(CSystem::GetFolderOfPath("/opt/qor/qor", out, sizeof(out)), 1);
    EXPECT_STREQ(out, "/opt/qor/");
}

TEST(CSystemFolder, NullMakesTheProgramFolderCurrent)
{
    WorkingDirectoryScope restore;
    CSystem system;
    ASSERT_EQ(system.SetCurrentFolder(nullptr), 1);
    char executable[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", executable, sizeof(executable) - 1), 0);
    std::string folder = executable;
    folder.erase(folder.find_last_of('/') + 1);
    EXPECT_EQ(system.GetFolder(), folder);
    EXPECT_EQ(CurrentDirectory() + "/", folder);
}

TEST(CSystemFolder, GivenFolderBecomesCurrent)
{
    WorkingDirectoryScope restore;
    CSystem system;
    ASSERT_EQ(system.SetCurrentFolder("/tmp"), 1);
    EXPECT_STREQ(system.GetFolder(), "/tmp");
    EXPECT_EQ(CurrentDirectory(), "/tmp");
}

TEST(CSystemFolder, OverlongPathFailsAndChangesNothing)
{
    WorkingDirectoryScope restore;
    CSystem system;
    ASSERT_EQ(system.SetCurrentFolder("/tmp"), 1);
    const std::string tooLong = "/" + std::string(kPathBufferSize, 'x');
    EXPECT_EQ(system.SetCurrentFolder(tooLong.c_str()), 0);
    EXPECT_STREQ(system.GetFolder(), "/tmp");
    EXPECT_EQ(CurrentDirectory(), "/tmp");

    // 259 characters fit (the folder does not exist, so entering it fails).
    const std::string fits = "/" + std::string(kPathBufferSize - 2, 'y');
    EXPECT_EQ(system.SetCurrentFolder(fits.c_str()), 0);
    EXPECT_EQ(system.GetFolder(), fits);
    EXPECT_EQ(CurrentDirectory(), "/tmp");
}

TEST(CSystemInstance, SecondProcessLearnsTheFirstRunsAndBringsItForward)
{
    const std::string name = "QOR-test-" + std::to_string(getpid());
    WatchedWindow window;
    window.Minimize();
    {
        CSystem first;
        first.SetName(name.c_str());
        first.AttachWindow(&window);
        ASSERT_EQ(first.CheckSingleInstance(), 1);
        EXPECT_EQ(first.CheckSingleInstance(), 1); // asking again changes nothing

        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            CSystem second;
            second.SetName(name.c_str());
            _exit(10 + second.CheckSingleInstance());
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 10);

        // The poke waits in the socket; the message loop's pumps take it.
        for (int round = 0; round < 5000 && window.raised == 0; ++round)
        {
            Message message;
            while (MessageQueue::Peek(message))
                MessageQueue::Dispatch(message);
            if (window.raised == 0)
                usleep(1000);
        }
        EXPECT_EQ(window.raised, 1);
        EXPECT_EQ(window.restored, 1);
        EXPECT_FALSE(window.IsMinimized());

        // A different program name is another program.
        SingleInstanceLock other;
        EXPECT_TRUE(other.Acquire((name + "-other").c_str()));
    }
    // The first is gone: the name is free again.
    SingleInstanceLock after;
    EXPECT_TRUE(after.Acquire(name.c_str()));
    SingleInstanceLock third;
    EXPECT_FALSE(third.Acquire(name.c_str()));
}

TEST(CSystemInfo, ReadsUnameMemoryAndProcessorWithoutWaiting)
{
    CalibrationScope calibration(FakeSystemSleep);
    CSystem system;
    EXPECT_EQ(system.ReadSystemInfo(), 1);
    EXPECT_EQ(std::strncmp(system.GetOsName(), "Linux ", 6), 0) << system.GetOsName();
    EXPECT_NE(std::strstr(system.GetOsName(), "(Build "), nullptr);
    EXPECT_GT(system.GetPhysicalMemory(), 0u);
    EXPECT_LE(system.GetFreeMemory(), system.GetPhysicalMemory());
#if defined(__x86_64__)
    EXPECT_EQ(system.HasCpuid(), 1u);
    EXPECT_EQ(system.HasMmx(), 1u);
    EXPECT_EQ(system.HasSse(), 1u);
    EXPECT_EQ(system.HasSse2(), 1u);
    if (system.HasTsc() != 0)
    {
        EXPECT_EQ(g_sleptFor, 2000u);
        EXPECT_GE(system.GetClock(), 0.0);
    }
#endif
}

TEST(CSystemInfo, ClockThatDidNotMoveGivesNoFrequency)
{
    CalibrationScope calibration(StoppedSleep);
    CSystem system;
    EXPECT_EQ(system.ReadSystemInfo(), 1);
    EXPECT_EQ(system.GetClock(), 0.0);
}

TEST(CSystemCursor, EachHideNeedsItsOwnShowBeforeTheCounterComesBack)
{
    CSystem system;
    const int start = system.ShowCursor(1) - 1;
    EXPECT_EQ(system.ShowCursor(0), start);
    EXPECT_EQ(system.ShowCursor(0), start - 1);
    EXPECT_EQ(system.ShowCursor(0), start - 2);
    EXPECT_EQ(system.ShowCursor(1), start - 1);
    EXPECT_EQ(system.ShowCursor(1), start);
}

class CSystemWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!HaveDisplay())
            GTEST_SKIP() << "needs an X display (the test command starts Xvfb)";
    }
    CalibrationScope m_calibration{FakeSystemSleep};
    WorkingDirectoryScope m_directory;
};

TEST_F(CSystemWindow, NullInstanceFails)
{
    CSystem system;
    EXPECT_EQ(system.CreateMainWindow(nullptr, "QOR", -1, -1, 640, 480, kGameStyle, 105, WndProc, nullptr), 0);
    EXPECT_EQ(system.GetWindowHandle(), nullptr);
}

TEST_F(CSystemWindow, MainWindowOpensCentredWithItsClientSize)
{
    CSystem system;
    // The cursor counter belongs to the process: an application that ran
    // before may have left it below 0. It starts at 0 (shown) here.
    int cursorBefore = system.ShowCursor(1);
    while (cursorBefore != 0)
        cursorBefore = system.ShowCursor(cursorBefore < 0 ? 1 : 0);
    ASSERT_EQ(system.CreateMainWindow(GetProgramInstance(), "QOR", -1, -1, 640, 480, kGameStyle, 105,
                                      DefaultWindowProcedure, nullptr),
              1);
    EXPECT_STREQ(system.GetName(), "QOR");
    EXPECT_EQ(system.GetWidth(), 640);
    EXPECT_EQ(system.GetHeight(), 480);
    EXPECT_EQ(system.GetStyle(), kGameStyle);

    auto* window = dynamic_cast<SdlWindow*>(system.GetWindowHandle());
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(static_cast<SDL_Window*>(window->GetNativeHandle())), "QOR");
    EXPECT_TRUE(window->IsVisible());
    int screenWidth = 0;
    int screenHeight = 0;
    ASSERT_TRUE(window->GetScreenSize(screenWidth, screenHeight));
    const WindowBounds client = window->GetClientBounds();
    EXPECT_EQ(client.width, 640);
    EXPECT_EQ(client.height, 480);
    EXPECT_EQ(client.x, (screenWidth - 646) / 2 + kFixedFrameWidth);
    EXPECT_EQ(client.y, (screenHeight - 505) / 2 + kCaptionHeight + kFixedFrameHeight);

    // Creation read the system information, entered the program's folder
    // and hid the cursor once.
    EXPECT_NE(system.GetOsName()[0], 0);
    EXPECT_EQ(CurrentDirectory() + "/", system.GetFolder());
    EXPECT_EQ(system.ShowCursor(1), cursorBefore);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
    system.Release();
    EXPECT_EQ(system.GetName(), nullptr);
}

TEST_F(CSystemWindow, SetClientSizeResizesAndPlacesTheWindow)
{
    CSystem system;
    ASSERT_EQ(system.CreateMainWindow(GetProgramInstance(), "QOR", 100, -1, 640, 480, kGameStyle, 105,
                                      DefaultWindowProcedure, nullptr),
              1);
    system.ShowCursor(1);
    auto* window = dynamic_cast<SdlWindow*>(system.GetWindowHandle());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->GetBounds().x, 100);

    int screenWidth = 0;
    int screenHeight = 0;
    ASSERT_TRUE(window->GetScreenSize(screenWidth, screenHeight));
    EXPECT_EQ(system.SetClientSize(800, 600, WINPOS_SHOWWINDOW), 1);
    const WindowBounds client = window->GetClientBounds();
    EXPECT_EQ(client.width, 800);
    EXPECT_EQ(client.height, 600);
    EXPECT_EQ(client.x, (screenWidth - 806) / 2 + kFixedFrameWidth);
    EXPECT_EQ(system.GetWidth(), 800);
    EXPECT_EQ(system.GetHeight(), 600);
}

TEST_F(CSystemWindow, SetClientSizeWithoutCaptionPutsTheWindowAtTheOrigin)
{
    CSystem system;
    ASSERT_EQ(system.CreateMainWindow(GetProgramInstance(), "QOR", -1, -1, 640, 480, 0, 105,
                                      DefaultWindowProcedure, nullptr),
              1);
    system.ShowCursor(1);
    auto* window = dynamic_cast<SdlWindow*>(system.GetWindowHandle());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(system.SetClientSize(1024, 768, 0), 1);
    const WindowBounds client = window->GetClientBounds();
    EXPECT_EQ(client.x, 0);
    EXPECT_EQ(client.y, 0);
    EXPECT_EQ(client.width, 1024);
    EXPECT_EQ(client.height, 768);
}
