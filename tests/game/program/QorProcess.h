#pragma once

// The real game program as a child process on the stand-in set, drawing on
// a virtual X server of the test's own, driven through the X server with
// xdotool: key presses and clicks in layout units of its 640 x 480 window
// (s = 0.625), pixels and screenshots read back with Xlib. Screenshots stay
// in the folder ctest started the test in (qor-*.png); each is noted on the
// test's output with the seconds since the walk began and the game's frame
// time, so a slow step shows.
//
// Nothing here waits a fixed time: a key is held until the game has drawn
// frames with it down (a frame that changes the window's pixels) and the
// walks wait for what the screen shows. A slow machine only makes the
// frames, and so the walk, slower.

#include "tests/support/ChildOfTest.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qortest
{
using Clock = std::chrono::steady_clock;

// Where ctest started the test (its build folder): the screenshots stay
// there, while the test itself works in a temporary folder.
inline const std::string g_startFolder = std::filesystem::current_path().string();

// Every wait of the walk: generous, for the sanitizer build on a slow
// machine.
constexpr auto kScreenTimeout = std::chrono::seconds(90);
constexpr auto kNudgeInterval = std::chrono::seconds(2);
// How often a wait looks at the window.
constexpr auto kLookInterval = std::chrono::milliseconds(40);
// A screen that animates nothing draws no new frame to see: a wait for
// frames gives up after as many frame times as it waited for and one more
// (the game's frame time as seen on screens that do animate), within these
// bounds.
constexpr auto kLeastFrameWait = std::chrono::milliseconds(300);
constexpr auto kMostFrameWait = std::chrono::milliseconds(2000);

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
    // environment: variables added to the program's own (NAME=value), in
    // place of the test's value of the same name. errorLog: a file that
    // takes the program's standard error (the lines it logs on a failure),
    // for the walk to wait on; empty: the test's own.
    QorProcess(const std::string& display, const std::string& home, const std::vector<std::string>& environment = {},
               const std::string& errorLog = {})
        : m_display(display), m_errorLog(errorLog)
    {
        WalkStart();
        ++Games();
        std::vector<std::string> variables = Inherited(environment);
        variables.insert(variables.end(), environment.begin(), environment.end());
        Spawn(variables, home);
        // A window that goes away between two looks (the game ending) is an
        // error X reports; Xlib's own handler would end the test with it.
        XSetErrorHandler(IgnoreErrors);
        m_x = XOpenDisplay(display.c_str());
    }
    ~QorProcess()
    {
        --Games();
        if (m_pid > 0 && !m_ended)
        {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_x != nullptr)
            XCloseDisplay(m_x);
    }

    bool Started() const { return m_pid > 0 && m_x != nullptr; }

    // Stops (SIGSTOP) or continues (SIGCONT) the game, as a busy machine or
    // a suspended laptop would.
    bool Signal(int signal) { return m_pid > 0 && !m_ended && kill(m_pid, signal) == 0; }

    // What the game wrote to its error log so far (empty without one).
    std::string ErrorLog() const
    {
        std::ifstream file(m_errorLog);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    bool Logged(const std::string& text) const { return ErrorLog().find(text) != std::string::npos; }

    // Seconds since the walk began, for its notes.
    static double Elapsed() { return std::chrono::duration<double>(Clock::now() - WalkStart()).count(); }

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

    bool FindWindow()
    {
        const auto end = Clock::now() + kScreenTimeout;
        while (Clock::now() < end && !Ended())
        {
            // By process: several games may share the X server.
            m_window = Tool("search --all --pid " + std::to_string(m_pid) + " --name '^QOR$'");
            if (!m_window.empty())
            {
                Tool("windowfocus --sync " + m_window);
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return false;
    }

    // Keys go to the focused window: with several games on one X server
    // each press, click or text first takes the focus.
    void Focus() { Tool("windowfocus --sync " + m_window); }

    // Text typed through the X server into the focused window.
    void Type(const std::string& text) { Tool(TakeFocus() + "type --delay 120 '" + text + "'"); }

    // The window's top-left corner on the screen.
    void Move(int x, int y) { Tool("windowmove --sync " + m_window + " " + std::to_string(x) + " " + std::to_string(y)); }

    // A key held until the game has drawn two frames with it down, then let
    // go until it has drawn two with it up: each frame reads the keys once,
    // so the press is seen however slow the frames come, and the next press
    // is a new one. On a fast machine the hold and the gap last at least
    // what a person's would (100 and 150 ms), as the screens' own short
    // animations expect. A held key that repeats an action (the title's ring
    // turns while Down is held, 300 ms a turn) is let go in time.
    // leastHoldMilliseconds: a longer hold the key needs whatever the frames.
    void Press(const std::string& key, int leastHoldMilliseconds = 100)
    {
        Tool(TakeFocus() + "keydown --window " + m_window + " " + key);
        const auto held = Clock::now() + std::chrono::milliseconds(leastHoldMilliseconds);
        WaitFrames(2);
        std::this_thread::sleep_until(held);
        Tool("keyup --window " + m_window + " " + key);
        const auto gap = Clock::now() + std::chrono::milliseconds(150);
        WaitFrames(2);
        std::this_thread::sleep_until(gap);
    }

    // A key held down until LetGo, and the game's two frames with it down:
    // for what shows only while a key is held.
    void Hold(const std::string& key)
    {
        Tool(TakeFocus() + "keydown --window " + m_window + " " + key);
        WaitFrames(2);
    }
    void LetGo(const std::string& key)
    {
        Tool("keyup --window " + m_window + " " + key);
        WaitFrames(2);
    }

    // A left click at a layout point of the 640 x 480 window (s = 0.625):
    // the pointer there for a frame, the button down for two, up for two.
    void Click(float layoutX, float layoutY)
    {
        const int x = static_cast<int>(layoutX * 0.625f);
        const int y = static_cast<int>(layoutY * 0.625f);
        Tool(TakeFocus() + "mousemove --window " + m_window + " " + std::to_string(x) + " " + std::to_string(y));
        WaitFrames(2);
        Tool("mousedown 1");
        WaitFrames(2);
        Tool("mouseup 1");
        WaitFrames(2);
    }

    // A left click whose press and release both come between two frames,
    // as a touchpad's tap sends them: the game is held still while the
    // button goes down and up, so the next frame is the first to see either.
    void QuickClick(float layoutX, float layoutY)
    {
        const int x = static_cast<int>(layoutX * 0.625f);
        const int y = static_cast<int>(layoutY * 0.625f);
        Tool(TakeFocus() + "mousemove --window " + m_window + " " + std::to_string(x) + " " + std::to_string(y));
        WaitFrames(2);
        Signal(SIGSTOP);
        Tool("mousedown 1 mouseup 1");
        Signal(SIGCONT);
        WaitFrames(2);
    }

    // A key pressed and let go between two frames, as a quick tap can be:
    // the game is held still while it goes down and up, so the next frame
    // is the only one to see it down, however slow the frames come (a held
    // key that repeats an action, as the ring's turn, acts once).
    void QuickPress(const std::string& key)
    {
        Signal(SIGSTOP);
        Tool(TakeFocus() + "keydown --window " + m_window + " " + key + " keyup --window " + m_window + " " + key);
        Signal(SIGCONT);
        WaitFrames(2);
    }

    // The pointer onto a layout point of the window, no button pressed.
    void PointAt(float layoutX, float layoutY)
    {
        Tool("mousemove --window " + m_window + " " + std::to_string(static_cast<int>(layoutX * 0.625f)) + " " +
             std::to_string(static_cast<int>(layoutY * 0.625f)));
    }

    // The window's pixel at a layout point.
    Rgb At(float layoutX, float layoutY)
    {
        Rgb rgb;
        const int x = std::clamp(static_cast<int>(layoutX * 0.625f), 0, kWidth - 1);
        const int y = std::clamp(static_cast<int>(layoutY * 0.625f), 0, kHeight - 1);
        XImage* image = Grab(x, y, 1, 1);
        if (image == nullptr)
            return rgb;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        rgb = {static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
               static_cast<int>(pixel & 0xFF)};
        XDestroyImage(image);
        return rgb;
    }

    // The window's row of pixels at a layout height, left to right (empty
    // while there is no window).
    std::vector<Rgb> Row(float layoutY)
    {
        std::vector<Rgb> row;
        const int y = std::clamp(static_cast<int>(layoutY * 0.625f), 0, kHeight - 1);
        XImage* image = Grab(0, y, kWidth, 1);
        if (image == nullptr)
            return row;
        for (int x = 0; x < image->width; ++x)
        {
            const unsigned long pixel = XGetPixel(image, x, 0);
            row.push_back({static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                           static_cast<int>(pixel & 0xFF)});
        }
        XDestroyImage(image);
        return row;
    }

    // Waits until the game has drawn frames new frames: the window's pixels
    // changed that often. False when they did not in time (a still screen)
    // or the game ended.
    bool WaitFrames(int frames)
    {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(m_frameTime * (frames + 1));
        const auto end = Clock::now() + std::clamp<std::chrono::milliseconds>(wait, kLeastFrameWait, kMostFrameWait);
        std::vector<char> last = Pixels();
        auto lastChange = Clock::time_point();
        int seen = 0;
        while (seen < frames && Clock::now() < end && !Ended())
        {
            std::this_thread::sleep_for(kLookInterval);
            std::vector<char> now = Pixels();
            if (now == last)
                continue;
            // The time between two changes seen is a frame time (or more).
            const auto changed = Clock::now();
            if (lastChange != Clock::time_point())
                m_frameTime = (m_frameTime * 3 + (changed - lastChange)) / 4;
            lastChange = changed;
            ++seen;
            last.swap(now);
        }
        return seen >= frames;
    }

    // How many of the window's pixels within a layout rectangle pass test,
    // from one read of the window.
    int Count(float left, float top, float right, float bottom, const std::function<bool(const Rgb&)>& test)
    {
        XImage* image = Grab(0, 0, kWidth, kHeight);
        if (image == nullptr)
            return 0;
        int count = 0;
        const int x1 = std::min(static_cast<int>(right * 0.625f), image->width);
        const int y1 = std::min(static_cast<int>(bottom * 0.625f), image->height);
        for (int y = std::max(static_cast<int>(top * 0.625f), 0); y < y1; ++y)
        {
            for (int x = std::max(static_cast<int>(left * 0.625f), 0); x < x1; ++x)
            {
                const unsigned long pixel = XGetPixel(image, x, y);
                count += test({static_cast<int>((pixel >> 16) & 0xFF), static_cast<int>((pixel >> 8) & 0xFF),
                               static_cast<int>(pixel & 0xFF)})
                             ? 1
                             : 0;
            }
        }
        XDestroyImage(image);
        return count;
    }

    // Waits until the screen shows what done() looks for, doing what
    // nudge() does at first and then every two seconds while it does not:
    // a busy machine takes that long to bring the next screen, and a nudge
    // (a button) that comes after that screen takes keys would act there.
    bool WaitFor(const std::function<bool()>& done, const std::function<void()>& nudge = nullptr,
                 std::chrono::milliseconds timeout = kScreenTimeout)
    {
        const auto end = Clock::now() + timeout;
        auto nextNudge = Clock::now();
        while (Clock::now() < end && !Ended())
        {
            if (done())
                return true;
            if (nudge && Clock::now() >= nextNudge)
            {
                nudge();
                nextNudge = Clock::now() + kNudgeInterval;
            }
            std::this_thread::sleep_for(kLookInterval);
        }
        return done();
    }

    // Presses key until the screen shows what done() looks for: a press is
    // given perPress to show, and made again (at most presses times) when
    // it does not, as when a screen still fading in let it pass.
    bool PressUntil(const std::string& key, const std::function<bool()>& done,
                    std::chrono::milliseconds perPress = std::chrono::seconds(4), int presses = 5)
    {
        for (int press = 0; press < presses && !done(); ++press)
        {
            Press(key);
            if (WaitFor(done, nullptr, perPress))
                return true;
        }
        return done();
    }

    // Presses key one press at a time until the screen shows what done()
    // looks for (a cursor on its row, say), at most presses times; each
    // press is given two frames to show. For keys that step through a
    // screen, where each press shows at once.
    bool StepUntil(const std::string& key, const std::function<bool()>& done, int presses,
                   int leastHoldMilliseconds = 100)
    {
        for (int press = 0; press < presses && !done(); ++press)
        {
            Press(key, leastHoldMilliseconds);
            WaitFrames(2);
        }
        return done();
    }

    // A window of this process with the given title (an extended regular
    // expression), once it shows; empty when none does in time.
    std::string WaitForWindow(const std::string& title)
    {
        std::string window;
        WaitFor([&] {
            window = Tool("search --all --pid " + std::to_string(m_pid) + " --name '" + title + "'");
            return !window.empty();
        });
        return window;
    }

    // The whole screen (the game's window and any box over it).
    void ScreenshotScreen(const std::string& name) { Save(GrabScreen(), name); }

    void Screenshot(const std::string& name) { Save(Grab(0, 0, kWidth, kHeight), name); }

    void Save(XImage* image, const std::string& name)
    {
        std::printf("[walk] %6.1f s  qor-%s.png  (frames of %.0f ms)\n", Elapsed(), name.c_str(),
                    std::chrono::duration<double, std::milli>(m_frameTime).count());
        std::fflush(stdout);
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
    static int IgnoreErrors(Display*, XErrorEvent*) { return 0; }

    // The games alive in this test.
    static int& Games()
    {
        static int games = 0;
        return games;
    }

    // What an xdotool run starts with to give this game the keys: nothing
    // while it is the only one.
    std::string TakeFocus() const { return Games() > 1 ? "windowfocus --sync " + m_window + " " : ""; }

    // The test's environment but for what each game gets of its own.
    static std::vector<std::string> Inherited(const std::vector<std::string>& replaced)
    {
        std::vector<std::string> names = {"DISPLAY=", "XDG_DATA_HOME=", "ASAN_OPTIONS="};
        for (const std::string& variable : replaced)
            names.push_back(variable.substr(0, variable.find('=') + 1));
        std::vector<std::string> variables;
        for (char** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string text = *entry;
            const bool own = std::any_of(names.begin(), names.end(),
                                         [&](const std::string& name) { return text.rfind(name, 0) == 0; });
            if (!own)
                variables.push_back(text);
        }
        return variables;
    }

    void Spawn(std::vector<std::string> environment, const std::string& home)
    {
        // The program unloads the GL driver on its way out, and what the
        // driver never freed loses its module name (see
        // tests/support/process/KeepLibrariesLoaded.cpp): leaks are the
        // in-process tests' to find, memory errors stay fatal here too.
        environment.push_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=0");
        environment.push_back("DISPLAY=" + m_display);
        environment.push_back("XDG_DATA_HOME=" + home);
        std::vector<char*> envp;
        for (std::string& text : environment)
            envp.push_back(text.data());
        envp.push_back(nullptr);
        const char* argv[] = {KVR_QOR_PROGRAM, KVR_DATA_DIR, nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!m_errorLog.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, m_errorLog.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                             0600);
        if (childoftest::Spawn(&m_pid, &actions, "KILL", argv, envp.data()) != 0)
            m_pid = 0;
        posix_spawn_file_actions_destroy(&actions);
    }

    XImage* GrabScreen()
    {
        const Window root = DefaultRootWindow(m_x);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(m_x, root, &attributes) == 0)
            return nullptr;
        return XGetImage(m_x, root, 0, 0, static_cast<unsigned>(attributes.width),
                         static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    }

    // The window's pixels as the X server holds them (empty without one).
    std::vector<char> Pixels()
    {
        XImage* image = Grab(0, 0, kWidth, kHeight);
        if (image == nullptr)
            return {};
        std::vector<char> bytes(image->data, image->data + static_cast<size_t>(image->bytes_per_line) * image->height);
        XDestroyImage(image);
        return bytes;
    }

    // A rectangle of the window, clipped to its size; null while it has no
    // window (or X refuses, as for a window not yet mapped).
    XImage* Grab(int x, int y, int width, int height)
    {
        const Window window = static_cast<Window>(std::stoul(m_window.empty() ? "0" : m_window));
        XWindowAttributes attributes;
        if (window == 0 || XGetWindowAttributes(m_x, window, &attributes) == 0 || attributes.map_state != IsViewable)
            return nullptr;
        width = std::min(width, attributes.width - x);
        height = std::min(height, attributes.height - y);
        if (width <= 0 || height <= 0)
            return nullptr;
        return XGetImage(m_x, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                         ZPixmap);
    }

    static Clock::time_point WalkStart()
    {
        static const Clock::time_point start = Clock::now();
        return start;
    }

    // The game's window, in pixels.
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    std::string m_display;
    std::string m_errorLog;
    std::string m_window;
    Display* m_x = nullptr;
    pid_t m_pid = 0;
    bool m_ended = false;
    int m_status = 0;
    // The game's frame time as last seen.
    Clock::duration m_frameTime = std::chrono::milliseconds(150);
};

inline bool Near(const Rgb& rgb, int r, int g, int b, int tolerance)
{
    return std::abs(rgb.r - r) <= tolerance && std::abs(rgb.g - g) <= tolerance && std::abs(rgb.b - b) <= tolerance;
}
}
