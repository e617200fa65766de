#include "engine/render/BuiltInEffects.h"

#include "engine/platform/device/EffectImage.h"
#include "engine/platform/device/GraphicsTypes.h"

#include <string>

namespace
{
const char* const VERSION_LINE = "#version 330 compatibility\n";

// ---------------------------------------------------------------------------
// Default.shd

const char* const DEFAULT_VERTEX = R"(
uniform vec3 g_LightDir;
uniform vec4 g_LightDiffuse;
uniform vec4 g_WorldAmbient;
uniform vec4 g_MaterialAmbient;
uniform vec4 g_MaterialDiffuse;
uniform vec4 g_MaterialEmissive;
uniform mat4 g_WorldMatrix;
uniform mat4x3 g_WorldMatrixArray[75];
uniform mat4 g_ViewProj;
uniform float g_FogStart;
uniform float g_FogEnd;
uniform vec2 g_AddUV;
uniform int g_CurBones;

layout(location = 6) in vec4 kvr_BlendWeight;
layout(location = 7) in vec4 kvr_BlendIndices;

out vec4 v_Diffuse;
out vec2 v_TexCoord;
out float v_Fog;

void Place(out vec3 position, out vec3 normal)
{
#ifdef SKINNING
    position = vec3(0.0);
    normal = vec3(0.0);
    int bones = clamp(g_CurBones, 1, 4);
    float rest = 1.0;
    for (int i = 0; i < bones; ++i)
    {
        float weight = i == bones - 1 ? rest : kvr_BlendWeight[i];
        rest -= weight;
        int bone = clamp(int(kvr_BlendIndices[i] + 0.5), 0, 74);
        mat4x3 m = g_WorldMatrixArray[bone];
        position += (m * vec4(gl_Vertex.xyz, 1.0)) * weight;
        normal += (mat3(m) * gl_Normal) * weight;
    }
#else
    position = (g_WorldMatrix * vec4(gl_Vertex.xyz, 1.0)).xyz;
    normal = mat3(g_WorldMatrix) * gl_Normal;
#endif
}

void main()
{
    vec3 position;
    vec3 normal;
    Place(position, normal);
    gl_Position = g_ViewProj * vec4(position, 1.0);

    float length2 = dot(normal, normal);
    normal = length2 > 0.0 ? normal * inversesqrt(length2) : normal;
    float lightLength2 = dot(g_LightDir, g_LightDir);
    vec3 toLight = lightLength2 > 0.0 ? -g_LightDir * inversesqrt(lightLength2) : vec3(0.0);
    float lambert = max(dot(normal, toLight), 0.0);
    vec4 color = g_MaterialDiffuse * g_LightDiffuse * lambert + g_MaterialAmbient * g_WorldAmbient +
                 g_MaterialEmissive;
    v_Diffuse = vec4(clamp(color.rgb, 0.0, 1.0), clamp(g_MaterialDiffuse.a, 0.0, 1.0));
    v_TexCoord = gl_MultiTexCoord0.xy + g_AddUV;
#ifdef KVR_FOG_OFF
    v_Fog = 1.0;
#else
    float range = g_FogEnd - g_FogStart;
    v_Fog = range > 0.0 ? clamp((g_FogEnd - gl_Position.w) / range, 0.0, 1.0) : 1.0;
#endif
}
)";

const char* const DEFAULT_FRAGMENT = R"(
uniform sampler2D g_samScene;
uniform int kvr_FogEnable;
uniform vec4 kvr_FogColor;

in vec4 v_Diffuse;
in vec2 v_TexCoord;
in float v_Fog;

layout(location = 0) out vec4 o_Color;

void main()
{
    vec4 color = v_Diffuse;
#ifdef TEXTURED
    color *= texture(g_samScene, v_TexCoord);
#endif
#ifndef KVR_FOG_OFF
    if (kvr_FogEnable != 0)
        color.rgb = mix(kvr_FogColor.rgb, color.rgb, v_Fog);
#endif
    o_Color = color;
}
)";

// ---------------------------------------------------------------------------
// Filters: screen quads (pre-transformed) or world quads alike.

