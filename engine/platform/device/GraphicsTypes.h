#pragma once

#include <cstdint>

// Values that the engine hands to the graphics device. The numbers are the
// ones the engine's callers, model files and settings already use (render
// state ids, blend factors, vertex format bits, surface formats), so they
// keep them; the device layer translates them to OpenGL.

// Results of device calls: 0 is success, negative values are failures.
using DeviceResult = int32_t;
enum : int32_t
{
    DEVICE_OK = 0,
    DEVICE_ERROR = -1,
    DEVICE_ERROR_INVALID_CALL = -2,
    DEVICE_ERROR_LOST = -3,      // lost: wait, nothing can be done yet
    DEVICE_ERROR_NOT_RESET = -4, // can be reset now
    DEVICE_ERROR_OUT_OF_MEMORY = -5,
    DEVICE_ERROR_UNSUPPORTED = -6,
};

inline bool DeviceFailed(DeviceResult result)
{
    return result < 0;
}

enum DeviceType : uint32_t
{
    DEVICE_TYPE_ACCELERATED = 1,
    DEVICE_TYPE_REFERENCE = 2,
};

enum VertexProcessing : uint32_t
{
    VERTEX_PROCESSING_SOFTWARE = 0x20,
    VERTEX_PROCESSING_HARDWARE = 0x40,
    VERTEX_PROCESSING_MIXED = 0x80,
};

// Surface and texture formats.
enum SurfaceFormat : uint32_t
{
    FORMAT_UNKNOWN = 0,
    FORMAT_R8G8B8 = 20,
    FORMAT_A8R8G8B8 = 21,
    FORMAT_X8R8G8B8 = 22,
    FORMAT_R5G6B5 = 23,
    FORMAT_X1R5G5B5 = 24,
    FORMAT_A1R5G5B5 = 25,
    FORMAT_A4R4G4B4 = 26,
    FORMAT_A8 = 28,
    FORMAT_X4R4G4B4 = 30,
    FORMAT_L8 = 50,
    FORMAT_D24S8 = 75,
    FORMAT_D16 = 80,
    FORMAT_R16F = 111,
    FORMAT_A16B16G16R16F = 113,
    FORMAT_R32F = 114,
    FORMAT_A32B32G32R32F = 116,
    FORMAT_DXT1 = 0x31545844,
    FORMAT_DXT2 = 0x32545844,
    FORMAT_DXT3 = 0x33545844,
    FORMAT_DXT4 = 0x34545844,
    FORMAT_DXT5 = 0x35545844,
    FORMAT_INDEX16 = 101,
    FORMAT_INDEX32 = 102,
};

enum RenderStateId : uint32_t
{
    RS_ZENABLE = 7,
    RS_FILLMODE = 8,
    RS_SHADEMODE = 9,
    RS_ZWRITEENABLE = 14,
    RS_ALPHATESTENABLE = 15,
    RS_SRCBLEND = 19,
    RS_DESTBLEND = 20,
    RS_CULLMODE = 22,
    RS_ZFUNC = 23,
    RS_ALPHAREF = 24,
    RS_ALPHAFUNC = 25,
    RS_DITHERENABLE = 26,
    RS_ALPHABLENDENABLE = 27,
    RS_FOGENABLE = 28,
    RS_SPECULARENABLE = 29,
    RS_FOGCOLOR = 34,
    RS_FOGTABLEMODE = 35,
    RS_FOGSTART = 36, // float bits
    RS_FOGEND = 37,   // float bits
    RS_FOGDENSITY = 38,
    RS_STENCILENABLE = 52,
    RS_STENCILFAIL = 53,
    RS_STENCILZFAIL = 54,
    RS_STENCILPASS = 55,
    RS_STENCILFUNC = 56,
    RS_STENCILREF = 57,
    RS_STENCILMASK = 58,
    RS_STENCILWRITEMASK = 59,
    RS_TEXTUREFACTOR = 60,
    RS_LIGHTING = 137,
    RS_AMBIENT = 139,
    RS_FOGVERTEXMODE = 140,
    RS_COLORVERTEX = 141,
    RS_LOCALVIEWER = 142,
    RS_NORMALIZENORMALS = 143,
    RS_DIFFUSEMATERIALSOURCE = 145,
    RS_SPECULARMATERIALSOURCE = 146,
    RS_AMBIENTMATERIALSOURCE = 147,
    RS_EMISSIVEMATERIALSOURCE = 148,
    RS_COLORWRITEENABLE = 168,
    RS_BLENDOP = 171,
    RS_COUNT = 256,
};

