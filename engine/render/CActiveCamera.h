#pragma once

#include "engine/core/CKeyFrameList.h"
#include "engine/core/CResourceBase.h"
#include "engine/core/CkvrLine.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <cstdio>

class CCamera;

// A camera path: seven keyframe tracks that, at a time, say where a camera
// looks, where it stands, how wide it sees and whether the path drives the
// camera at all, optionally around a subject (a position and Euler angles)
// and switching to a second subject over time.
//
// File: the seven track records back to back, in the order Position,
// Rotation, TargetPosition, Distance, Zoom, Target, Enable.
class CActiveCamera : public CResourceBase
{
public:
    CActiveCamera();
    ~CActiveCamera() override;

    CActiveCamera(const CActiveCamera&) = delete;
    CActiveCamera& operator=(const CActiveCamera&) = delete;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CActiveCamera"; }

    // With file null the path is opened and closed here; a given file is
    // left just after the seventh record. A failed Load leaves every track
    // as it was.
    int Load(const char* path, FILE* file);
    int Save(const char* path, FILE* file) const;

    // The point looked at, before any subject.
    CkvrVector3 GetPosition(float time) const;

    // Sets the camera's projection and view from the path at the time; 0,
    // camera untouched, when the camera is null or the path is off. Null
    // subject parts are left out.
    int ApplyToCamera(float time, CCamera* camera, const CkvrVector3* position = nullptr,
                      const CkvrVector3* rotation = nullptr, const CkvrVector3* secondPosition = nullptr,
                      const CkvrVector3* secondRotation = nullptr) const;
    // The same evaluation, handing out eye, target, up and the enable value
    // (each out pointer may be null); always 1.
    int GetCameraVectors(float time, const CkvrVector3* position, const CkvrVector3* rotation,
                         const CkvrVector3* secondPosition, const CkvrVector3* secondRotation, CkvrVector3* eye,
                         CkvrVector3* target, CkvrVector3* up, int32_t* enable) const;

    CKeyFrameList<CkvrLine>& GetPositionTrack() { return m_position; }
    CKeyFrameList<CkvrLine>& GetTargetPositionTrack() { return m_targetPosition; }
    CKeyFrameList<CkvrVector3>& GetRotationTrack() { return m_rotation; }
    CKeyFrameList<float>& GetDistanceTrack() { return m_distance; }
    CKeyFrameList<float>& GetZoomTrack() { return m_zoom; }
    CKeyFrameList<int32_t>& GetTargetTrack() { return m_target; }
    CKeyFrameList<int32_t>& GetEnableTrack() { return m_enable; }

    static constexpr float kDefaultDistance = 10.0f;
    static constexpr float kDefaultZoom = 60.0f;
    static constexpr float kNearPlane = 0.1f;
    static constexpr float kFarPlane = 1500.0f;

private:
    void Evaluate(float time, const CkvrVector3* position, const CkvrVector3* rotation,
                  const CkvrVector3* secondPosition, const CkvrVector3* secondRotation, CkvrVector3* eye,
                  CkvrVector3* target) const;
    bool ReadTracks(FILE* file);
    bool WriteTracks(FILE* file) const;

    CKeyFrameList<CkvrLine> m_position;
    CKeyFrameList<CkvrLine> m_targetPosition;
    CKeyFrameList<CkvrVector3> m_rotation;
    CKeyFrameList<float> m_distance;
    CKeyFrameList<float> m_zoom;
    CKeyFrameList<int32_t> m_target;
    CKeyFrameList<int32_t> m_enable;
};
