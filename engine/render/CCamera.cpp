#include "engine/render/CCamera.h"

#include "engine/core/MathConstants.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <cmath>

namespace
{
CGraphics* g_graphics;

void Zero(CkvrMatrix& matrix)
{
    for (float& element : matrix.m)
        element = 0.0f;
}

bool AllFinite(const CkvrMatrix& matrix)
{
    for (float element : matrix.m)
    {
        if (!std::isfinite(element))
            return false;
    }
    return true;
}

CkvrVector3 FromFloats(const float* v)
{
    return CkvrVector3(v[0], v[1], v[2]);
}
}

void CCamera::SetGraphics(CGraphics* graphics)
{
    g_graphics = graphics;
}

CGraphics* CCamera::GetGraphics()
{
    return g_graphics;
}

CCamera::CCamera()
{
    Zero(m_view);
    Zero(m_billboard);
    Zero(m_projection);
}

CCamera::~CCamera()
{
    if (g_graphics != nullptr && g_graphics->GetCamera() == this)
        g_graphics->SetCamera(nullptr);
}

bool CCamera::BuildView(const CkvrVector3& eye, const CkvrVector3& target, const CkvrVector3& up, bool rightHanded)
{
    const CkvrVector3 f = (target - eye).GetNormal();
    const CkvrVector3 r = up.Cross(f).GetNormal();
    const CkvrVector3 u = f.Cross(r).GetNormal();
    // No direction of sight, or an up vector along it: no view to build.
    if (f.LengthSq() == 0.0f || r.LengthSq() == 0.0f || u.LengthSq() == 0.0f)
        return false;
    CkvrMatrix view;
    if (!rightHanded)
        view.Set(r.x, u.x, f.x, 0.0f, r.y, u.y, f.y, 0.0f, r.z, u.z, f.z, 0.0f, -r.Dot(eye), -u.Dot(eye), -f.Dot(eye),
                 1.0f);
    else
        view.Set(-r.x, u.x, -f.x, 0.0f, -r.y, u.y, -f.y, 0.0f, -r.z, u.z, -f.z, 0.0f, r.Dot(eye), -u.Dot(eye),
                 f.Dot(eye), 1.0f);
    if (!AllFinite(view))
        return false;
    m_view = view;
    CkvrMatrix rotation = view;
    rotation.m[12] = 0.0f;
    rotation.m[13] = 0.0f;
    rotation.m[14] = 0.0f;
    rotation.m[15] = 1.0f;
    rotation.GetInverse(&m_billboard);
    return true;
}

void CCamera::LookAt(const float* eye, const float* target, const float* up, bool rightHanded)
{
    if (eye == nullptr || target == nullptr || up == nullptr)
        return;
    const CkvrVector3 e = FromFloats(eye);
    const CkvrVector3 t = FromFloats(target);
    const CkvrVector3 u = FromFloats(up);
    if (!BuildView(e, t, u, rightHanded))
        return;
    m_eye = e;
    m_target = t;
    m_up = u;
    CkvrVector3 d = e - t;
    m_distance = -d.Length();
    d = d.GetNormal();
    const float yaw = RadianToDegreeFloat(std::atan2(d.x, d.z)) + 180.0f;
    const float pitch = RadianToDegreeFloat(std::atan2(d.y, std::fabs(d.x) + std::fabs(d.z)));
    m_angles.Set(pitch, yaw, 0.0f);
}

CkvrVector3 CCamera::GetViewUp() const
{
    // Both handednesses keep the up in the second column of the view.
    const CkvrVector3 up(m_view.m[1], m_view.m[5], m_view.m[9]);
    return up.LengthSq() > 0.0f ? up : CkvrVector3(0.0f, 1.0f, 0.0f);
}

void CCamera::SetLookAt(const float* eye, const float* target, const float* up)
{
    LookAt(eye, target, up, false);
}

void CCamera::SetLookAtRH(const float* eye, const float* target, const float* up)
{
    LookAt(eye, target, up, true);
}

void CCamera::Orbit(const float* target, const float* angles, float distance, bool rightHanded)
{
    if (target == nullptr || angles == nullptr)
        return;
    const CkvrVector3 a = FromFloats(angles);
    const CkvrVector3 t = FromFloats(target);
    CkvrMatrix rotation;
    rotation.SetRotation(&a);
    const CkvrVector3 eye = CkvrVector3(0.0f, 0.0f, distance).GetTransformCoord(rotation) + t;
    const CkvrVector3 up(0.0f, 1.0f, 0.0f);
    if (!BuildView(eye, t, up, rightHanded))
        return;
    m_angles = a;
    m_target = t;
    m_distance = distance;
    m_eye = eye;
    m_up = up;
}

void CCamera::SetOrbit(const float* target, const float* angles, float distance)
{
    Orbit(target, angles, distance, false);
}

void CCamera::SetOrbitRH(const float* target, const float* angles, float distance)
{
    Orbit(target, angles, distance, true);
}