enum CullMode : uint32_t
{
    CULL_NONE = 1,
    CULL_CW = 2,  // cull triangles that are clockwise on the screen
    CULL_CCW = 3, // cull triangles that are anticlockwise on the screen
};

enum FillMode : uint32_t
{
    FILL_POINT = 1,
    FILL_WIREFRAME = 2,
    FILL_SOLID = 3,
};

enum ShadeMode : uint32_t
{
    SHADE_FLAT = 1,
    SHADE_GOURAUD = 2,
};

enum BlendFactor : uint32_t
{
    BLEND_ZERO = 1,
    BLEND_ONE = 2,
    BLEND_SRCCOLOR = 3,
    BLEND_INVSRCCOLOR = 4,
    BLEND_SRCALPHA = 5,
    BLEND_INVSRCALPHA = 6,
    BLEND_DESTALPHA = 7,
    BLEND_INVDESTALPHA = 8,
    BLEND_DESTCOLOR = 9,
    BLEND_INVDESTCOLOR = 10,
    BLEND_SRCALPHASAT = 11,
};

enum BlendOperation : uint32_t
{
    BLENDOP_ADD = 1,
    BLENDOP_SUBTRACT = 2,
    BLENDOP_REVSUBTRACT = 3,
    BLENDOP_MIN = 4,
    BLENDOP_MAX = 5,
};

enum CompareFunction : uint32_t
{
    CMP_NEVER = 1,
    CMP_LESS = 2,
    CMP_EQUAL = 3,
    CMP_LESSEQUAL = 4,
    CMP_GREATER = 5,
    CMP_NOTEQUAL = 6,
    CMP_GREATEREQUAL = 7,
    CMP_ALWAYS = 8,
};

enum StencilOperation : uint32_t
{
    STENCILOP_KEEP = 1,
    STENCILOP_ZERO = 2,
    STENCILOP_REPLACE = 3,
    STENCILOP_INCRSAT = 4,
    STENCILOP_DECRSAT = 5,
    STENCILOP_INVERT = 6,
    STENCILOP_INCR = 7,
    STENCILOP_DECR = 8,
};

enum FogMode : uint32_t
{
    FOG_NONE = 0,
    FOG_EXP = 1,
    FOG_EXP2 = 2,
    FOG_LINEAR = 3,
};

enum MaterialSource : uint32_t
{
    MCS_MATERIAL = 0,
    MCS_COLOR1 = 1,
    MCS_COLOR2 = 2,
};

enum TextureStageStateId : uint32_t
{
    TSS_COLOROP = 1,
    TSS_COLORARG1 = 2,
    TSS_COLORARG2 = 3,
    TSS_ALPHAOP = 4,
    TSS_ALPHAARG1 = 5,
    TSS_ALPHAARG2 = 6,
    TSS_TEXCOORDINDEX = 11,
    TSS_COUNT = 33,
};

enum TextureOperation : uint32_t
{
    TOP_DISABLE = 1,
    TOP_SELECTARG1 = 2,
    TOP_SELECTARG2 = 3,
    TOP_MODULATE = 4,
    TOP_MODULATE2X = 5,
    TOP_MODULATE4X = 6,
    TOP_ADD = 7,
    TOP_ADDSIGNED = 8,
    TOP_ADDSIGNED2X = 9,
    TOP_SUBTRACT = 10,
    TOP_BLENDDIFFUSEALPHA = 12,
    TOP_BLENDTEXTUREALPHA = 13,
};

