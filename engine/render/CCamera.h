#pragma once

#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>

class CGraphics;

// One view and one projection with a viewport: built from a look-at or an
// orbit, applied to the device, and used to convert between world points
// and screen pixels.
class CCamera
{
public:
    CCamera();
    virtual ~CCamera();

    virtual const char* GetClassName() const { return "CCamera"; }

    static void SetGraphics(CGraphics* graphics);
    static CGraphics* GetGraphics();

    // Left-handed view; nothing when a pointer is null. An eye on the
    // target, or an up vector along the line of sight, keeps the previous
    // view.
    void SetLookAt(const float* eye, const float* target, const float* up);
    void SetLookAtRH(const float* eye, const float* target, const float* up);
    void SetOrbit(const float* target, const float* angles, float distance);
    void SetOrbitRH(const float* target, const float* angles, float distance);

    // The field of view is clamped to [1, 179] degrees; a negative aspect
    // takes the window's client aspect.
    void SetProjection(int fov, float aspect, float nearPlane, float farPlane);
    void SetProjectionRH(int fov, float aspect, float nearPlane, float farPlane);
    void SetOrtho(float width, float height, float nearPlane, float farPlane);
    void SetOrthoRH(float width, float height, float nearPlane, float farPlane);

    // Width or height 0 takes the back buffer's.
    void SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height);
    int Apply();

    void WorldToScreen(const float* point, float* x, float* y, float* depth) const;
    void WorldToNormalized(const float* point, float* out) const;
    void ScreenToWorldDirection(float x, float y, float* out) const;
    CkvrMatrix* GetViewProjection(CkvrMatrix* out) const;
    const CkvrMatrix& GetViewMatrix() const { return m_view; }

    const CkvrMatrix& GetProjectionMatrix() const { return m_projection; }
    const CkvrMatrix& GetBillboardMatrix() const { return m_billboard; }
    // The up of the view as it was built: square to the line of sight, so
    // also for a camera looking straight down; (0, 1, 0) before any view.
    CkvrVector3 GetViewUp() const;
    const CkvrVector3& GetEye() const { return m_eye; }
    const CkvrVector3& GetTarget() const { return m_target; }
    const CkvrVector3& GetAngles() const { return m_angles; }
    float GetDistance() const { return m_distance; }
    float GetFov() const { return m_fov; }
    float GetAspect() const { return m_aspect; }
    const uint32_t* GetViewport() const { return m_viewport; }

private:
    bool BuildView(const CkvrVector3& eye, const CkvrVector3& target, const CkvrVector3& up, bool rightHanded);
    void LookAt(const float* eye, const float* target, const float* up, bool rightHanded);
    void Orbit(const float* target, const float* angles, float distance, bool rightHanded);
    bool BuildPerspective(int fov, float aspect, float nearPlane, float farPlane, bool rightHanded);
    // c = (p, 1) x view x projection.
    void Project(const float* point, float out[4]) const;

    CkvrVector3 m_eye;
    CkvrVector3 m_target;
    CkvrVector3 m_up;
    float m_distance = 0.0f;
    CkvrVector3 m_angles;
    CkvrMatrix m_view;
    CkvrMatrix m_billboard;
    float m_fov = 0.0f;
    float m_aspect = 0.0f;
    float m_orthoWidth = 0.0f;
    float m_orthoHeight = 0.0f;
    float m_near = 0.0f;
    float m_far = 0.0f;
    CkvrMatrix m_projection;
    uint32_t m_viewport[4] = {};
};
