#pragma once

// The real game program as a child process on the stand-in set, drawing on
// a virtual X server of the test's own, driven through the X server with
// xdotool: key presses and clicks in layout units of its 640 x 480 window
// (s = 0.625), pixels and screenshots read back with Xlib. Screenshots stay
// in the folder ctest started the test in (qor-*.png).

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

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
    // place of the test's value of the same name.
    QorProcess(const std::string& display, const std::string& home, const std::vector<std::string>& environment = {})
        : m_display(display)
    {
        std::vector<std::string> variables = Inherited(environment);
        variables.insert(variables.end(), environment.begin(), environment.end());
        Spawn(variables, home);
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
    // each batch of keys first takes the focus.
    void Focus() { Tool("windowfocus --sync " + m_window); }

    // Text typed through the X server into the focused window.
    void Type(const std::string& text) { Tool("type --delay 120 '" + text + "'"); }

    // The window's top-left corner on the screen.
    void Move(int x, int y) { Tool("windowmove --sync " + m_window + " " + std::to_string(x) + " " + std::to_string(y)); }

    // A key held long enough for a frame to see it down, and short of the
    // ring's 300 ms turn: one xdotool run holds and lets go, so the hold
    // does not grow with the time a busy machine takes to start a process.
    void Press(const std::string& key, int holdMilliseconds = 150)
    {
        Tool("keydown --window " + m_window + " " + key + " sleep " + Seconds(holdMilliseconds) + " keyup --window " +
             m_window + " " + key);
    }

    // A left click at a layout point of the 640 x 480 window (s = 0.625).
    void Click(float layoutX, float layoutY)
    {
        const int x = static_cast<int>(layoutX * 0.625f);
        const int y = static_cast<int>(layoutY * 0.625f);
        Tool("mousemove --window " + m_window + " " + std::to_string(x) + " " + std::to_string(y) +
             " sleep 0.4 mousedown 1 sleep 0.3 mouseup 1");
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
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

    // How many of the window's pixels within a layout rectangle pass test,
    // from one read of the window.
    int Count(float left, float top, float right, float bottom, const std::function<bool(const Rgb&)>& test)
    {
        XImage* image = Grab();
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
    bool WaitFor(const std::function<bool()>& done, const std::function<void()>& nudge = nullptr)
    {
        const auto end = Clock::now() + kScreenTimeout;
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
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return false;
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

    void Screenshot(const std::string& name) { Save(Grab(), name); }

    void Save(XImage* image, const std::string& name)
    {
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
        if (posix_spawn(&m_pid, KVR_QOR_PROGRAM, nullptr, nullptr, const_cast<char* const*>(argv), envp.data()) != 0)
            m_pid = 0;
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

inline bool Near(const Rgb& rgb, int r, int g, int b, int tolerance)
{
    return std::abs(rgb.r - r) <= tolerance && std::abs(rgb.g - g) <= tolerance && std::abs(rgb.b - b) <= tolerance;
}
}
