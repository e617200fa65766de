// datakit FOLDER: writes the stand-in data set into folder (see
// DataKit.h). Loading the set with its contents needs the graphics object
// and the sound device, so the kit runs on a headless window (EGL on
// Mesa's surfaceless platform) and OpenAL's loopback device: it needs no
// display and no sound card.
#include "engine/platform/CGraphics.h"
#include "engine/render/RenderClasses.h"
#include "engine/platform/sound/CSound.h"
#include "engine/platform/CSystem.h"
#include "tests/support/HeadlessWindow.h"
#include "tools/datakit/DataKit.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace
{
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "Usage: datakit FOLDER\n"
    "\n"
    "Writes QOR's stand-in data set into FOLDER (made when missing):\n"
    "GameResource.grc with its packs under Data/, and the loose files they\n"
    "were packed from under Source/. Needs no display and no sound card.\n"
    "A folder whose name starts with '-' is written as ./-name.\n"
    "\n"
    "-h, --help  prints this text and ends\n"
    "\n"
    "Exit status: 0 when the set was written; 1 when it could not be (the\n"
    "reason is printed); 2 for a wrong command line.\n";

LResult IgnoreMessages(WindowHandle, uint32_t, WParam, LParam)
{
    return 0;
}

bool IsHelp(const char* argument)
{
    return std::strcmp(argument, "-h") == 0 || std::strcmp(argument, "--help") == 0;
}
}

int main(int argc, char** argv)
{
    if (argc == 2 && IsHelp(argv[1]))
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0')
    {
        std::fprintf(stderr, "datakit: one output folder is expected\n\n%s", kUsage);
        return kExitUsage;
    }
    // An option datakit does not know, or a misspelt one, would otherwise
    // become a folder of that name.
    if (argv[1][0] == '-')
    {
        std::fprintf(stderr, "datakit: unknown option \"%s\" (a folder of that name is ./%s)\n\n%s", argv[1],
                     argv[1], kUsage);
        return kExitUsage;
    }
    auto window = std::make_unique<HeadlessWindow>(&IgnoreMessages);
    CSystem system;
    system.AttachWindow(window.get());
    system.SetClientSize(64, 64, 0);
    CGraphics graphics;
    CSound sound;
    int result = 1;
    RenderClasses::Install();
    if (!graphics.Create(&system))
        std::fprintf(stderr, "datakit: no graphics device (EGL surfaceless on Mesa is needed)\n");
    else if (!sound.CreateLoopback())
        std::fprintf(stderr, "datakit: no OpenAL loopback device\n");
    else
    {
        std::string error;
        if (DataKit::MakeDataSet(argv[1], &error))
            result = 0;
        else
            std::fprintf(stderr, "datakit: %s\n", error.c_str());
    }
    sound.Release();
    graphics.Destroy();
    system.Release();
    return result;
}
