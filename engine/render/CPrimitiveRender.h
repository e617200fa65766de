#pragma once

#include <cstdint>

class CGraphics;
class CkvrMatrix;

// Untextured shapes drawn at once from memory: screen rectangles and
// circles, the same placed at a projected world point, and 3D boxes,
// spheres, axis circles, lines and curves. Every operation does nothing
// without the graphics object or with a null pointer argument.
class CPrimitiveRender
{
public:
    virtual ~CPrimitiveRender() = default;
    virtual const char* GetClassName() const { return "CPrimitiveRender"; }

    static void SetGraphics(CGraphics* graphics);
    static CGraphics* GetGraphics();

    // Rectangles are left, top, right, bottom; circles x, y, radius.
    static void DrawRect2D(const float* rect, uint32_t color);
    static void DrawRectOutline2D(const float* rect, uint32_t color);
    static void DrawRectAt(const float* point, const float* rect, uint32_t color);
    static void DrawRectOutlineAt(const float* point, const float* rect, uint32_t color);
    static void DrawCircle2D(const float* circle, uint32_t color);
    static void DrawDisc2D(const float* circle, uint32_t color);
    static void DrawCircleAt(const float* point, float radius, uint32_t color);
    static void DrawDiscAt(const float* point, float radius, uint32_t color);

    static void DrawBox(const float* position, const float* size, uint32_t color);
    static void DrawBoxImpl(const CkvrMatrix* world, const float* size, uint32_t color);
    static void DrawWireBox(const float* position, const float* size, uint32_t color);
    static void DrawWireBoxImpl(const CkvrMatrix* world, const float* size, uint32_t color);
    static void DrawSphere(const float* position, float radius, uint32_t color);
    static void DrawSphereImpl(const CkvrMatrix* world, float radius, uint32_t color);
    static void DrawAxisCircles(const float* position, float radius, uint32_t color);
    static void DrawAxisCirclesImpl(const CkvrMatrix* world, float radius, uint32_t color);
    static void DrawLine(const float* from, const float* to, uint32_t color);
    static void DrawCurve(const float* start, const float* end, const float* control, uint32_t color);
};