const char* const FILTER_VERTEX = R"(
out vec2 v_TexCoord;
out vec4 v_Color;

void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * vec4(gl_Vertex.xyz, 1.0);
    v_TexCoord = gl_MultiTexCoord0.xy;
    v_Color = gl_Color;
}
)";

const char* const GAUSS_FRAGMENT = R"(
uniform sampler2D g_samScene;
uniform float Weight[8];
uniform vec2 OffsetX[8];
uniform vec2 OffsetY[8];

in vec2 v_TexCoord;
in vec4 v_Color;

layout(location = 0) out vec4 o_Color;

void main()
{
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i)
    {
        vec2 offset = OFFSET[i];
        sum += Weight[i] * (texture(g_samScene, v_TexCoord + offset) + texture(g_samScene, v_TexCoord - offset));
    }
    // Opaque: the HDR filter runs its passes with source-alpha blending,
    // which would square a blurred alpha at every pass and fade the glow
    // away before it reaches the screen.
    o_Color = vec4(sum.rgb, 1.0) * v_Color;
}
)";

const char* const BASIC_FRAGMENT = R"(
uniform sampler2D g_samScene;
uniform vec3 g_MinBright;

in vec2 v_TexCoord;
in vec4 v_Color;

layout(location = 0) out vec4 o_Color;

const vec3 LUMA = vec3(0.299, 0.587, 0.114);

void main()
{
    vec4 color = texture(g_samScene, v_TexCoord);
#if defined(BRIGHT)
    color.rgb = max(color.rgb - g_MinBright, vec3(0.0));
#elif defined(MONOCHROME)
    color.rgb = vec3(dot(color.rgb, LUMA));
#elif defined(SEPIA)
    float y = dot(color.rgb, LUMA);
    color.rgb = clamp(vec3(y + 0.0956, y - 0.0272, y - 0.1106), 0.0, 1.0);
#endif
    o_Color = color * v_Color;
}
)";

std::string Source(const char* defines, const char* body)
{
    return std::string(VERSION_LINE) + defines + body;
}

EffectParameterDesc Value(const char* name, uint8_t type, uint8_t rows, uint8_t columns, uint32_t elements = 1)
{
    EffectParameterDesc parameter;
    parameter.name = name;
    parameter.type = type;
    parameter.rows = rows;
    parameter.columns = columns;
    parameter.elements = elements;
    return parameter;
}

EffectParameterDesc Texture(const char* name)
{
    return Value(name, EffectParameterDesc::TYPE_TEXTURE, 1, 1);
}

EffectParameterDesc Sampler(const char* name, const char* texture, uint8_t mipFilter, uint8_t address)
{
    EffectParameterDesc parameter = Value(name, EffectParameterDesc::TYPE_SAMPLER, 1, 1);
    parameter.texture = texture;
    parameter.minFilter = TEXF_LINEAR;
    parameter.magFilter = TEXF_LINEAR;
    parameter.mipFilter = mipFilter;
    parameter.addressU = address;
    parameter.addressV = address;
    return parameter;
}

EffectParameterDesc Float(const char* name, uint8_t columns = 1, uint32_t elements = 1)
{
    return Value(name, EffectParameterDesc::TYPE_FLOAT, 1, columns, elements);
}

EffectTechniqueDesc Technique(const char* name, uint32_t vertex, uint32_t fragment, uint32_t passes = 1)
{
    EffectTechniqueDesc technique;
    technique.name = name;
    for (uint32_t i = 0; i < passes; ++i)
    {
        std::string pass = "P";
        pass += std::to_string(i);
        technique.passes.push_back({pass, vertex, fragment});
    }
    return technique;
}

