#pragma once

#include <cstdint>

class GraphicsDevice;

// Clips what the HUD draws to a shape drawn first: while writing, colour
// writes are off and every drawn texel sets the stencil to a value; while
// clipping, colour writes are on and only texels where the stencil holds 1
// are drawn. The radar keeps its map to its disc with it, and the message
// lines their words to their panels. Without a device it does nothing.
class CHudStencil
{
public:
    explicit CHudStencil(GraphicsDevice* device) : m_device(device) {}
    void BeginWriting(uint32_t value) const;
    void BeginClipping() const;
    // Stencil off, colour writes on.
    void End() const;

private:
    GraphicsDevice* m_device;
};
