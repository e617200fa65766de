#include "engine/render/CLight.h"

#include "engine/core/FileIo.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <cstring>
#include <vector>

namespace
{
CGraphics* g_graphics;

// The record is little-endian and packed; each field goes through bytes.
bool ReadVector(FILE* file, CkvrVector3* value)
{
    return ReadF32LE(file, &value->x) && ReadF32LE(file, &value->y) && ReadF32LE(file, &value->z);
}

bool WriteVector(FILE* file, const CkvrVector3& value)
{
    return WriteF32LE(file, value.x) && WriteF32LE(file, value.y) && WriteF32LE(file, value.z);
}

ColorValue ToColor(uint32_t argb)
{
    ColorValue color;
    color.r = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    color.g = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    color.b = static_cast<float>(argb & 0xFF) / 255.0f;
    color.a = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
    return color;
}
}

void CLight::SetGraphics(CGraphics* graphics)
{
    g_graphics = graphics;
}

CGraphics* CLight::GetGraphics()
{
    return g_graphics;
}

CLight::CLight() : CResourceBase("Light") {}

void CLight::SetDirection(const float* value)
{
    if (value == nullptr)
        return;
    direction = CkvrVector3(value[0], value[1], value[2]).GetNormal();
}

void CLight::SetColours(uint32_t diffuseColour, uint32_t ambientColour, uint32_t specularColour)
{
    diffuse = diffuseColour;
    ambient = ambientColour;
    specular = specularColour;
}

CLight* CLight::SetType(uint8_t value)
{
    type = value;
    return this;
}

CLight* CLight::SetDirectional(const float* value, uint32_t diffuseColour, uint32_t ambientColour,
                               uint32_t specularColour)
{
    SetDirection(value);
    SetColours(diffuseColour, ambientColour, specularColour);
    return SetType(LIGHT_DIRECTIONAL);
}

int CLight::Apply(uint8_t index)
{
    if (g_graphics == nullptr || g_graphics->GetDevice() == nullptr)
        return 0;
    DeviceLight light;
    light.type = type;
    light.diffuse = ToColor(diffuse);
    light.ambient = ToColor(ambient);
    light.specular = ToColor(specular);
    light.position[0] = position.x;
    light.position[1] = position.y;
    light.position[2] = position.z;
    light.direction[0] = direction.x;
    light.direction[1] = direction.y;
    light.direction[2] = direction.z;
    light.range = range;
    if (type != LIGHT_DIRECTIONAL)
    {
        light.attenuation0 = attenuation0;
        light.attenuation1 = attenuation1;
        light.attenuation2 = attenuation2;
    }
    if (type == LIGHT_SPOT)
    {
        light.falloff = falloff;
        light.theta = theta;
        light.phi = phi;
    }
    GraphicsDevice* device = g_graphics->GetDevice();
    if (DeviceFailed(device->SetLight(index, light)) || DeviceFailed(device->LightEnable(index, true)))
        return 0;
    g_graphics->SetLighting(1);
    return 1;
}

int CLight::Load(const char* path, FILE* file)
{
    if (file != nullptr)
        return Read(file);
    if (path == nullptr)
        return 0;
    FileHandle own = OpenFile(path, "rb");
    return own ? Read(own.get()) : 0;
}

int CLight::Read(FILE* file)
{
    // The name's length comes from the file: bounded, and the name always
    // ends in a NUL whatever the bytes say. Nothing changes unless the
    // whole record is there.
    uint32_t length = 0;
    if (!ReadU32LE(file, &length) || length > MAX_NAME_LENGTH)
        return 0;
    std::vector<char> name(length);
    if (length > 0)
    {
        if (!ReadBytes(file, name.data(), length))
            return 0;
        name[length - 1] = '\0';
    }
    struct
    {
        CkvrVector3 position, direction;
        float range;
        uint32_t diffuse, ambient, specular;
        float attenuation0, attenuation1, attenuation2, falloff, theta, phi;
    } record = {};
    uint8_t typeByte = 0;
    if (!ReadVector(file, &record.position) || !ReadVector(file, &record.direction) ||
        !ReadF32LE(file, &record.range) || !ReadU32LE(file, &record.diffuse) || !ReadU32LE(file, &record.ambient) ||
        !ReadU32LE(file, &record.specular) || !ReadBytes(file, &typeByte, 1) || !ReadF32LE(file, &record.attenuation0) ||
        !ReadF32LE(file, &record.attenuation1) || !ReadF32LE(file, &record.attenuation2) ||
        !ReadF32LE(file, &record.falloff) || !ReadF32LE(file, &record.theta) || !ReadF32LE(file, &record.phi))
        return 0;
    if (length > 0)
        SetName(name.data());
    else
        SetName(nullptr);
    position = record.position;
    direction = record.direction;
    range = record.range;
    diffuse = record.diffuse;
    ambient = record.ambient;
    specular = record.specular;
    type = typeByte;
    attenuation0 = record.attenuation0;
    attenuation1 = record.attenuation1;
    attenuation2 = record.attenuation2;
    falloff = record.falloff;
    theta = record.theta;
    phi = record.phi;
    return 1;
}

int CLight::Save(const char* path, FILE* file)
{
    if (file != nullptr)
        return Write(file);
    if (path == nullptr)
        return 0;
    FileHandle own = OpenFile(path, "wb");
    if (!own || !Write(own.get()))
        return 0;
    return CloseWrittenFile(std::move(own)) ? 1 : 0;
}

int CLight::Write(FILE* file)
{
    const char* name = GetName();
    const uint32_t length = name != nullptr ? static_cast<uint32_t>(std::strlen(name)) + 1 : 0;
    bool ok = WriteU32LE(file, length) && WriteBytes(file, name, length);
    const uint8_t typeByte = type;
    ok = ok && WriteVector(file, position) && WriteVector(file, direction) && WriteF32LE(file, range) &&
         WriteU32LE(file, diffuse) && WriteU32LE(file, ambient) && WriteU32LE(file, specular) &&
         WriteBytes(file, &typeByte, 1) && WriteF32LE(file, attenuation0) && WriteF32LE(file, attenuation1) &&
         WriteF32LE(file, attenuation2) && WriteF32LE(file, falloff) && WriteF32LE(file, theta) &&
         WriteF32LE(file, phi);
    return ok ? 1 : 0;
}
