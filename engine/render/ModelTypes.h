#pragma once

#include "engine/core/tag_KVRMODELVERTEX.h"

#include "engine/core/CKeyFrameList.h"
#include "engine/core/CList.h"
#include "engine/core/CResourceList.h"
#include "engine/core/CkvrQuaternion.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/CkvrVector4.h"
#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"

#include <cstdint>
#include <memory>

class CModelBone;
class CShader;
class CTexture;

// Device objects of the model classes, held by owning handles. Only
// ModelDeviceBuffers.cpp creates them.
using ModelBufferHandle = std::unique_ptr<DeviceBuffer>;
using ModelDeclarationHandle = std::unique_ptr<DeviceVertexDeclaration>;

// Vertex format flags of the model file: which fields a stored vertex has.
// The coordinate flags are not contiguous and the colour comes after them.
enum : uint32_t
{
    KVRVERTEX_POSITION = 0x001,
    KVRVERTEX_NORMAL = 0x002,
    KVRVERTEX_TEXCOORD0 = 0x004,
    KVRVERTEX_COLOR = 0x008,
    KVRVERTEX_EXTRA = 0x020,
    KVRVERTEX_TEXCOORD1 = 0x040,
    KVRVERTEX_TEXCOORD2 = 0x080,
    KVRVERTEX_TEXCOORD3 = 0x100,
};

// Bytes of one vertex in a model's vertex buffer.
constexpr uint32_t KVR_MODEL_VERTEX_STRIDE = 56;

// Indices start .. start + count - 1 draw with the material of the same
// position as this range.
struct tag_KVRMODELINDEXOFFSET
{
    uint32_t start;
    uint32_t count;
};

struct tag_KVRMODELMATERIAL
{
    char* name; // aligned block
    CkvrVector4 diffuse;
    CkvrVector4 ambient;
    CkvrVector4 specular;
    CkvrVector4 emissive;
    uint32_t blendMode; // 0 leaves the current mode
    uint32_t values[2]; // carried from and to the file
    float power;
    CResourceList<CTexture*>* textures;
    uint32_t ownsTextures;
    CShader* effect;
    uint32_t ownsEffect;
    // Creation flags the effect was made with, written back with it.
    uint32_t effectFlags;
};

struct tag_KVRBONEWEIGHT
{
    uint16_t object;
    uint32_t vertex;
    float weight;
};

struct tag_KVRBONEANIMATION
{
    CModelBone* bone;
    const char* boneName; // the bone's own name text
    CKeyFrameList<CkvrVector3>* position;
    CKeyFrameList<CkvrVector3>* scaling;
    CKeyFrameList<CkvrQuaternion>* rotation;
};

// Vertices with their stored format, the bytes they took in the file and the
// stride of the vertex buffer made from them.
class CModelVertexList : public CList<tag_KVRMODELVERTEX>
{
public:
    uint32_t format = 0;
    uint32_t dataSize = 0;
    uint32_t stride = 0;
};

// Triangle-list indices with one range per material and, once built, the
// device's index buffer. Blocks keep their own set of this form, and a
// caller may draw an object through a replacement set.
struct KVRMODELINDEXSET
{
    CList<uint32_t> indices;
    CList<tag_KVRMODELINDEXOFFSET> ranges;
    ModelBufferHandle indexBuffer;
};

// Replacement vertices for CModelObject::Render.
struct KVRMODELVERTEXSET
{
    CModelVertexList* vertices = nullptr;
    DeviceBuffer* vertexBuffer = nullptr;
    DeviceVertexDeclaration* declaration = nullptr;
};

using CMaterialList = CList<tag_KVRMODELMATERIAL>;
