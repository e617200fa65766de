#include "engine/render/CPrimitiveRender.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/VertexFormats.h"
#include "engine/render/CCamera.h"

#include <cmath>

namespace
{
CGraphics* g_graphics;

struct LitVertex
{
    float x, y, z;
    float nx, ny, nz;
    uint32_t color;
};

constexpr uint32_t FVF_SCREEN_COLOURED = FVF_XYZRHW | FVF_DIFFUSE;
constexpr uint32_t FVF_COLOR = FVF_XYZ | FVF_DIFFUSE;
constexpr uint32_t FVF_LIT = FVF_XYZ | FVF_NORMAL | FVF_DIFFUSE;
constexpr float CIRCLE_STEP = 0.2617994f;
constexpr float SPHERE_STEP = 0.3926991f;

// Static storage of the circle, sphere and curve vertices.
ScreenVertex g_circle[26];
ColorVertex g_axisCircle[25];
LitVertex g_sphere[672];
ColorVertex g_curve[33];

ScreenVertex Screen(float x, float y, float z, uint32_t color)
{
    return ScreenVertex{x, y, z, 1.0f, color};
}

void DrawScreen(uint32_t type, uint32_t count, const ScreenVertex* vertices)
{
    g_graphics->SetTexture(nullptr);
    g_graphics->SetFVF(FVF_SCREEN_COLOURED);
    g_graphics->DrawPrimitiveUP(type, count, vertices, sizeof(ScreenVertex));
}

void Origin(float* x, float* y)
{
    g_graphics->GetViewportOrigin(x, y);
}

// The projected point, or false when it lies outside 0..1 of depth.
bool ProjectPoint(const float* point, float* x, float* y, float* depth)
{
    CCamera* camera = g_graphics->GetCamera();
    if (camera == nullptr)
        return false;
    camera->WorldToScreen(point, x, y, depth);
    return *depth >= 0.0f && *depth <= 1.0f;
}

void DrawRectangle(float left, float top, float right, float bottom, float z, uint32_t color, bool outline)
{
    const ScreenVertex corners[5] = {Screen(left, top, z, color), Screen(right, top, z, color),
                                     Screen(right, bottom, z, color), Screen(left, bottom, z, color),
                                     Screen(left, top, z, color)};
    if (outline)
        DrawScreen(PT_LINESTRIP, 4, corners);
    else
        DrawScreen(PT_TRIANGLEFAN, 2, corners);
}

void DrawCircle(float x, float y, float z, float radius, uint32_t color, bool filled)
{
    int first = 0;
    if (filled)
    {
        g_circle[0] = Screen(x, y, z, color);
        first = 1;
    }
    for (int i = 0; i <= 24; ++i)
    {
        const float angle = static_cast<float>(i) * CIRCLE_STEP;
        g_circle[first + i] = Screen(x + radius * std::cos(angle), y + radius * std::sin(angle), z, color);
    }
    DrawScreen(filled ? PT_TRIANGLEFAN : PT_LINESTRIP, 24, g_circle);
}

void SetMaterialColor(uint32_t color)
{
    ColorValue value;
    value.r = static_cast<float>((color >> 16) & 0xFF) / 255.0f;
    value.g = static_cast<float>((color >> 8) & 0xFF) / 255.0f;
    value.b = static_cast<float>(color & 0xFF) / 255.0f;
    value.a = static_cast<float>((color >> 24) & 0xFF) / 255.0f;
    DeviceMaterial material;
    material.diffuse = value;
    material.ambient = value;
    g_graphics->GetDevice()->SetMaterial(material);
}

// Unlit drawing of coloured lines: lighting off, restored afterwards.
class UnlitScope
{
public:
    UnlitScope() : m_wasLit(g_graphics->GetStateCache()->lighting != 0) { g_graphics->SetLighting(0); }
    ~UnlitScope()
    {
        if (m_wasLit)
            g_graphics->SetLighting(1);
    }
    UnlitScope(const UnlitScope&) = delete;
    UnlitScope& operator=(const UnlitScope&) = delete;

private:
    bool m_wasLit;
};

void DrawColored(uint32_t type, uint32_t count, const ColorVertex* vertices)
{
    g_graphics->SetTexture(nullptr);
    g_graphics->SetFVF(FVF_COLOR);
    g_graphics->DrawPrimitiveUP(type, count, vertices, sizeof(ColorVertex));
}

CkvrMatrix Translation(const float* position)
{
    CkvrMatrix matrix;
    const CkvrVector3 v(position[0], position[1], position[2]);
    matrix.SetTranslation(&v);
    return matrix;
}
}

