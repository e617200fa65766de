#include "engine/platform/WinMain.h"
#include "engine/render/RenderClasses.h"

#include <string>

// The process entry of the configuration tool: everything runs from WinMain
// with this process's instance token and the arguments as one command line.
int main(int argc, char** argv)
{
    std::string commandLine;
    for (int i = 1; i < argc; ++i)
    {
        if (i > 1)
            commandLine += ' ';
        commandLine += argv[i];
    }
    RenderClasses::Install();
    const int showNormal = 1;
    return WinMain(GetProgramInstance(), nullptr, commandLine.data(), showNormal);
}
