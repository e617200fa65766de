#pragma once

#include "engine/platform/device/GraphicsTypes.h"

#include <cstdint>

class VertexLayout;

// The device's vertex lighting where GL's fixed function falls short: GL
// lights have no range and their spot cone has a single angle, while the
// engine's point and spot lights stop at their range and fade from the
// inner angle theta to the outer angle phi with the falloff exponent.
//
// A vertex-only GLSL program computes the engine's lighting per vertex
// (material colours or the vertex colours their sources name, global and
// per-light ambient, diffuse, separate specular, attenuation, range, cone)
// and hands texturing, fog and the alpha test to GL's fixed fragment
// stages, which stay as the device set them. It is used only for lit draws
// with a point or spot light enabled; directional lights alone keep GL's
// own lighting.
class FixedLightingProgram
{
public:
    FixedLightingProgram() = default;
    // The device's context must be current.
    ~FixedLightingProgram();

    FixedLightingProgram(const FixedLightingProgram&) = delete;
    FixedLightingProgram& operator=(const FixedLightingProgram&) = delete;

    // For every draw without an effect program: the program to draw with
    // (its uniforms set from the device state), or 0 for GL's own
    // pipeline. view: the view matrix (row vectors); renderStates: the
    // device's recorded states. glCalls counts the GL calls made.
    unsigned Prepare(const DeviceLight* lights, const bool* enabled, uint32_t lightCount, const float* view,
                     const DeviceMaterial& material, const uint32_t* renderStates, const VertexLayout& layout,
                     uint64_t* glCalls);

    static bool NeedsProgram(const DeviceLight* lights, const bool* enabled, uint32_t lightCount);

private:
    bool Build();
    void Upload(const DeviceLight* lights, const bool* enabled, uint32_t lightCount, const float* view,
                const DeviceMaterial& material, const uint32_t* renderStates, const VertexLayout& layout);
    void SetColorSum(bool on, uint64_t* glCalls);

    enum Uniform
    {
        U_LIGHT_KIND,
        U_LIGHT_POSITION,
        U_LIGHT_DIRECTION,
        U_LIGHT_DIFFUSE,
        U_LIGHT_SPECULAR,
        U_LIGHT_AMBIENT,
        U_LIGHT_ATTENUATION,
        U_LIGHT_CONE,
        U_MATERIAL_DIFFUSE,
        U_MATERIAL_AMBIENT,
        U_MATERIAL_SPECULAR,
        U_MATERIAL_EMISSIVE,
        U_MATERIAL_POWER,
        U_SOURCES,
        U_GLOBAL_AMBIENT,
        U_SPECULAR,
        U_LOCAL_VIEWER,
        U_NORMALIZE,
        U_COUNT,
    };

    unsigned m_program = 0;
    int m_locations[U_COUNT] = {};
    bool m_failed = false;
    bool m_colorSum = false;
};
