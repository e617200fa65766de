// datakit <folder>: writes the stand-in data set into folder (see
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
#include <memory>
#include <string>

namespace
{
LResult IgnoreMessages(WindowHandle, uint32_t, WParam, LParam)
{
    return 0;
}
}

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: datakit <folder>\n");
        return 2;
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