enum TextureArgument : uint32_t
{
    TA_DIFFUSE = 0,
    TA_CURRENT = 1,
    TA_TEXTURE = 2,
    TA_TFACTOR = 3,
    TA_SPECULAR = 4,
    TA_SELECTMASK = 0x0F,
    TA_COMPLEMENT = 0x10,
    TA_ALPHAREPLICATE = 0x20,
};

enum SamplerStateId : uint32_t
{
    SAMP_ADDRESSU = 1,
    SAMP_ADDRESSV = 2,
    SAMP_ADDRESSW = 3,
    SAMP_BORDERCOLOR = 4,
    SAMP_MAGFILTER = 5,
    SAMP_MINFILTER = 6,
    SAMP_MIPFILTER = 7,
    SAMP_COUNT = 14,
};

enum TextureAddress : uint32_t
{
    TADDRESS_WRAP = 1,
    TADDRESS_MIRROR = 2,
    TADDRESS_CLAMP = 3,
    TADDRESS_BORDER = 4,
};

enum TextureFilter : uint32_t
{
    TEXF_NONE = 0,
    TEXF_POINT = 1,
    TEXF_LINEAR = 2,
    TEXF_ANISOTROPIC = 3,
};

enum TransformId : uint32_t
{
    TRANSFORM_VIEW = 2,
    TRANSFORM_PROJECTION = 3,
    TRANSFORM_TEXTURE0 = 16,
    TRANSFORM_WORLD = 256,
};

enum PrimitiveType : uint32_t
{
    PT_POINTLIST = 1,
    PT_LINELIST = 2,
    PT_LINESTRIP = 3,
    PT_TRIANGLELIST = 4,
    PT_TRIANGLESTRIP = 5,
    PT_TRIANGLEFAN = 6,
};

enum ClearFlag : uint32_t
{
    CLEAR_TARGET = 1,
    CLEAR_ZBUFFER = 2,
    CLEAR_STENCIL = 4,
};

// Flexible vertex format bits.
enum VertexFormatBit : uint32_t
{
    FVF_XYZ = 0x002,
    FVF_XYZRHW = 0x004,
    FVF_XYZB1 = 0x006,
    FVF_XYZB2 = 0x008,
    FVF_XYZB3 = 0x00A,
    FVF_XYZB4 = 0x00C,
    FVF_XYZB5 = 0x00E,
    FVF_POSITION_MASK = 0x400E,
    FVF_NORMAL = 0x010,
    FVF_PSIZE = 0x020,
    FVF_DIFFUSE = 0x040,
    FVF_SPECULAR = 0x080,
    FVF_TEXCOUNT_MASK = 0xF00,
    FVF_TEXCOUNT_SHIFT = 8,
    FVF_TEX1 = 0x100,
    FVF_LASTBETA_UBYTE4 = 0x1000,
};

enum LightType : uint32_t
{
    LIGHT_POINT = 1,
    LIGHT_SPOT = 2,
    LIGHT_DIRECTIONAL = 3,
};

// Usage flags of textures and surfaces.
enum ResourceUsage : uint32_t
{
    USAGE_RENDERTARGET = 0x1,
    USAGE_DEPTHSTENCIL = 0x2,
    USAGE_DYNAMIC = 0x200,
    USAGE_AUTOGENMIPMAP = 0x400,
};

enum LockFlag : uint32_t
{
    LOCK_READONLY = 0x10,
    LOCK_DISCARD = 0x2000,
    LOCK_NOOVERWRITE = 0x1000,
};

// Element types and usages of vertex declarations.
enum DeclarationType : uint8_t
{
    DECLTYPE_FLOAT1 = 0,
    DECLTYPE_FLOAT2 = 1,
    DECLTYPE_FLOAT3 = 2,
    DECLTYPE_FLOAT4 = 3,
    DECLTYPE_COLOR = 4, // packed ARGB, BGRA bytes in memory
    DECLTYPE_UBYTE4 = 5,
    DECLTYPE_SHORT2 = 6,
    DECLTYPE_SHORT4 = 7,
    DECLTYPE_UBYTE4N = 8,
    DECLTYPE_UNUSED = 17,
};

