#include "bench/support/BenchGraphics.h"

#include "engine/render/RenderClasses.h"

#include <epoxy/gl.h>

BenchGraphics::BenchGraphics(int32_t width, int32_t height) : m_width(width), m_height(height)
{
    RenderClasses::Install();
    m_window = std::make_unique<HeadlessWindow>(nullptr);
    m_system.AttachWindow(m_window.get());
    m_system.SetClientSize(width, height, 0);
    m_created = m_graphics.Create(&m_system) != 0;
}

BenchGraphics::~BenchGraphics()
{
    m_graphics.SetCamera(nullptr);
    m_graphics.Destroy();
    m_system.Release();
}

void BenchGraphics::Finish()
{
    uint32_t pixel = 0;
    Device().ReadPixels(Device().GetBackBuffer(), 0, 0, 1, 1, &pixel);
}

std::vector<uint32_t> BenchGraphics::ReadBack()
{
    std::vector<uint32_t> pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0);
    if (Device().ReadPixels(Device().GetBackBuffer(), 0, 0, m_width, m_height, pixels.data()) != DEVICE_OK)
        pixels.clear();
    return pixels;
}

// The context keeps the engine's upper-left origin, so GL's first row is
// the top one here too.
std::vector<uint32_t> ReadBoundFramebuffer(int32_t width, int32_t height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    return pixels;
}

uint32_t CountCovered(const std::vector<uint32_t>& pixels, uint32_t background)
{
    uint32_t covered = 0;
    for (uint32_t pixel : pixels)
        covered += ((pixel ^ background) & 0x00FFFFFFu) != 0 ? 1 : 0;
    return covered;
}

bool SameCoverage(const std::vector<uint32_t>& engine, const std::vector<uint32_t>& baseline, uint32_t background,
                  double tolerance, std::string* why)
{
    if (engine.empty() || engine.size() != baseline.size())
    {
        *why = "the pictures could not be read back";
        return false;
    }
    uint32_t covered = 0;
    uint32_t differing = 0;
    for (size_t i = 0; i < engine.size(); ++i)
    {
        const bool a = ((engine[i] ^ background) & 0x00FFFFFFu) != 0;
        const bool b = ((baseline[i] ^ background) & 0x00FFFFFFu) != 0;
        covered += a ? 1 : 0;
        differing += a != b ? 1 : 0;
    }
    const uint32_t baselineCovered = CountCovered(baseline, background);
    if (covered == 0 || baselineCovered == 0)
    {
        *why = "nothing drawn: engine " + std::to_string(covered) + ", baseline " + std::to_string(baselineCovered) +
               " pixels";
        return false;
    }
    if (static_cast<double>(differing) > tolerance * static_cast<double>(baselineCovered))
    {
        *why = "different pictures: " + std::to_string(differing) + " of " + std::to_string(baselineCovered) +
               " covered pixels differ (engine covers " + std::to_string(covered) + ")";
        return false;
    }
    return true;
}

bool CheckCoverage(benchmark::State& state, const std::vector<uint32_t>& engine,
                   const std::vector<uint32_t>& baseline, uint32_t background, double tolerance)
{
    std::string why;
    if (SameCoverage(engine, baseline, background, tolerance, &why))
        return true;
    state.SkipWithError(why.c_str());
    return false;
}
