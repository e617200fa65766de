#include "engine/render/CLight.h"

#include "engine/platform/CGraphics.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <cstring>
#include <vector>

namespace
{
CGraphics* g_graphics;

// The record is little-endian and packed; each field goes through bytes.
bool ReadBytes(FILE* file, void* out, size_t size)
{
    return std::fread(out, 1, size, file) == size;
}

bool ReadU32(FILE* file, uint32_t* value)
{
    uint8_t bytes[4];
    if (!ReadBytes(file, bytes, 4))
        return false;
    *value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
             static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool ReadFloat(FILE* file, float* value)
{
    uint32_t bits = 0;
    if (!ReadU32(file, &bits))
        return false;
    std::memcpy(value, &bits, sizeof bits);
    return true;
}

bool ReadVector(FILE* file, CkvrVector3* value)
{
    return ReadFloat(file, &value->x) && ReadFloat(file, &value->y) && ReadFloat(file, &value->z);
}

bool WriteU32(FILE* file, uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return std::fwrite(bytes, 1, 4, file) == 4;
}

bool WriteFloat(FILE* file, float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return WriteU32(file, bits);
}

bool WriteVector(FILE* file, const CkvrVector3& value)
{
    return WriteFloat(file, value.x) && WriteFloat(file, value.y) && WriteFloat(file, value.z);
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
    FILE* own = std::fopen(path, "rb");
    if (own == nullptr)
        return 0;
    const int result = Read(own);
    std::fclose(own);
    return result;
}

int CLight::Read(FILE* file)
{
    // The name's length comes from the file: bounded, and the name always
    // ends in a NUL whatever the bytes say. Nothing changes unless the
    // whole record is there.
    uint32_t length = 0;
    if (!ReadU32(file, &length) || length > MAX_NAME_LENGTH)
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
        !ReadFloat(file, &record.range) || !ReadU32(file, &record.diffuse) || !ReadU32(file, &record.ambient) ||
        !ReadU32(file, &record.specular) || !ReadBytes(file, &typeByte, 1) || !ReadFloat(file, &record.attenuation0) ||
        !ReadFloat(file, &record.attenuation1) || !ReadFloat(file, &record.attenuation2) ||
        !ReadFloat(file, &record.falloff) || !ReadFloat(file, &record.theta) || !ReadFloat(file, &record.phi))
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
    FILE* own = std::fopen(path, "wb");
    if (own == nullptr)
        return 0;
    const int written = Write(own);
    const bool closed = std::fclose(own) == 0;
    return written && closed ? 1 : 0;
}

int CLight::Write(FILE* file)
{
    const char* name = GetName();
    const uint32_t length = name != nullptr ? static_cast<uint32_t>(std::strlen(name)) + 1 : 0;
    bool ok = WriteU32(file, length);
    if (ok && length > 0)
        ok = std::fwrite(name, 1, length, file) == length;
    const uint8_t typeByte = type;
    ok = ok && WriteVector(file, position) && WriteVector(file, direction) && WriteFloat(file, range) &&
         WriteU32(file, diffuse) && WriteU32(file, ambient) && WriteU32(file, specular) &&
         std::fwrite(&typeByte, 1, 1, file) == 1 && WriteFloat(file, attenuation0) && WriteFloat(file, attenuation1) &&
         WriteFloat(file, attenuation2) && WriteFloat(file, falloff) && WriteFloat(file, theta) &&
         WriteFloat(file, phi);
    return ok ? 1 : 0;
}
