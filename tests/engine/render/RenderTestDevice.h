#pragma once

#include "engine/platform/CGraphics.h"
#include "engine/platform/GraphicsDevice.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <dlfcn.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

// Mesa unloads its driver at exit, before LeakSanitizer looks: the driver's
// own leftovers then show up from an unknown module that no suppression
// can name. Keeping the loaded drivers resident lets the suppressions of
// scripts/lsan.supp recognise them.
inline void KeepGlDriversLoaded()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
    {
        const size_t path = line.find('/');
        if (path == std::string::npos || line.find("/dri/") == std::string::npos)
            continue;
        dlopen(line.c_str() + path, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

// An offscreen device on Mesa (EGL surfaceless) with a graphics object
// over it, set up for 2D drawing, and pixel helpers.
class RenderTest : public ::testing::Test
{
protected:
    static constexpr uint32_t SIZE = 128;

    void SetUp() override
    {
        PresentParameters parameters;
        parameters.backBufferWidth = SIZE;
        parameters.backBufferHeight = SIZE;
        parameters.enableAutoDepthStencil = 1;
        parameters.autoDepthStencilFormat = FORMAT_D24S8;
        device = GraphicsDevice::Create(DEVICE_TYPE_REFERENCE, parameters);
        ASSERT_NE(device, nullptr);
        KeepGlDriversLoaded();
        ASSERT_EQ(graphics.CreateOnDevice(device.get(), nullptr), 1);
        device->SetRenderState(RS_ZENABLE, 0);
        device->SetRenderState(RS_CULLMODE, CULL_NONE);
        device->SetRenderState(RS_LIGHTING, 0);
        ClearTo(0xFF000000);
    }

    void TearDown() override
    {
        graphics.Destroy();
        device.reset();
    }

    void ClearTo(uint32_t argb) { device->Clear(CLEAR_TARGET | CLEAR_ZBUFFER, argb, 1.0f, 0); }

    uint32_t Pixel(int32_t x, int32_t y)
    {
        uint32_t argb = 0;
        EXPECT_EQ(device->ReadPixels(device->GetBackBuffer(), x, y, 1, 1, &argb), DEVICE_OK);
        return argb;
    }

    uint32_t Rgb(int32_t x, int32_t y) { return Pixel(x, y) & 0x00FFFFFF; }

    // A PNG of the given ARGB pixels.
    static std::vector<uint8_t> MakePng(const std::vector<uint32_t>& argb, int width, int height)
    {
        std::vector<uint8_t> rgba(argb.size() * 4);
        for (size_t i = 0; i < argb.size(); ++i)
        {
            rgba[i * 4 + 0] = static_cast<uint8_t>(argb[i] >> 16);
            rgba[i * 4 + 1] = static_cast<uint8_t>(argb[i] >> 8);
            rgba[i * 4 + 2] = static_cast<uint8_t>(argb[i]);
            rgba[i * 4 + 3] = static_cast<uint8_t>(argb[i] >> 24);
        }
        std::vector<uint8_t> png;
        stbi_write_png_to_func(
            [](void* context, void* data, int size) {
                auto* out = static_cast<std::vector<uint8_t>*>(context);
                out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
            },
            &png, width, height, 4, rgba.data(), width * 4);
        return png;
    }

    std::unique_ptr<GraphicsDevice> device;
    CGraphics graphics;
};

// Channel-wise closeness of two ARGB colours (the alpha byte ignored).
inline bool NearRgb(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8)
    {
        const int ca = static_cast<int>((a >> shift) & 0xFF);
        const int cb = static_cast<int>((b >> shift) & 0xFF);
        if (ca - cb > tolerance || cb - ca > tolerance)
            return false;
    }
    return true;
}
