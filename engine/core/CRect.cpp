#include "engine/core/CRect.h"

CRect::CRect(const int32_t* rect)
{
    if (rect == nullptr)
        return;
    left = float(rect[0]);
    top = float(rect[1]);
    right = float(rect[2]);
    bottom = float(rect[3]);
}

uint32_t CRect::PtInRect(const float* point) const
{
    if (point == nullptr)
        return 0;
    return PtInRect(point[0], point[1]);
}

uint32_t CRect::PtInRect(float x, float y) const
{
    return (left <= x && x <= right && top <= y && y <= bottom) ? 1 : 0;
}

uint32_t CRect::Intersect(const CRect* other) const
{
    if (other == nullptr)
        return 0;
    return (other->left <= right && other->right >= left && other->top <= bottom && other->bottom >= top) ? 1 : 0;
}

CRect CRect::Offset(float dx, float dy) const
{
    CRect r = *this;
    r.left = float(double(left) + dx);
    r.right = float(double(right) + dx);
    r.top = float(double(top) + dy);
    r.bottom = float(double(bottom) + dy);
    return r;
}
