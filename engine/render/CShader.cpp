#include "engine/render/CShader.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrMemoryFile.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceEffect.h"
#include "engine/platform/device/EffectImage.h"
#include "engine/render/CTexture.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

CGraphics* CShader::s_graphics = nullptr;

CShader::CShader()
{
    SetKind(KIND_SHADER);
}

CShader::~CShader()
{
    // Owners release before deleting; a forgotten effect still goes with
    // its handle.
    FreeCopy();
}

void CShader::FreeCopy()
{
    AlignedFree(m_copy);
    m_copy = nullptr;
    m_copySize = 0;
}

int CShader::CreateEffect(const void* data, uint32_t size)
{
    EffectImage image;
    if (!image.Read(data, size))
    {
        std::fprintf(stderr, "effect: not an effect image\n");
        return 0;
    }
    m_effect = DeviceEffect::Create(s_graphics->GetDevice(), image);
    return m_effect != nullptr ? 1 : 0;
}

int CShader::CreateFromFile(const char* fileName, uint32_t flags)
{
    (void)flags;
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || fileName == nullptr)
        return 0;
    ReleaseEffect();
    FreeCopy();
    const std::unique_ptr<CkvrMemoryFile> file(CkvrMemoryFile::Open(fileName));
    if (!file || !CreateEffect(file->GetData(), static_cast<uint32_t>(file->GetSize())))
        return 0;
    SetName(fileName);
    m_keepCopy = 0;
    return 1;
}

int CShader::CreateFromMemory(const void* data, const char* name, uint32_t size, uint32_t flags, uint32_t keepCopy)
{
    (void)flags;
    if (s_graphics == nullptr || s_graphics->GetDevice() == nullptr || data == nullptr || name == nullptr ||
        size == 0)
        return 0;
    // The data may be our own kept copy (Recreate): keep it until made.
    std::vector<uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    ReleaseEffect();
    FreeCopy();
    if (!CreateEffect(bytes.data(), size))
        return 0;
    if (GetName() == nullptr || std::strcmp(GetName(), name) != 0)
        SetName(name);
    m_keepCopy = keepCopy;
    if (keepCopy == 0)
        return 1;
    m_copy = AlignedAlloc(size, 16);
    if (m_copy == nullptr)
    {
        m_keepCopy = 0;
        return 1;
    }
    std::memcpy(m_copy, bytes.data(), size);
    m_copySize = size;
    return 1;
}

int CShader::Recreate()
{
    // Only a shader that still holds its effect can be made again.
    if (s_graphics == nullptr || m_effect == nullptr)
        return 0;
    if (m_keepCopy != 0 && m_copy != nullptr)
    {
        std::vector<uint8_t> copy(static_cast<uint8_t*>(m_copy), static_cast<uint8_t*>(m_copy) + m_copySize);
        std::string name = GetName() != nullptr ? GetName() : "";
        return CreateFromMemory(copy.data(), name.c_str(), static_cast<uint32_t>(copy.size()), 0, 1);
    }
    if (GetName() == nullptr)
        return 0;
    std::string name = GetName();
    return CreateFromFile(name.c_str(), 0);
}

int CShader::ReleaseEffect()
{
    m_effect.reset();
    return 1;
}

uint32_t CShader::Release()
{
    ReleaseEffect();
    if (m_keepCopy != 0)
        FreeCopy();
    m_keepCopy = 0;
    return CResourceBase::Release();
}

int CShader::SetTechnique(const char* technique)
{
    return m_effect != nullptr && m_effect->SetTechnique(technique) ? 1 : 0;
}

int CShader::SetValue(const char* name, const void* data, uint32_t bytes)
{
    return m_effect != nullptr && m_effect->SetBytes(name, data, bytes) ? 1 : 0;
}

int CShader::SetInt(const char* name, int32_t value)
{
    return m_effect != nullptr && m_effect->SetInts(name, &value, 1) ? 1 : 0;
}

int CShader::SetIntArray(const char* name, const int32_t* values, uint32_t count)
{
    return m_effect != nullptr && m_effect->SetInts(name, values, count) ? 1 : 0;
}

int CShader::SetFloat(const char* name, float value)
{
    return m_effect != nullptr && m_effect->SetFloats(name, &value, 1) ? 1 : 0;
}

int CShader::SetFloatArray(const char* name, const float* values, uint32_t count)
{
    return m_effect != nullptr && m_effect->SetFloats(name, values, count) ? 1 : 0;
}

int CShader::SetVector(const char* name, const float* vector)
{
    return m_effect != nullptr && m_effect->SetVectors(name, vector, 1) ? 1 : 0;
}

int CShader::SetVectorArray(const char* name, const float* vectors, uint32_t count)
{
    return m_effect != nullptr && m_effect->SetVectors(name, vectors, count) ? 1 : 0;
}

int CShader::SetMatrix(const char* name, const float* matrix)
{
    return m_effect != nullptr && m_effect->SetMatrices(name, matrix, 1) ? 1 : 0;
}

int CShader::SetMatrixArray(const char* name, const float* matrices, uint32_t count)
{
    return m_effect != nullptr && m_effect->SetMatrices(name, matrices, count) ? 1 : 0;
}

int CShader::SetString(const char* name, const char* text)
{
    return m_effect != nullptr && m_effect->SetString(name, text) ? 1 : 0;
}

int CShader::SetTexture(const char* name, CTexture* texture)
{
    if (m_effect == nullptr || name == nullptr || texture == nullptr)
        return 0;
    return m_effect->SetTexture(name, texture->GetDeviceTexture()) ? 1 : 0;
}

int CShader::Begin(uint32_t* passCount, uint32_t flags)
{
    (void)flags;
    if (m_effect == nullptr)
        return 0;
    uint32_t passes = 0;
    const bool ok = m_effect->Begin(&passes);
    if (passCount != nullptr)
        *passCount = ok ? passes : 0;
    return ok ? 1 : 0;
}

int CShader::BeginPass(uint32_t pass)
{
    return m_effect != nullptr && m_effect->BeginPass(pass) ? 1 : 0;
}

int CShader::EndPass()
{
    return m_effect != nullptr && m_effect->EndPass() ? 1 : 0;
}

int CShader::End()
{
    return m_effect != nullptr && m_effect->End() ? 1 : 0;
}
