#pragma once

#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cstdint>
#include <vector>

// The graphics object on a headless window (EGL surfaceless on Mesa), set
// up for 2D drawing, and pixel helpers.
class RenderTest : public ::testing::Test
{
protected:
    static constexpr uint32_t SIZE = 128;

    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
        graphics.Begin2D();
        // Draws write their texels as they are, alpha included and not
        // filtered, so that the tests read back what the textures hold.
        graphics.SetBlendMode(0);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
        device->SetSamplerState(0, SAMP_MINFILTER, TEXF_POINT);
        device->SetSamplerState(0, SAMP_MAGFILTER, TEXF_POINT);
        ClearTo(0xFF000000);
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

    RenderGraphics headless{static_cast<int32_t>(SIZE), static_cast<int32_t>(SIZE)};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
};

