#include "engine/platform/WinMain.h"
#include "tools/config/CConfigMain.h"

#include <new>
#include <string>

CApplicationMain* CreateApplication()
{
    return new (std::nothrow) CConfigMain();
}

// The process entry of the configuration tool: everything runs from WinMain
// with this process's instance token and the arguments as one command line.
// The first argument, when given, is the data folder to run in.
int main(int argc, char** argv)
{
    if (argc > 1)
        CConfigMain::SetDataFolder(argv[1]);
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
    {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    const int showNormal = 1;
    return WinMain(GetProgramInstance(), nullptr, commandLine.data(), showNormal);
}
