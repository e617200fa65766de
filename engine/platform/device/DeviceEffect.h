#pragma once

#include "engine/platform/device/DeviceResource.h"
#include "engine/platform/device/EffectImage.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class DeviceTexture;

// An effect made from an effect image: every pass's GLSL program compiled
// and linked at creation, parameter values kept by the effect and handed
// to each pass's program when the pass begins (and at once while a pass
// runs), techniques and passes chosen by name and index.
//
// Sampler parameters read texture units 1 and up in the order they are
// declared, so the fixed pipeline's stage 0 (and the caches that track it)
// stay untouched. Programs may read two uniforms the effect fills from the
// device's render states at each pass: int kvr_FogEnable and vec4
// kvr_FogColor. A program whose sources test the macro KVR_FOG_OFF is built
// a second time with it defined, on first need, and that build draws the
// passes that begin while fog is off: it leaves out what fog costs.
class DeviceEffect : public DeviceResource
{
public:
    static constexpr uint32_t FIRST_TEXTURE_UNIT = 1;

    // Null when a program does not compile or link; the GL log goes to
    // standard error.
    static std::unique_ptr<DeviceEffect> Create(GraphicsDevice* device, const EffectImage& image);
    ~DeviceEffect() override;

    const EffectImage& GetImage() const { return m_image; }

    // Techniques.
    bool SetTechnique(const char* name);
    int32_t GetTechnique() const { return m_technique; }
    int32_t FindTechnique(const char* name) const;

    // Running passes.
    bool Begin(uint32_t* passCount);
    bool BeginPass(uint32_t pass);
    bool EndPass();
    bool End();

    // Parameters by name; false for unknown names or a parameter of
    // another kind. Values are taken as far as the parameter holds them.
    bool SetFloats(const char* name, const float* values, uint32_t count);
    bool SetFloat(const char* name, float value) { return SetFloats(name, &value, 1); }
    // Each vector gives as many components as the parameter has columns.
    bool SetVectors(const char* name, const float* vectors, uint32_t count);
    // 4x4 row-major matrices; each fills the parameter's rows x columns.
    bool SetMatrices(const char* name, const float* matrices, uint32_t count);
    bool SetInts(const char* name, const int32_t* values, uint32_t count);
    bool SetBytes(const char* name, const void* data, uint32_t bytes);
    bool SetTexture(const char* name, DeviceTexture* texture);
    bool SetString(const char* name, const char* text);

    // Reading back what was set (tests, tools).
    bool GetFloats(const char* name, float* values, uint32_t count) const;
    bool HasParameter(const char* name) const { return Find(name) >= 0; }

protected:
    void FreeGlObjects() override;

private:
    struct Uniform
    {
        int32_t parameter = -1;
        int32_t location = -1;
        uint32_t unit = 0; // samplers
    };

    struct Program
    {
        uint32_t vertexSource = 0;
        uint32_t fragmentSource = 0;
        bool fogOff = false;
        unsigned name = 0;
        std::vector<Uniform> uniforms;
        int32_t fogEnableLocation = -1;
        int32_t fogColorLocation = -1;
        // The build without fog: made when first needed; a failed build
        // leaves the program that tests fog drawing.
        bool hasFoglessBuild = false;
        bool foglessFailed = false;
        std::unique_ptr<Program> fogless;
    };

    struct Value
    {
        std::vector<float> floats;
        std::vector<int32_t> ints;
        DeviceTexture* texture = nullptr;
        std::string text;
    };

    explicit DeviceEffect(GraphicsDevice* device) : DeviceResource(device) {}
    bool Build(const EffectImage& image);
    bool BuildProgram(Program& program);
    // The program a pass draws with under the device's fog state now.
    Program* ProgramForPass(Program& program);
    void FreeProgram(Program& program);
    void FindUniforms(Program& program);
    int32_t Find(const char* name) const;
    int32_t FindNumeric(const char* name) const;
    void MarkChanged(int32_t parameter);
    void Upload(const Program& program, int32_t onlyParameter);
    void UploadUniform(const Uniform& uniform);
    void BindTextures(const Program& program);

    EffectImage m_image;
    std::vector<Program> m_programs;
    // Per technique, per pass: the index into m_programs.
    std::vector<std::vector<uint32_t>> m_passPrograms;
    std::vector<Value> m_values;
    std::vector<uint32_t> m_samplerUnits; // per parameter
    int32_t m_technique = 0;
    bool m_begun = false;
    Program* m_active = nullptr;
};
