// The HUD sheet's shapes: plates, frames, texts, discs, rings, the radar,
// the reticle and scope, the lock-on brackets and the window.
#include "tools/datakit/SheetPainter.h"

#include <algorithm>
#include <cmath>

using SheetCells::CellKind;
using SheetCells::SheetCell;

namespace
{
constexpr uint32_t kBlack = 0xFF000000u;
constexpr uint32_t kLight = 0xFFE0E8F0u;
constexpr uint32_t kRim = 0xFF101820u;
// A panel's caption: this many pixels high at most, in its top-left corner.
constexpr float kCaptionHeight = 12.0f;
constexpr float kGlyphShare = 0.9f;
}

bool SheetPainter::DrawShape(const SheetCell& cell, uint32_t color)
{
    const Box box{static_cast<int32_t>(cell.rect.left), static_cast<int32_t>(cell.rect.top),
                  static_cast<int32_t>(cell.rect.right), static_cast<int32_t>(cell.rect.bottom)};
    const float width = cell.rect.Width();
    const float height = cell.rect.Height();
    const float radius = std::min(width, height) * 0.5f;
    switch (cell.kind)
    {
    case CellKind::Panel: PanelPlate(box, color, cell.label); return true;
    case CellKind::Frame: Frame(box, 4, color); return true;
    case CellKind::Glyph:
        Text(cell.label, cell.rect.left + width * 0.5f, cell.rect.top + height * 0.5f, width - 2.0f,
             height * kGlyphShare, color);
        return true;
    case CellKind::Disc:
        Round(box, 0.0f, radius - 2.0f, color);
        Round(box, radius - 2.0f, radius, kRim);
        return true;
    case CellKind::Ring: Round(box, radius * 0.86f, radius, color); return true;
    case CellKind::Radar: RadarFace(box, color); return true;
    case CellKind::Crosshair:
        Round(box, radius - 3.0f, radius - 1.0f, color);
        Cross(box, radius * 0.35f, 2.0f, color);
        return true;
    case CellKind::Scope: ScopeView(box, color); return true;
    case CellKind::Brackets: BracketCorners(box, color); return true;
    case CellKind::ArrowDown: TriangleDown(box, color); return true;
    case CellKind::Window: WindowPicture(box, color); return true;
    default: return false;
    }
}

// Pixels between inner and outer radius of the box's inscribed circle.
void SheetPainter::Round(const Box& box, float inner, float outer, uint32_t argb)
{
    const float cx = static_cast<float>(box.left + box.right) * 0.5f;
    const float cy = static_cast<float>(box.top + box.bottom) * 0.5f;
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
            const float coverage = std::min(std::clamp(outer - d + 0.5f, 0.0f, 1.0f),
                                            inner <= 0.0f ? 1.0f : std::clamp(d - inner + 0.5f, 0.0f, 1.0f));
            if (coverage > 0.0f)
                Blend(x, y, argb, coverage);
        }
    }
}

// Horizontal and vertical lines through the middle, leaving gap pixels
// open on each side of the centre.
void SheetPainter::Cross(const Box& box, float gap, float thickness, uint32_t argb)
{
    const int32_t cx = (box.left + box.right) / 2;
    const int32_t cy = (box.top + box.bottom) / 2;
    const int32_t half = std::max(static_cast<int32_t>(thickness * 0.5f), 1);
    const int32_t open = static_cast<int32_t>(gap);
    Fill({box.left + 2, cy - half, cx - open, cy + half}, argb);
    Fill({cx + open, cy - half, box.right - 2, cy + half}, argb);
    Fill({cx - half, box.top + 2, cx + half, cy - open}, argb);
    Fill({cx - half, cy + open, cx + half, box.bottom - 2}, argb);
}