enum DeclarationUsage : uint8_t
{
    DECLUSAGE_POSITION = 0,
    DECLUSAGE_BLENDWEIGHT = 1,
    DECLUSAGE_BLENDINDICES = 2,
    DECLUSAGE_NORMAL = 3,
    DECLUSAGE_PSIZE = 4,
    DECLUSAGE_TEXCOORD = 5,
    DECLUSAGE_TANGENT = 6,
    DECLUSAGE_BINORMAL = 7,
    DECLUSAGE_POSITIONT = 9,
    DECLUSAGE_COLOR = 10,
};

// One element of a vertex declaration. A declaration ends with an element
// whose stream is 0xFF (see VERTEX_ELEMENT_END).
struct VertexElement
{
    uint16_t stream = 0;
    uint16_t offset = 0;
    uint8_t type = DECLTYPE_UNUSED;
    uint8_t method = 0;
    uint8_t usage = 0;
    uint8_t usageIndex = 0;
};

constexpr VertexElement VERTEX_ELEMENT_END = {0xFF, 0, DECLTYPE_UNUSED, 0, 0, 0};

struct ColorValue
{
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

struct DeviceLight
{
    uint32_t type = LIGHT_POINT;
    ColorValue diffuse;
    ColorValue specular;
    ColorValue ambient;
    float position[3] = {};
    float direction[3] = {};
    float range = 0.0f;
    float falloff = 0.0f;
    float attenuation0 = 0.0f;
    float attenuation1 = 0.0f;
    float attenuation2 = 0.0f;
    float theta = 0.0f; // radians
    float phi = 0.0f;   // radians
};

struct DeviceMaterial
{
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power = 0.0f;
};

struct DeviceViewport
{
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    float minZ = 0.0f;
    float maxZ = 1.0f;
};

struct DeviceRect
{
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct DisplayMode
{
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;
    uint32_t format = FORMAT_UNKNOWN;
};

// How the device presents: the window, the back buffer and the depth
// buffer made with it.
struct PresentParameters
{
    uint32_t backBufferWidth = 0; // 0: the window's client width
    uint32_t backBufferHeight = 0;
    uint32_t backBufferFormat = FORMAT_UNKNOWN;
    uint32_t backBufferCount = 1;
    uint32_t swapEffect = 1;
    class PlatformWindow* deviceWindow = nullptr;
    uint32_t windowed = 1;
    uint32_t enableAutoDepthStencil = 0;
    uint32_t autoDepthStencilFormat = FORMAT_UNKNOWN;
    uint32_t fullScreenRefreshRate = 0;
    uint32_t presentationInterval = 0;
};

enum : uint32_t
{
    PRESENT_INTERVAL_DEFAULT = 0,
    PRESENT_INTERVAL_ONE = 1,
    PRESENT_INTERVAL_IMMEDIATE = 0x80000000u,
};

// Capabilities that the engine reads.
struct DeviceCaps
{
    uint32_t textureCaps = 0;
    uint32_t maxTextureWidth = 0;
    uint32_t maxTextureHeight = 0;
    uint32_t maxStreams = 0;
    uint32_t maxVertexIndex = 0;
    uint32_t maxPrimitiveCount = 0;
    uint32_t maxVertexBlendMatrices = 0;
    uint32_t vertexShaderVersion = 0;
    uint32_t pixelShaderVersion = 0;
    uint32_t maxActiveLights = 0;
};

// Texture capability bits.
enum : uint32_t
{
    TEXCAPS_PERSPECTIVE = 0x1,
    TEXCAPS_ALPHA = 0x4,
    TEXCAPS_MIPMAP = 0x4000,
    TEXCAPS_CUBEMAP = 0x800,
};

// Shader version words: 0xFFFE0000 | major << 8 | minor for vertex shaders,
// 0xFFFF0000 | ... for pixel shaders.
constexpr uint32_t VertexShaderVersion(uint32_t major, uint32_t minor)
{
    return 0xFFFE0000u | (major << 8) | minor;
}
constexpr uint32_t PixelShaderVersion(uint32_t major, uint32_t minor)
{
    return 0xFFFF0000u | (major << 8) | minor;
}
