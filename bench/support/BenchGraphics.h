#pragma once

#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/support/HeadlessWindow.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A CGraphics on a headless window of the given size, made as the program's
// start-up makes it (the render classes installed first), for the
// benchmarks that draw on the software rasterizer.
class BenchGraphics
{
public:
    BenchGraphics(int32_t width, int32_t height);
    ~BenchGraphics();
    BenchGraphics(const BenchGraphics&) = delete;
    BenchGraphics& operator=(const BenchGraphics&) = delete;

    bool Created() const { return m_created; }
    CGraphics& Graphics() { return m_graphics; }
    GraphicsDevice& Device() { return *m_graphics.GetDevice(); }
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    // Waits for the rasterizer: every timed frame ends with this read.
    void Finish();
    // The whole back buffer, top row first, as ARGB.
    std::vector<uint32_t> ReadBack();

private:
    int32_t m_width;
    int32_t m_height;
    std::unique_ptr<HeadlessWindow> m_window;
    CSystem m_system;
    CGraphics m_graphics;
    bool m_created = false;
};

// The framebuffer a hand-written GL loop drew into (the one bound), read
// back the way ReadBack reads the engine's: top row first, as ARGB.
std::vector<uint32_t> ReadBoundFramebuffer(int32_t width, int32_t height);

// The check every drawing benchmark makes before it times anything: the
// engine's picture and its baseline's cover the same pixels (those that
// differ from the background), and cover some. Up to tolerance (a share of
// the covered pixels) may differ, for rasterizer rounding at edges. The
// reason goes to why when they do not agree.
bool SameCoverage(const std::vector<uint32_t>& engine, const std::vector<uint32_t>& baseline, uint32_t background,
                  double tolerance, std::string* why);
// Pixels that differ from the background colour (alpha ignored).
uint32_t CountCovered(const std::vector<uint32_t>& pixels, uint32_t background);

// SameCoverage, or the benchmark skips with the reason.
bool CheckCoverage(benchmark::State& state, const std::vector<uint32_t>& engine,
                   const std::vector<uint32_t>& baseline, uint32_t background, double tolerance);

// The check both benchmarks of a drawing pair make before timing: one frame
// the engine's way and one the baseline's, each scene on a context of its
// own made and released in turn, must cover the same pixels. A scene has
// Ready() and Picture() (one frame drawn and read back).
template <class EngineScene, class BaselineScene>
bool SamePicture(benchmark::State& state, uint32_t background, double tolerance)
{
    std::vector<uint32_t> engine;
    {
        EngineScene scene;
        if (!scene.Ready())
        {
            state.SkipWithError("no graphics device");
            return false;
        }
        engine = scene.Picture();
    }
    BaselineScene baseline;
    if (!baseline.Ready())
    {
        state.SkipWithError("no graphics context");
        return false;
    }
    return CheckCoverage(state, engine, baseline.Picture(), background, tolerance);
}