// The radar: a dark rim 4 pixels wide round a green face with two rings
// and a cross.
void SheetPainter::RadarFace(const Box& box, uint32_t argb)
{
    const float radius = static_cast<float>(std::min(box.right - box.left, box.bottom - box.top)) * 0.5f;
    Round(box, radius - 4.0f, radius, kRim);
    Round(box, 0.0f, radius - 4.0f, argb);
    const uint32_t bright = 0xFF60C080u;
    Round(box, radius * 0.62f - 1.0f, radius * 0.62f, bright);
    Round(box, radius * 0.31f - 1.0f, radius * 0.31f, bright);
    Round(box, radius - 6.0f, radius - 4.0f, bright);
    const Box inner{box.left + 4, box.top + 4, box.right - 4, box.bottom - 4};
    Cross(inner, 0.0f, 1.0f, bright);
}

// What a sniper sees: black round a clear circle, a thin cross through it
// and a ring at its edge.
void SheetPainter::ScopeView(const Box& box, uint32_t argb)
{
    const float radius = static_cast<float>(std::min(box.right - box.left, box.bottom - box.top)) * 0.5f;
    const float cx = static_cast<float>(box.left + box.right) * 0.5f;
    const float cy = static_cast<float>(box.top + box.bottom) * 0.5f;
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float d = std::hypot(static_cast<float>(x) + 0.5f - cx, static_cast<float>(y) + 0.5f - cy);
            Blend(x, y, argb, std::clamp(d - (radius - 2.0f), 0.0f, 1.0f));
        }
    }
    Round(box, radius - 6.0f, radius - 2.0f, 0xFF202020u);
    Cross(box, 0.0f, 2.0f, kBlack);
    Round(box, 10.0f, 12.0f, 0xFFFF3040u);
}

// Four L-shaped corners, a quarter of the side long each way.
void SheetPainter::BracketCorners(const Box& box, uint32_t argb)
{
    const int32_t length = (box.right - box.left) / 4;
    const int32_t t = 4;
    for (int corner = 0; corner < 4; ++corner)
    {
        const bool right = corner % 2 == 1;
        const bool bottom = corner >= 2;
        const int32_t x = right ? box.right - length : box.left;
        const int32_t y = bottom ? box.bottom - t : box.top;
        Fill({x, y, x + length, y + t}, argb);
        const int32_t vx = right ? box.right - t : box.left;
        const int32_t vy = bottom ? box.bottom - length : box.top;
        Fill({vx, vy, vx + t, vy + length}, argb);
    }
}

void SheetPainter::TriangleDown(const Box& box, uint32_t argb)
{
    const float height = static_cast<float>(box.bottom - box.top);
    const float width = static_cast<float>(box.right - box.left);
    for (int32_t y = box.top; y < box.bottom; ++y)
    {
        for (int32_t x = box.left; x < box.right; ++x)
        {
            const float along = static_cast<float>(box.bottom - y) - 0.5f;
            const float half = width * 0.5f * along / height;
            const float offset = static_cast<float>(x - box.left) + 0.5f - width * 0.5f;
            Blend(x, y, argb, half - std::fabs(offset) + 0.5f);
        }
    }
}

// A window: its translucent body and a light border 3 pixels wide with a
// dark line inside it, so that any three-by-three cut of it gives corners,
// edges and a centre.
void SheetPainter::WindowPicture(const Box& box, uint32_t argb)
{
    Fill(box, argb);
    SheetPainter::Frame(box, 3, kLight);
    SheetPainter::Frame({box.left + 3, box.top + 3, box.right - 3, box.bottom - 3}, 1, kRim);
}

void SheetPainter::PanelPlate(const Box& box, uint32_t argb, const std::string& label)
{
    Fill(box, argb);
    SheetPainter::Frame(box, 2, kLight);
    const float height = static_cast<float>(box.bottom - box.top);
    if (label.empty() || height < kCaptionHeight)
        return;
    const float width = static_cast<float>(box.right - box.left);
    const float caption = std::min(kCaptionHeight, height * 0.4f);
    Text(label, static_cast<float>(box.left) + width * 0.25f, static_cast<float>(box.top) + 2.0f + caption * 0.5f,
         width * 0.45f, caption);
}
