#pragma once

#include <cstdint>

// Floating-point rectangle. Memory order is left, top, right, bottom; the
// four-float constructor and Set take left, right, top, bottom.
class CRect
{
public:
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;

    CRect() = default;
    CRect(float l, float r, float t, float b) : left(l), top(t), right(r), bottom(b) {}
    // From an integer rectangle {left, top, right, bottom}.
    explicit CRect(const int32_t* rect);
    CRect(const CRect& other) = default;
    CRect& operator=(const CRect& other) = default;

    void Set(float l, float r, float t, float b)
    {
        left = l;
        right = r;
        top = t;
        bottom = b;
    }

    // Edges are inside. A null point gives 0.
    uint32_t PtInRect(const float* point) const;
    uint32_t PtInRect(float x, float y) const;
    // Touching rectangles intersect. A null rectangle gives 0.
    uint32_t Intersect(const CRect* other) const;
    // A copy moved by (dx, dy).
    CRect Offset(float dx, float dy) const;
};

static_assert(sizeof(CRect) == 16);
