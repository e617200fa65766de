#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CkvrVector3.h"

#include <cstdint>
#include <cstdio>

class CGraphics;

// One fixed-function light as a named resource, with its own small binary
// record (see Save).
class CLight : public CResourceBase
{
public:
    // Longest name a light record may carry, NUL included.
    static constexpr uint32_t MAX_NAME_LENGTH = 1024;

    CLight();
    ~CLight() override = default;

    const char* GetClassName() const override { return "CLight"; }
    virtual int Load(const char* path, FILE* file);
    virtual int Save(const char* path, FILE* file);

    static void SetGraphics(CGraphics* graphics);
    static CGraphics* GetGraphics();

    void SetDirection(const float* direction);
    void SetColours(uint32_t diffuse, uint32_t ambient, uint32_t specular);
    CLight* SetType(uint8_t type);
    CLight* SetDirectional(const float* direction, uint32_t diffuse, uint32_t ambient, uint32_t specular);
    int Apply(uint8_t index);

    CkvrVector3 position;
    CkvrVector3 direction;
    float range = 0.0f;
    uint32_t diffuse = 0xFFFFFFFF;
    uint32_t ambient = 0xFF888888;
    uint32_t specular = 0xFFBBBBBB;
    uint8_t type = 0;
    float attenuation0 = 1.0f;
    float attenuation1 = 0.0f;
    float attenuation2 = 0.0f;
    float falloff = 0.0f;
    float theta = 0.0f;
    float phi = 0.0f;

private:
    int Read(FILE* file);
    int Write(FILE* file);
};