void CPrimitiveRender::SetGraphics(CGraphics* graphics)
{
    g_graphics = graphics;
}

CGraphics* CPrimitiveRender::GetGraphics()
{
    return g_graphics;
}

void CPrimitiveRender::DrawRect2D(const float* rect, uint32_t color)
{
    if (g_graphics == nullptr)
        return;
    float whole[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (rect == nullptr)
    {
        CSystem* system = g_graphics->GetSystem();
        if (system == nullptr)
            return;
        whole[2] = static_cast<float>(system->GetWidth());
        whole[3] = static_cast<float>(system->GetHeight());
        rect = whole;
    }
    float x = 0.0f;
    float y = 0.0f;
    Origin(&x, &y);
    DrawRectangle(rect[0] + x, rect[1] + y, rect[2] + x, rect[3] + y, 0.0f, color, false);
}

void CPrimitiveRender::DrawRectOutline2D(const float* rect, uint32_t color)
{
    if (g_graphics == nullptr || rect == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    Origin(&x, &y);
    DrawRectangle(rect[0] + x, rect[1] + y, rect[2] + x, rect[3] + y, 0.0f, color, true);
}

static void DrawRectAround(const float* point, const float* rect, uint32_t color, bool outline)
{
    if (g_graphics == nullptr || point == nullptr || rect == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    float depth = 0.0f;
    if (!ProjectPoint(point, &x, &y, &depth))
        return;
    const float hw = (rect[2] - rect[0]) / 2.0f;
    const float hh = (rect[3] - rect[1]) / 2.0f;
    DrawRectangle(x - hw, y - hh, x + hw, y + hh, depth, color, outline);
}

void CPrimitiveRender::DrawRectAt(const float* point, const float* rect, uint32_t color)
{
    DrawRectAround(point, rect, color, false);
}

void CPrimitiveRender::DrawRectOutlineAt(const float* point, const float* rect, uint32_t color)
{
    DrawRectAround(point, rect, color, true);
}

void CPrimitiveRender::DrawCircle2D(const float* circle, uint32_t color)
{
    if (g_graphics == nullptr || circle == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    Origin(&x, &y);
    DrawCircle(circle[0] + x, circle[1] + y, 0.0f, circle[2], color, false);
}

void CPrimitiveRender::DrawDisc2D(const float* circle, uint32_t color)
{
    if (g_graphics == nullptr || circle == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    Origin(&x, &y);
    DrawCircle(circle[0] + x, circle[1] + y, 0.0f, circle[2], color, true);
}

void CPrimitiveRender::DrawCircleAt(const float* point, float radius, uint32_t color)
{
    if (g_graphics == nullptr || point == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    float depth = 0.0f;
    if (ProjectPoint(point, &x, &y, &depth))
        DrawCircle(x, y, depth, radius, color, false);
}

void CPrimitiveRender::DrawDiscAt(const float* point, float radius, uint32_t color)
{
    if (g_graphics == nullptr || point == nullptr)
        return;
    float x = 0.0f;
    float y = 0.0f;
    float depth = 0.0f;
    if (ProjectPoint(point, &x, &y, &depth))
        DrawCircle(x, y, depth, radius, color, true);
}

void CPrimitiveRender::DrawBox(const float* position, const float* size, uint32_t color)
{
    if (position == nullptr)
        return;
    const CkvrMatrix world = Translation(position);
    DrawBoxImpl(&world, size, color);
}

void CPrimitiveRender::DrawBoxImpl(const CkvrMatrix* world, const float* size, uint32_t color)
{
    if (g_graphics == nullptr || g_graphics->GetDevice() == nullptr || world == nullptr || size == nullptr)
        return;
    g_graphics->SetWorldTransform(world);
    const float hx = size[0] / 2.0f;
    const float hy = size[1] / 2.0f;
    const float hz = size[2] / 2.0f;
    // Per face: the outward normal's axis and sign, and its two other
    // axes ordered so that the triangles turn clockwise seen from outside.
    LitVertex vertices[36];
    int n = 0;
    auto face = [&](const float (&corners)[6][3], float nx, float ny, float nz) {
        for (const auto& corner : corners)
            vertices[n++] = LitVertex{corner[0], corner[1], corner[2], nx, ny, nz, color};
    };
    const float minusX[6][3] = {{-hx, -hy, -hz}, {-hx, -hy, hz}, {-hx, hy, -hz},
                                {-hx, hy, -hz},  {-hx, -hy, hz}, {-hx, hy, hz}};
    const float plusX[6][3] = {{hx, -hy, -hz}, {hx, hy, -hz}, {hx, -hy, hz}, {hx, -hy, hz}, {hx, hy, -hz}, {hx, hy, hz}};
    const float minusY[6][3] = {{-hx, -hy, -hz}, {hx, -hy, -hz}, {-hx, -hy, hz},
                                {-hx, -hy, hz},  {hx, -hy, -hz}, {hx, -hy, hz}};
    const float plusY[6][3] = {{-hx, hy, -hz}, {-hx, hy, hz}, {hx, hy, -hz}, {hx, hy, -hz}, {-hx, hy, hz}, {hx, hy, hz}};
    const float minusZ[6][3] = {{-hx, -hy, -hz}, {-hx, hy, -hz}, {hx, -hy, -hz},
                                {hx, -hy, -hz},  {-hx, hy, -hz}, {hx, hy, -hz}};
    const float plusZ[6][3] = {{-hx, -hy, hz}, {hx, -hy, hz}, {-hx, hy, hz}, {-hx, hy, hz}, {hx, -hy, hz}, {hx, hy, hz}};
    face(minusX, -1, 0, 0);
    face(plusX, 1, 0, 0);
    face(minusY, 0, -1, 0);
    face(plusY, 0, 1, 0);
    face(minusZ, 0, 0, -1);
    face(plusZ, 0, 0, 1);
    SetMaterialColor(color);
    g_graphics->SetTexture(nullptr);
    g_graphics->SetFVF(FVF_LIT);
    g_graphics->DrawPrimitiveUP(PT_TRIANGLELIST, 12, vertices, sizeof(LitVertex));
}

void CPrimitiveRender::DrawWireBox(const float* position, const float* size, uint32_t color)
{
    if (position == nullptr)
        return;
    const CkvrMatrix world = Translation(position);
    DrawWireBoxImpl(&world, size, color);
}

void CPrimitiveRender::DrawWireBoxImpl(const CkvrMatrix* world, const float* size, uint32_t color)
{
    if (g_graphics == nullptr || world == nullptr || size == nullptr)
        return;
    UnlitScope unlit;
    g_graphics->SetWorldTransform(world);
    const float h[3] = {size[0] / 2.0f, size[1] / 2.0f, size[2] / 2.0f};
    auto corner = [&](int i) {
        return ColorVertex{(i & 1) ? h[0] : -h[0], (i & 2) ? h[1] : -h[1], (i & 4) ? h[2] : -h[2], color};
    };
    static const int edges[12][2] = {{0, 1}, {2, 3}, {4, 5}, {6, 7}, {0, 2}, {1, 3},
                                     {4, 6}, {5, 7}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    ColorVertex vertices[24];
    for (int i = 0; i < 12; ++i)
    {
        vertices[i * 2] = corner(edges[i][0]);
        vertices[i * 2 + 1] = corner(edges[i][1]);
    }
    DrawColored(PT_LINELIST, 12, vertices);
}

void CPrimitiveRender::DrawSphere(const float* position, float radius, uint32_t color)
{
    if (position == nullptr)
        return;
    const CkvrMatrix world = Translation(position);
    DrawSphereImpl(&world, radius, color);
}

void CPrimitiveRender::DrawSphereImpl(const CkvrMatrix* world, float radius, uint32_t color)
{
    if (g_graphics == nullptr || g_graphics->GetDevice() == nullptr || world == nullptr)
        return;
    g_graphics->SetWorldTransform(world);
    auto point = [&](int p, int q) {
        const float sp = std::sin(static_cast<float>(p) * SPHERE_STEP);
        const float cp = std::cos(static_cast<float>(p) * SPHERE_STEP);
        const float cq = std::cos(static_cast<float>(q) * SPHERE_STEP);
        const float sq = std::sin(static_cast<float>(q) * SPHERE_STEP);
        const float nx = sp * cq;
        const float ny = cp;
        const float nz = sp * sq;
        return LitVertex{radius * nx, radius * ny, radius * nz, nx, ny, nz, color};
    };
    int n = 0;
    for (int band = 0; band < 8; ++band)
    {
        for (int k = 0; k < 16; ++k)
        {
            // Increasing longitude turns from +x towards +z, which seen
            // from outside is clockwise when the upper ring comes first.
            const LitVertex a = point(band, k);
            const LitVertex b = point(band, k + 1);
            const LitVertex c = point(band + 1, k);
            const LitVertex d = point(band + 1, k + 1);
            if (band != 7)
            {
                g_sphere[n++] = a;
                g_sphere[n++] = d;
                g_sphere[n++] = c;
            }
            if (band != 0)
            {
                g_sphere[n++] = a;
                g_sphere[n++] = b;
                g_sphere[n++] = d;
            }
        }
    }
    SetMaterialColor(color);
    g_graphics->SetTexture(nullptr);
    g_graphics->SetFVF(FVF_LIT);
    g_graphics->DrawPrimitiveUP(PT_TRIANGLELIST, static_cast<uint32_t>(n / 3), g_sphere, sizeof(LitVertex));
}

void CPrimitiveRender::DrawAxisCircles(const float* position, float radius, uint32_t color)
{
    if (position == nullptr)
        return;
    const CkvrMatrix world = Translation(position);
    DrawAxisCirclesImpl(&world, radius, color);
}

void CPrimitiveRender::DrawAxisCirclesImpl(const CkvrMatrix* world, float radius, uint32_t color)
{
    if (g_graphics == nullptr || world == nullptr)
        return;
    UnlitScope unlit;
    g_graphics->SetWorldTransform(world);
    const bool defaults = color <= 0x00FFFFFF;
    const uint32_t colors[3] = {defaults ? 0xFF0000FFu : color, defaults ? 0xFF00FF00u : color,
                                defaults ? 0xFFFF0000u : color};
    for (int circle = 0; circle < 3; ++circle)
    {
        for (int i = 0; i <= 24; ++i)
        {
            const float c = radius * std::cos(static_cast<float>(i) * CIRCLE_STEP);
            const float s = radius * std::sin(static_cast<float>(i) * CIRCLE_STEP);
            ColorVertex& v = g_axisCircle[i];
            if (circle == 0)
                v = ColorVertex{c, s, 0.0f, colors[0]};
            else if (circle == 1)
                v = ColorVertex{0.0f, c, s, colors[1]};
            else
                v = ColorVertex{s, 0.0f, c, colors[2]};
        }
        DrawColored(PT_LINESTRIP, 24, g_axisCircle);
    }
}

void CPrimitiveRender::DrawLine(const float* from, const float* to, uint32_t color)
{
    if (g_graphics == nullptr || from == nullptr || to == nullptr)
        return;
    UnlitScope unlit;
    const CkvrMatrix identity;
    g_graphics->SetWorldTransform(&identity);
    const ColorVertex vertices[2] = {{from[0], from[1], from[2], color}, {to[0], to[1], to[2], color}};
    DrawColored(PT_LINELIST, 1, vertices);
}

void CPrimitiveRender::DrawCurve(const float* start, const float* end, const float* control, uint32_t color)
{
    if (g_graphics == nullptr || start == nullptr || end == nullptr || control == nullptr)
        return;
    UnlitScope unlit;
    const CkvrMatrix identity;
    g_graphics->SetWorldTransform(&identity);
    for (int i = 0; i <= 32; ++i)
    {
        const float t = static_cast<float>(i) * 0.03125f;
        const float a = 2.0f * t * (1.0f - t);
        const float b = t * t;
        g_curve[i] = ColorVertex{start[0] + a * (control[0] - start[0]) + b * (end[0] - start[0]),
                                 start[1] + a * (control[1] - start[1]) + b * (end[1] - start[1]),
                                 start[2] + a * (control[2] - start[2]) + b * (end[2] - start[2]), color};
    }
    DrawColored(PT_LINESTRIP, 32, g_curve);
}
