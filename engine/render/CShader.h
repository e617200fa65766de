#pragma once

#include "engine/core/CResourceBase.h"

#include <cstdint>
#include <memory>

class CGraphics;
class CTexture;
class DeviceEffect;

// One effect: techniques of GLSL passes with parameters set by name, made
// from an effect file or an effect image in memory (the same bytes), able
// to drop its GL objects and make them again around a device reset.
//
// All operations return 1 on success and 0 on failure; every setter and
// pass operation returns 0 at once when the shader holds no effect.
class CShader : public CResourceBase
{
public:
    CShader();
    ~CShader() override;

    static void SetGraphics(CGraphics* graphics) { s_graphics = graphics; }
    static CGraphics* GetGraphics() { return s_graphics; }

    uint32_t Release() override;
    const char* GetClassName() const override { return "CShader"; }

    // flags are accepted for callers' sake; GLSL has no compile flags here.
    int CreateFromFile(const char* fileName, uint32_t flags);
    int CreateFromMemory(const void* data, const char* name, uint32_t size, uint32_t flags, uint32_t keepCopy);
    int Recreate();
    int ReleaseEffect();

    int SetTechnique(const char* technique);
    int SetValue(const char* name, const void* data, uint32_t bytes);
    int SetInt(const char* name, int32_t value);
    int SetIntArray(const char* name, const int32_t* values, uint32_t count);
    int SetFloat(const char* name, float value);
    int SetFloatArray(const char* name, const float* values, uint32_t count);
    int SetVector(const char* name, const float* vector);
    int SetVectorArray(const char* name, const float* vectors, uint32_t count);
    int SetMatrix(const char* name, const float* matrix);
    int SetMatrixArray(const char* name, const float* matrices, uint32_t count);
    int SetString(const char* name, const char* text);
    int SetTexture(const char* name, CTexture* texture);

    int Begin(uint32_t* passCount, uint32_t flags);
    int BeginPass(uint32_t pass);
    int EndPass();
    int End();

    DeviceEffect* GetEffect() const { return m_effect.get(); }
    uint32_t GetCopySize() const { return m_copySize; }
    const void* GetCopy() const { return m_copy; }
    uint32_t GetKeepCopy() const { return m_keepCopy; }

private:
    int CreateEffect(const void* data, uint32_t size);
    void FreeCopy();

    std::unique_ptr<DeviceEffect> m_effect;
    uint32_t m_copySize = 0;
    void* m_copy = nullptr;
    uint32_t m_keepCopy = 0;

    static CGraphics* s_graphics;
};
