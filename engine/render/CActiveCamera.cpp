#include "engine/render/CActiveCamera.h"

#include "engine/core/CPathResolver.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/render/CCamera.h"

namespace
{
// Every track of a path wraps into the span of its own keys.
constexpr uint32_t kLoopMode = 1;

template <class T>
T ValueAt(const CKeyFrameList<T>& track, float time)
{
    T value{};
    track.GetValueAt(time, &value, kLoopMode);
    return value;
}
}

CActiveCamera::CActiveCamera() : CResourceBase("ActiveCamera")
{
    m_position.SetName("Position");
    m_position.SetInterpolator(InterpolateLineCurve);
    m_targetPosition.SetName("TargetPosition");
    m_targetPosition.SetInterpolator(InterpolateLineCurve);
    m_rotation.SetName("Rotation");
    m_distance.SetName("Distance");
    m_distance.SetDefault(&kDefaultDistance);
    m_zoom.SetName("Zoom");
    m_zoom.SetDefault(&kDefaultZoom);
    m_target.SetName("Target");
    m_target.SetInterpolation(0);
    m_enable.SetName("Enable");
    m_enable.SetInterpolation(0);
}

CActiveCamera::~CActiveCamera()
{
    CActiveCamera::Release();
}

uint32_t CActiveCamera::Release()
{
    m_position.Release();
    m_targetPosition.Release();
    m_rotation.Release();
    m_distance.Release();
    m_zoom.Release();
    m_target.Release();
    m_enable.Release();
    CResourceBase::Release();
    return 1;
}

int CActiveCamera::Load(const char* path, FILE* file)
{
    FILE* own = nullptr;
    if (file == nullptr)
    {
        if (path == nullptr || (own = CPathResolver::Open(path, "rb")) == nullptr)
            return 0;
        file = own;
    }
    const bool ok = ReadTracks(file);
    if (own != nullptr)
        std::fclose(own);
    return ok ? 1 : 0;
}

int CActiveCamera::Save(const char* path, FILE* file) const
{
    FILE* own = nullptr;
    if (file == nullptr)
    {
        if (path == nullptr || (own = CPathResolver::Open(path, "wb")) == nullptr)
            return 0;
        file = own;
    }
    bool ok = WriteTracks(file);
    if (own != nullptr)
        ok = (std::fclose(own) == 0) && ok;
    return ok ? 1 : 0;
}

bool CActiveCamera::ReadTracks(FILE* file)
{
    // Read into copies (which keep each track's interpolator) and take them
    // only when all seven records are whole, so that a cut file does not
    // leave half a path behind.
    CKeyFrameList<CkvrLine> position(m_position);
    CKeyFrameList<CkvrVector3> rotation(m_rotation);
    CKeyFrameList<CkvrLine> targetPosition(m_targetPosition);
    CKeyFrameList<float> distance(m_distance);
    CKeyFrameList<float> zoom(m_zoom);
    CKeyFrameList<int32_t> target(m_target);
    CKeyFrameList<int32_t> enable(m_enable);
    if (!position.Load(nullptr, file) || !rotation.Load(nullptr, file) || !targetPosition.Load(nullptr, file) ||
        !distance.Load(nullptr, file) || !zoom.Load(nullptr, file) || !target.Load(nullptr, file) ||
        !enable.Load(nullptr, file))
        return false;
    return position.CopyTo(&m_position) && rotation.CopyTo(&m_rotation) &&
           targetPosition.CopyTo(&m_targetPosition) && distance.CopyTo(&m_distance) && zoom.CopyTo(&m_zoom) &&
           target.CopyTo(&m_target) && enable.CopyTo(&m_enable);
}

bool CActiveCamera::WriteTracks(FILE* file) const
{
    return m_position.Save(nullptr, file) && m_rotation.Save(nullptr, file) &&
           m_targetPosition.Save(nullptr, file) && m_distance.Save(nullptr, file) && m_zoom.Save(nullptr, file) &&
           m_target.Save(nullptr, file) && m_enable.Save(nullptr, file);
}

CkvrVector3 CActiveCamera::GetPosition(float time) const
{
    return ValueAt(m_position, time).second;
}

void CActiveCamera::Evaluate(float time, const CkvrVector3* position, const CkvrVector3* rotation,
                             const CkvrVector3* secondPosition, const CkvrVector3* secondRotation,
                             CkvrVector3* eye, CkvrVector3* target) const
{
    CkvrVector3 lookAt = GetPosition(time);
    if (ValueAt(m_target, time) != 0)
    {
        position = secondPosition;
        rotation = secondRotation;
    }

    const CkvrVector3 offset = ValueAt(m_targetPosition, time).second;
    const float distance = ValueAt(m_distance, time);
    CkvrVector3 from(offset.x, offset.y, float(double(offset.z) + distance));

    // Pitch about x first, then yaw about the pitched up axis.
    const CkvrVector3 angles = ValueAt(m_rotation, time);
    CkvrMatrix turn;
    turn.SetRotationX(angles.x);
    CkvrVector3 up(0.0f, 1.0f, 0.0f);
    up.Transform(turn);
    CkvrMatrix yaw;
    yaw.SetRotationAxis(angles.y, &up);
    turn *= yaw;
    from.Transform(turn);

    if (rotation != nullptr)
    {
        CkvrMatrix subject;
        subject.SetRotation(rotation);
        lookAt.Transform(subject);
        from.Transform(subject);
    }
    if (position != nullptr)
    {
        lookAt = lookAt + *position;
        from = from + *position;
    }
    *eye = from;
    *target = lookAt;
}

int CActiveCamera::ApplyToCamera(float time, CCamera* camera, const CkvrVector3* position,
                                 const CkvrVector3* rotation, const CkvrVector3* secondPosition,
                                 const CkvrVector3* secondRotation) const
{
    if (camera == nullptr || ValueAt(m_enable, time) == 0)
        return 0;
    CkvrVector3 eye;
    CkvrVector3 target;
    Evaluate(time, position, rotation, secondPosition, secondRotation, &eye, &target);

    // The field of view is whole degrees; NaN or out-of-range zooms are
    // clamped before the conversion, which would otherwise be undefined.
    float zoom = ValueAt(m_zoom, time);
    if (!(zoom > -1.0e6f))
        zoom = zoom == zoom ? -1.0e6f : kDefaultZoom;
    if (zoom > 1.0e6f)
        zoom = 1.0e6f;
    camera->SetProjection(static_cast<int>(zoom), -1.0f, kNearPlane, kFarPlane);

    const float eyeXyz[3] = {eye.x, eye.y, eye.z};
    const float targetXyz[3] = {target.x, target.y, target.z};
    const float up[3] = {0.0f, 1.0f, 0.0f};
    camera->SetLookAt(eyeXyz, targetXyz, up);
    return 1;
}

int CActiveCamera::GetCameraVectors(float time, const CkvrVector3* position, const CkvrVector3* rotation,
                                    const CkvrVector3* secondPosition, const CkvrVector3* secondRotation,
                                    CkvrVector3* eye, CkvrVector3* target, CkvrVector3* up, int32_t* enable) const
{
    CkvrVector3 from;
    CkvrVector3 lookAt;
    Evaluate(time, position, rotation, secondPosition, secondRotation, &from, &lookAt);
    if (eye != nullptr)
        *eye = from;
    if (target != nullptr)
        *target = lookAt;
    if (up != nullptr)
        up->Set(0.0f, 1.0f, 0.0f);
    if (enable != nullptr)
        *enable = ValueAt(m_enable, time);
    return 1;
}
