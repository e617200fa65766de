// The game program started where something it needs is missing: without a
// display it ends at once and says why on standard error; without a sound
// output it says so in a box that reads as Japanese and English, then plays
// on without sound. Screenshots stay in the test's build folder
// (qor-start-*.png).
// gtest ahead of Xlib, whose macros (None, ...) clash with its names.
#include <gtest/gtest.h>

#include "tests/engine/core/TempFolder.h"
#include "tests/engine/platform/PrivateXServer.h"
#include "tests/game/program/QorProcess.h"
#include "tests/support/ChildOfTest.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using qortest::Near;
using qortest::QorProcess;

namespace
{
using namespace std::chrono_literals;

// The program with the test's environment but for the display, its
// standard error into a file; its exit code once it ended by itself within
// the deadline, -1 otherwise (it is then killed).
int RunWithoutDisplay(const std::string& home, const std::string& errorFile)
{
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry)
    {
        const std::string text = *entry;
        if (text.rfind("DISPLAY=", 0) != 0 && text.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
            text.rfind("SDL_VIDEODRIVER=", 0) != 0 && text.rfind("XDG_DATA_HOME=", 0) != 0 &&
            text.rfind("ASAN_OPTIONS=", 0) != 0)
            environment.push_back(text);
    }
    // A display nobody serves: its socket does not exist.
    environment.push_back("DISPLAY=:4242");
    environment.push_back("XDG_DATA_HOME=" + home);
    environment.push_back("ASAN_OPTIONS=detect_leaks=0:abort_on_error=0");
    std::vector<char*> envp;
    for (std::string& text : environment)
        envp.push_back(text.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const char* argv[] = {KVR_QOR_PROGRAM, KVR_DATA_DIR, nullptr};
    pid_t pid = 0;
    const int spawned = childoftest::Spawn(&pid, &actions, "KILL", argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1;
    const auto end = std::chrono::steady_clock::now() + 60s;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) != pid)
    {
        if (std::chrono::steady_clock::now() >= end)
        {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            return -1;
        }
        std::this_thread::sleep_for(50ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}

TEST(QorProgram, WithoutADisplayEndsAtOnceAndSaysWhichDisplayCantBeReached)
{
    TempFolder home;
    const std::string errors = (home.Path() / "errors.txt").string();
    // Not on SDL's offscreen driver, where it would run for ever, unseen.
    EXPECT_EQ(RunWithoutDisplay(home.Path().string(), errors), 255) << TempFolder::Read(errors);
    const std::string said = TempFolder::Read(errors);
    EXPECT_NE(said.find("Error: 画面を開けません。"), std::string::npos) << said;
    EXPECT_NE(said.find("the display \":4242\" that DISPLAY names can't be reached"), std::string::npos) << said;
}

TEST(QorProgram, WithoutASoundOutputSaysSoInABoxAndPlaysOnSilently)
{
    PrivateXServer server;
    if (server.GetDisplay().empty())
        GTEST_SKIP() << "no Xvfb to run the game on";
    TempFolder home;
    // No driver OpenAL knows: no output to open. The box is shown, not
    // diverted to standard error as in the other tests.
    QorProcess game(server.GetDisplay(), home.Path().string(),
                    {"ALSOFT_DRIVERS=no-such-driver", "KVR_MESSAGE_BOX=screen"});
    ASSERT_TRUE(game.Started());
    const std::string box = game.WaitForWindow("^Error$");
    ASSERT_FALSE(box.empty()) << "no box said that the sound output is missing";
    std::this_thread::sleep_for(1s);
    game.ScreenshotScreen("start-1-no-sound-box");
    // OK closes it; the game goes on to its loading screen and its logo.
    game.Tool("windowfocus --sync " + box + " key --window " + box + " Return");
    ASSERT_TRUE(game.FindWindow());
    auto logo = [&] { return Near(game.At(8.0f, 8.0f), 255, 255, 255, 6); };
    EXPECT_TRUE(game.WaitFor(logo, [&] { game.Press("z"); })) << "the game did not go on without sound";
    game.ScreenshotScreen("start-2-silent-logo");
}