bool CCamera::BuildPerspective(int fov, float aspect, float nearPlane, float farPlane, bool rightHanded)
{
    // Below 1 degree the tangent is too small to divide by; at 180 it is
    // infinite.
    const int clamped = fov < 1 ? 1 : fov > 179 ? 179 : fov;
    if (aspect < 0.0f && g_graphics != nullptr && g_graphics->GetSystem() != nullptr &&
        g_graphics->GetSystem()->GetHeight() > 0)
        aspect = static_cast<float>(g_graphics->GetSystem()->GetWidth()) /
                 static_cast<float>(g_graphics->GetSystem()->GetHeight());
    const float h = static_cast<float>(clamped) * kDegreeToRadian / 2.0f;
    CkvrMatrix projection;
    projection.m[0] = 1.0f / (std::tan(h) * aspect);
    projection.m[5] = 1.0f / std::tan(h);
    projection.m[10] = rightHanded ? farPlane / (nearPlane - farPlane) : farPlane / (farPlane - nearPlane);
    projection.m[11] = rightHanded ? -1.0f : 1.0f;
    projection.m[14] = farPlane * nearPlane / (nearPlane - farPlane);
    projection.m[15] = 0.0f;
    if (!AllFinite(projection))
        return false;
    m_fov = static_cast<float>(clamped);
    m_aspect = aspect;
    m_near = nearPlane;
    m_far = farPlane;
    m_projection = projection;
    return true;
}

void CCamera::SetProjection(int fov, float aspect, float nearPlane, float farPlane)
{
    BuildPerspective(fov, aspect, nearPlane, farPlane, false);
}

void CCamera::SetProjectionRH(int fov, float aspect, float nearPlane, float farPlane)
{
    BuildPerspective(fov, aspect, nearPlane, farPlane, true);
}

void CCamera::SetOrtho(float width, float height, float nearPlane, float farPlane)
{
    m_orthoWidth = width;
    m_orthoHeight = height;
    m_near = nearPlane;
    m_far = farPlane;
    m_projection.Identity();
    m_projection.m[0] = 2.0f / width;
    m_projection.m[5] = 2.0f / height;
    m_projection.m[10] = 1.0f / (farPlane - nearPlane);
    m_projection.m[14] = nearPlane / (nearPlane - farPlane);
}

void CCamera::SetOrthoRH(float width, float height, float nearPlane, float farPlane)
{
    SetOrtho(width, height, nearPlane, farPlane);
    m_projection.m[10] = 1.0f / (nearPlane - farPlane);
}

void CCamera::SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    if (g_graphics != nullptr)
    {
        const PresentParameters& parameters = g_graphics->GetPresentParameters();
        if (width == 0)
            width = parameters.backBufferWidth;
        if (height == 0)
            height = parameters.backBufferHeight;
    }
    m_viewport[0] = x;
    m_viewport[1] = y;
    m_viewport[2] = width;
    m_viewport[3] = height;
}

int CCamera::Apply()
{
    if (g_graphics == nullptr || g_graphics->GetDevice() == nullptr)
        return 0;
    GraphicsDevice* device = g_graphics->GetDevice();
    DeviceViewport viewport;
    viewport.x = m_viewport[0];
    viewport.y = m_viewport[1];
    viewport.width = m_viewport[2];
    viewport.height = m_viewport[3];
    if (DeviceFailed(device->SetViewport(viewport)))
        return 0;
    device->SetTransform(TRANSFORM_VIEW, m_view.m);
    device->SetTransform(TRANSFORM_PROJECTION, m_projection.m);
    g_graphics->SetCamera(this);
    return 1;
}

void CCamera::Project(const float* p, float out[4]) const
{
    const CkvrMatrix viewProjection = m_view * m_projection;
    const float* m = viewProjection.m;
    for (int column = 0; column < 4; ++column)
        out[column] = p[0] * m[column] + p[1] * m[4 + column] + p[2] * m[8 + column] + m[12 + column];
}

void CCamera::WorldToScreen(const float* point, float* x, float* y, float* depth) const
{
    if (point == nullptr || x == nullptr || y == nullptr)
        return;
    float c[4];
    Project(point, c);
    *x = static_cast<float>(m_viewport[0]) + static_cast<float>(m_viewport[2]) * 0.5f * (c[0] / c[3] + 1.0f);
    *y = static_cast<float>(m_viewport[1]) + static_cast<float>(m_viewport[3]) * 0.5f * (1.0f - c[1] / c[3]);
    if (depth != nullptr)
        *depth = c[2] / c[3];
}

void CCamera::WorldToNormalized(const float* point, float* out) const
{
    if (point == nullptr || out == nullptr)
        return;
    float c[4];
    Project(point, c);
    out[0] = c[0] / c[3];
    out[1] = c[1] / c[3];
    out[2] = c[2] / c[3];
}

void CCamera::ScreenToWorldDirection(float x, float y, float* out) const
{
    if (out == nullptr || m_viewport[2] == 0 || m_viewport[3] == 0)
        return;
    const float nx = ((x - static_cast<float>(m_viewport[0])) * 2.0f / static_cast<float>(m_viewport[2]) - 1.0f) /
                     m_projection.m[0];
    const float ny = -((y - static_cast<float>(m_viewport[1])) * 2.0f / static_cast<float>(m_viewport[3]) - 1.0f) /
                     m_projection.m[5];
    CkvrMatrix rotation = m_view;
    rotation.m[12] = 0.0f;
    rotation.m[13] = 0.0f;
    rotation.m[14] = 0.0f;
    const CkvrMatrix inverse = rotation.GetInverse();
    const CkvrVector3 direction = CkvrVector3(nx, ny, 1.0f).GetTransformNormal(inverse).GetNormal();
    out[0] = direction.x;
    out[1] = direction.y;
    out[2] = direction.z;
}

CkvrMatrix* CCamera::GetViewProjection(CkvrMatrix* out) const
{
    if (out != nullptr)
        *out = m_view * m_projection;
    return out;
}