std::vector<uint8_t> BuildDefault()
{
    EffectImage image;
    image.sources = {Source("#define SKINNING\n", DEFAULT_VERTEX), Source("", DEFAULT_VERTEX),
                     Source("#define TEXTURED\n", DEFAULT_FRAGMENT), Source("", DEFAULT_FRAGMENT)};
    enum { SKINNED_VS, PLAIN_VS, TEXTURED_FS, UNTEXTURED_FS };
    image.parameters = {
        Float("g_LightDir", 3),
        Float("g_LightDiffuse", 4),
        Float("g_WorldAmbient", 4),
        Float("g_MaterialAmbient", 4),
        Float("g_MaterialDiffuse", 4),
        Float("g_MaterialSpecular", 4),
        Float("g_MaterialEmissive", 4),
        Float("g_MaterialPower"),
        Value("g_WorldMatrix", EffectParameterDesc::TYPE_FLOAT, 4, 4),
        Value("g_WorldMatrixArray", EffectParameterDesc::TYPE_FLOAT, 4, 3, 75),
        Value("g_ViewProj", EffectParameterDesc::TYPE_FLOAT, 4, 4),
        Float("g_FogStart"),
        Float("g_FogEnd"),
        Texture("g_Texture"),
        Float("g_AddUV", 2),
        Value("g_CurBones", EffectParameterDesc::TYPE_INT, 1, 1),
        Sampler("g_samScene", "g_Texture", TEXF_LINEAR, TADDRESS_WRAP),
    };
    image.techniques = {
        Technique("SkinningVersion_20", SKINNED_VS, TEXTURED_FS),
        Technique("SkinningVersion_11", SKINNED_VS, TEXTURED_FS),
        Technique("SkinningNonTextureVersion_20", SKINNED_VS, UNTEXTURED_FS),
        Technique("SkinningNonTextureVersion_11", SKINNED_VS, UNTEXTURED_FS),
        Technique("Version_20", PLAIN_VS, TEXTURED_FS),
        Technique("Version_11", PLAIN_VS, TEXTURED_FS),
        Technique("NonTextureVersion_20", PLAIN_VS, UNTEXTURED_FS),
        Technique("NonTextureVersion_11", PLAIN_VS, UNTEXTURED_FS),
    };
    return image.Write();
}

std::vector<uint8_t> BuildGaussFilter()
{
    EffectImage image;
    image.sources = {Source("", FILTER_VERTEX), Source("#define OFFSET OffsetX\n", GAUSS_FRAGMENT),
                     Source("#define OFFSET OffsetY\n", GAUSS_FRAGMENT)};
    image.parameters = {
        Texture("g_Texture"),
        Float("Weight", 1, 8),
        Float("OffsetX", 2, 8),
        Float("OffsetY", 2, 8),
        Sampler("g_samScene", "g_Texture", TEXF_NONE, TADDRESS_CLAMP),
    };
    EffectTechniqueDesc gauss;
    gauss.name = "GaussFilter";
    gauss.passes = {{"Horizontal", 0, 1}, {"Vertical", 0, 2}};
    image.techniques = {gauss};
    return image.Write();
}

std::vector<uint8_t> BuildBasicFilter()
{
    EffectImage image;
    image.sources = {Source("", FILTER_VERTEX), Source("", BASIC_FRAGMENT),
                     Source("#define BRIGHT\n", BASIC_FRAGMENT), Source("#define MONOCHROME\n", BASIC_FRAGMENT),
                     Source("#define SEPIA\n", BASIC_FRAGMENT)};
    image.parameters = {
        Texture("g_Texture"),
        Float("g_MinBright", 3),
        Sampler("g_samScene", "g_Texture", TEXF_NONE, TADDRESS_CLAMP),
    };
    image.techniques = {
        Technique("BasicFilter", 0, 1),
        Technique("BrightFilter", 0, 2),
        Technique("MonochromeFilter", 0, 3),
        Technique("SepiaFilter", 0, 4),
    };
    return image.Write();
}
}

namespace BuiltInEffects
{
const std::vector<uint8_t>& GetDefaultImage()
{
    static const std::vector<uint8_t> image = BuildDefault();
    return image;
}

const std::vector<uint8_t>& GetGaussFilterImage()
{
    static const std::vector<uint8_t> image = BuildGaussFilter();
    return image;
}

const std::vector<uint8_t>& GetBasicFilterImage()
{
    static const std::vector<uint8_t> image = BuildBasicFilter();
    return image;
}
}
