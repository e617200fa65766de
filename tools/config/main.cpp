#include "engine/platform/WinMain.h"
#include "tools/config/CConfigMain.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

CApplicationMain* CreateApplication()
{
    return new (std::nothrow) CConfigMain();
}

namespace
{
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: qor-config [DATA_FOLDER]\n"
    "\n"
    "Opens the QOR configuration tool, a window that edits the game's settings\n"
    "file GameConfig.dat in $XDG_DATA_HOME/CorvaneSystem/QOR (without\n"
    "XDG_DATA_HOME: ~/.local/share/CorvaneSystem/QOR). It needs a display.\n"
    "\n"
    "DATA_FOLDER  the game's data folder, which holds GameResource.grc\n"
    "             (default: the folder of the program itself)\n"
    "-h, --help   prints this text and ends\n"
    "\n"
    "Exit status: 0 when the window was closed; 2 for a wrong command line;\n"
    "255 when the tool could not start (no display, no readable\n"
    "GameResource.grc, or a copy already running, which is brought forward).\n";

bool IsHelp(const char* argument)
{
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}
}

// The process entry of the configuration tool: everything runs from WinMain
// with this process's instance token and the arguments as one command line.
// The one argument, when given, is the data folder to run in.
int main(int argc, char** argv)
{
    if (argc > 1 && IsHelp(argv[1]))
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // A folder name that starts with '-' is given as "./-name".
    if (argc > 2 || (argc == 2 && argv[1][0] == '-'))
    {
        std::fprintf(stderr, "qor-config: unexpected argument \"%s\"\n\n%s", argv[argc > 2 ? 2 : 1], kUsage);
        return kExitUsage;
    }
    if (argc > 1)
        CConfigMain::SetDataFolder(argv[1]);
    std::string commandLine = argc > 1 ? argv[1] : "";
    const int showNormal = 1;
    return WinMain(GetProgramInstance(), nullptr, commandLine.data(), showNormal);
}
