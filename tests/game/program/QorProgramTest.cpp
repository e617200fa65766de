// The game program itself on the stand-in set, under a virtual X server of
// this test's own: loading, logo, movie, title, menu, the options (the
// music volume set to its minimum and confirmed), the records and back,
// then the quit item. The process must end with 0 and "GameConfig.dat"
// hold the new volume. A screenshot of each screen stays in the test's
// build folder (qor-*.png).
#include "game/app/GameConfigDefaults.h"
#include "game/app/GameConfigFormat.h"
#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stb/stb_image_write.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

namespace
{
using Clock = std::chrono::steady_clock;

// Where ctest started the test (its build folder): the screenshots stay
// there, while the test itself works in a temporary folder.
const std::string g_startFolder = std::filesystem::current_path().string();

// Every wait of the walk: generous, for the sanitizer build on a slow
// machine.
constexpr auto kScreenTimeout = std::chrono::seconds(90);

struct Rgb
{
    int r = 0;
    int g = 0;
    int b = 0;
};

// The game as a child process and the X server it draws on.
class QorProcess
{
public:
    QorProcess(const std::string& display, const std::string& home) : m_display(display)
    {
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string text = *entry;
            if (text.rfind("DISPLAY=", 0) != 0 && text.rfind("XDG_DATA_HOME=", 0) != 0 &&
                text.rfind("ASAN_OPTIONS=", 0) != 0)
                environment.push_back(text);
        }
        // The program unloads the GL driver on its way out, and what the
        // driver never freed loses its module name (see
        // tests/support/process/KeepLibrariesLoaded.cpp): leaks are the
        // in-process tests' to find, memory errors stay fatal here too.
        environment.push_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=0");
        environment.push_back("DISPLAY=" + display);
        environment.push_back("XDG_DATA_HOME=" + home);
        std::vector<char*> envp;
        for (std::string& text : environment)
            envp.push_back(text.data());
        envp.push_back(nullptr);
        const char* argv[] = {KVR_QOR_PROGRAM, KVR_DATA_DIR, nullptr};
        if (posix_spawn(&m_pid, KVR_QOR_PROGRAM, nullptr, nullptr, const_cast<char* const*>(argv), envp.data()) != 0)
            m_pid = 0;
        m_x = XOpenDisplay(display.c_str());
    }
    ~QorProcess()
    {
        if (m_pid > 0 && !m_ended)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_x != nullptr)
            XCloseDisplay(m_x);
    }

    bool Started() const { return m_pid > 0 && m_x != nullptr; }

    // xdotool on this display; its first line of output.
    std::string Tool(const std::string& arguments)
    {
        const std::string command = "DISPLAY=" + m_display + " xdotool " + arguments + " 2>/dev/null";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return {};
        char line[256] = {};
        const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
        pclose(pipe);
        std::string text = read ? line : "";
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        return text;
    }

    static std::string Seconds(int milliseconds)
    {
        char text[16];
        std::snprintf(text, sizeof text, "%.3f", milliseconds / 1000.0);
        return text;
    }

    bool FindWindow()
    {
        const auto end = Clock::now() + kScreenTimeout;
        while (Clock::now() < end && !Ended())
        {
            m_window = Tool("search --name '^QOR$'");
            if (!m_window.empty())
            {
                Tool("windowfocus --sync " + m_window);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    // A key held long enough for a frame to see it down, and short of the
    // ring's 300 ms turn: one xdotool run holds and lets go, so the hold
    // does not grow with the time a busy machine takes to start a process.
    void Press(const std::string& key, int holdMilliseconds = 150)
    {
        Tool("keydown --window " + m_window + " " + key + " sleep " + Seconds(holdMilliseconds) + " keyup --window " +
             m_window + " " + key);
    }

    // A left click at a layout point of the 640 x 480 window (s = 0.625),
    // the pointer resting and the button held for a few slow frames on a
    // busy machine.
    void Click(float layoutX, float layoutY)
    {
        const int x = static_cast<int>(layoutX * 0.625f);
        const int y = static_cast<int>(layoutY * 0.625f);
        Tool("mousemove --window " + m_window + " " + std::to_string(x) + " " + std::to_string(y) +
             " sleep 0.4 mousedown 1 sleep 0.3 mouseup 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }

    // The window's pixel at a layout point.
    Rgb At(float layoutX, float layoutY)
    {
        Rgb rgb;
        XImage* image = Grab();
        if (image == nullptr)
            return rgb;
        const int x = std::min(static_cast<int>(layoutX * 0.625f), image->width - 1);
        const int y = std::min(static_cast<int>(layoutY * 0.625f), image->height - 1);
        const unsigned long pixel = XGetPixel(image, x, y);
        rgb = {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
               static_cast<int>(pixel & 0xFF)};
        XDestroyImage(image);
        return rgb;
    }

    // Waits until the screen shows what done() looks for, doing between
    // looks what nudge() does; false at the timeout or when the game ended.
    bool WaitFor(const std::function<bool()>& done, const std::function<void()>& nudge = nullptr)
    {
        const auto end = Clock::now() + kScreenTimeout;
        while (Clock::now() < end && !Ended())
        {
            if (done())
                return true;
            if (nudge)
                nudge();
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
    }

    void Screenshot(const std::string& name)
    {
        XImage* image = Grab();
        if (image == nullptr)
            return;
        std::vector<uint8_t> rgb(static_cast<size_t>(image->width) * image->height * 3);
        for (int y = 0; y < image->height; ++y)
        {
            for (int x = 0; x < image->width; ++x)
            {
                const unsigned long pixel = XGetPixel(image, x, y);
                uint8_t* out = rgb.data() + (static_cast<size_t>(y) * image->width + x) * 3;
                out[0] = static_cast<uint8_t>(pixel >> 16);
                out[1] = static_cast<uint8_t>(pixel >> 8);
                out[2] = static_cast<uint8_t>(pixel);
            }
        }
        stbi_write_png((g_startFolder + "/qor-" + name + ".png").c_str(), image->width, image->height, 3, rgb.data(),
                       image->width * 3);
        XDestroyImage(image);
    }

    bool Ended()
    {
        if (m_ended)
            return true;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) != m_pid)
            return false;
        m_ended = true;
        m_status = status;
        return true;
    }

    // The exit code once the process ended by itself, -1 otherwise.
    int WaitForExit()
    {
        const auto end = Clock::now() + kScreenTimeout;
        while (Clock::now() < end && !Ended())
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return m_ended && WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

private:
    XImage* Grab()
    {
        const Window window = static_cast<Window>(std::stoul(m_window.empty() ? "0" : m_window));
        XWindowAttributes attributes;
        if (window == 0 || XGetWindowAttributes(m_x, window, &attributes) == 0)
            return nullptr;
        return XGetImage(m_x, window, 0, 0, static_cast<unsigned>(attributes.width),
                         static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    }

    std::string m_display;
    std::string m_window;
    Display* m_x = nullptr;
    pid_t m_pid = 0;
    bool m_ended = false;
    int m_status = 0;
};

bool Near(const Rgb& rgb, int r, int g, int b, int tolerance)
{
    return std::abs(rgb.r - r) <= tolerance && std::abs(rgb.g - g) <= tolerance && std::abs(rgb.b - b) <= tolerance;
}
}

TEST(QorProgram, WalksFromTheLogoThroughTheOptionsAndRecordsToTheQuitItem)
{
    PrivateXServer server;
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    QorProcess game(server.GetDisplay(), home.Path().string());
    ASSERT_TRUE(game.Started());
    ASSERT_TRUE(game.FindWindow());

    // Screens told apart by a pixel each (layout units of 1024 x 768): the
    // logo's white, the ring menu's corner logo (red over blue), the option
    // and record screens' white title bands.
    auto logo = [&] { return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6); };
    auto menu = [&] {
        const Rgb corner = game.At(740.0f, 170.0f);
        return corner.r > corner.b + 40;
    };
    // The option title is narrower than the record title: at x 290 the
    // options show their white band, the records their title picture.
    auto titleBands = [&] { return Near(game.At(100.0f, 56.0f), 255, 255, 255, 6); };
    auto options = [&] { return titleBands() && Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    auto records = [&] { return titleBands() && !Near(game.At(290.0f, 56.0f), 255, 255, 255, 6); };
    auto z = [&] { game.Press("z"); };
    // Each press turns the ring one item down; a turn takes 300 ms of the
    // game's time, longer on a busy machine, and a press during a turn is
    // lost: each waits for the turn before it with time to spare.
    auto turnDown = [&](int items) {
        for (int turn = 0; turn < items; ++turn)
        {
            game.Press("Down", 200);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        }
    };

    // Loading, then any button starts the title: the logo on white.
    ASSERT_TRUE(game.WaitFor(logo, z)) << "the logo never showed";
    game.Screenshot("1-logo");
    // The opening movie (a button skips it) and the title picture (a button
    // opens the menu).
    ASSERT_TRUE(game.WaitFor([&] { return !logo(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    game.Screenshot("2-after-logo");
    ASSERT_TRUE(game.WaitFor(menu, z)) << "the menu never showed";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("3-menu");

    // Down five times brings the option item to the front.
    turnDown(5);
    game.Press("z");
    ASSERT_TRUE(game.WaitFor(titleBands)) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(options)) << "the screen that opened is not the options";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("4-option");
    // The music volume's minimum button, then the confirm row.
    game.Click(428.0f, 316.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    game.Screenshot("5-option-changed");
    game.Click(98.0f, 632.0f);
    ASSERT_TRUE(game.WaitFor(menu)) << "the options did not go back to the menu";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));

    // The record item is next; back on the totals page leaves again.
    turnDown(1);
    game.Press("z");
    ASSERT_TRUE(game.WaitFor(titleBands)) << "no screen opened from the menu";
    ASSERT_TRUE(game.WaitFor(records)) << "the screen that opened is not the records";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    game.Screenshot("6-record");
    game.Press("x");
    ASSERT_TRUE(game.WaitFor(menu)) << "the records did not go back to the menu";
    std::this_thread::sleep_for(std::chrono::milliseconds(800));

    // Four more turns bring the quit item to the front; it ends the game.
    turnDown(4);
    game.Screenshot("7-quit-item");
    game.Press("z");
    EXPECT_EQ(game.WaitForExit(), 0);

    const std::string bytes = TempFolder::Read(home.Path() / "CorvaneSystem" / "QOR" / "GameConfig.dat");
    tag_TOLQGAMECONFIG settings;
    SetDefaultGameConfig(&settings);
    ASSERT_FALSE(bytes.empty());
    DecodeGameConfig(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &settings);
    EXPECT_EQ(settings.bgmVolume, -3000);
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "CorvaneSystem" / "QOR" / "PlayRecord.dat"));
}
