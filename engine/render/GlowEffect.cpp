#include "engine/render/GlowEffect.h"

#include "engine/platform/device/EffectImage.h"
#include "engine/platform/device/GraphicsTypes.h"

#include <string>

namespace
{
const char* const VERSION_LINE = "#version 330 compatibility\n";

const char* const QUAD_VERTEX = R"(
out vec2 v_TexCoord;

void main()
{
    gl_Position = gl_ModelViewProjectionMatrix * vec4(gl_Vertex.xyz, 1.0);
    v_TexCoord = gl_MultiTexCoord0.xy;
}
)";

const char* const HALVE_FRAGMENT = R"(
uniform sampler2D g_samSource;

in vec2 v_TexCoord;

layout(location = 0) out vec4 o_Color;

void main()
{
    o_Color = vec4(texture(g_samSource, v_TexCoord).rgb, 1.0);
}
)";

// The same sum, in the same order, as the Gaussian effect's passes.
const char* const BLUR_FRAGMENT = R"(
uniform sampler2D g_samTexels;
uniform float Weight[8];
uniform ivec2 Step;
uniform ivec2 Origin;
uniform ivec2 Low;

layout(location = 0) out vec4 o_Color;

vec4 Tap(ivec2 q)
{
    return texelFetch(g_samTexels, max(q, Low) + Origin, 0);
}

void main()
{
    ivec2 here = ivec2(gl_FragCoord.xy);
    vec4 sum = vec4(0.0);
    for (int i = 0; i < 8; ++i)
    {
        ivec2 offset = Step * (i + 1);
        sum += Weight[i] * (Tap(here + offset) + Tap(here - offset));
    }
    o_Color = vec4(sum.rgb, 1.0);
}
)";

const char* const COMPOSITE_FRAGMENT = R"(
uniform sampler2D g_samScene;
uniform sampler2D g_samGlow;
uniform sampler2D g_samBlur;
uniform vec4 GlowColor;
uniform vec4 BlurColor;
uniform float AlphaRef;

in vec2 v_TexCoord;

layout(location = 0) out vec4 o_Color;

// A fragment's colour as the blend unit takes it: whole steps of 1/255.
// (No product here falls halfway between two steps.)
vec4 Steps(vec4 colour)
{
    return round(clamp(colour, 0.0, 1.0) * 255.0);
}

// What blending a fragment by its own alpha adds, in those steps; nothing
// when the alpha test drops it.
vec3 Added(vec4 fragment)
{
    vec4 steps = Steps(fragment);
    vec3 added = round(steps.rgb * (steps.a * (1.0 / 255.0)));
    return fragment.a > AlphaRef ? added : vec3(0.0);
}

void main()
{
    ivec2 here = ivec2(gl_FragCoord.xy);
    vec4 scene = texelFetch(g_samScene, here, 0);
    vec4 glow = texelFetch(g_samGlow, here, 0) * GlowColor;
    vec4 blur = texture(g_samBlur, v_TexCoord) * BlurColor;
    vec3 sum = Added(scene) + Added(glow) + Added(blur);
    // The scene's alpha lets the picture below through as its blend did.
    float keep = scene.a > AlphaRef ? Steps(scene).a : 0.0;
    o_Color = vec4(min(sum, vec3(255.0)) / 255.0, keep / 255.0);
}
)";

// The last frame's blur, to be added back into the glow target: what a
// target draw would give the blend.
const char* const FEEDBACK_FRAGMENT = R"(
uniform sampler2D g_samBlur;
uniform vec4 FeedColor;

in vec2 v_TexCoord;

layout(location = 0) out vec4 o_Color;

void main()
{
    o_Color = texture(g_samBlur, v_TexCoord) * FeedColor;
}
)";

// The scene target alone: what its target draw would give the blend.
const char* const SCENE_FRAGMENT = R"(
uniform sampler2D g_samScene;

layout(location = 0) out vec4 o_Color;

void main()
{
    o_Color = texelFetch(g_samScene, ivec2(gl_FragCoord.xy), 0);
}
)";

std::string Source(const char* body)
{
    return std::string(VERSION_LINE) + body;
}

EffectParameterDesc Value(const char* name, uint8_t type, uint8_t columns, uint32_t elements = 1)
{
    EffectParameterDesc parameter;
    parameter.name = name;
    parameter.type = type;
    parameter.columns = columns;
    parameter.elements = elements;
    return parameter;
}

EffectParameterDesc Sampler(const char* name, const char* texture, uint8_t address)
{
    EffectParameterDesc parameter = Value(name, EffectParameterDesc::TYPE_SAMPLER, 1);
    parameter.texture = texture;
    parameter.minFilter = TEXF_LINEAR;
    parameter.magFilter = TEXF_LINEAR;
    parameter.mipFilter = TEXF_NONE;
    parameter.addressU = address;
    parameter.addressV = address;
    return parameter;
}

std::vector<uint8_t> Build()
{
    EffectImage image;
    image.sources = {Source(QUAD_VERTEX),        Source(HALVE_FRAGMENT),    Source(BLUR_FRAGMENT),
                     Source(COMPOSITE_FRAGMENT), Source(FEEDBACK_FRAGMENT), Source(SCENE_FRAGMENT)};
    const uint8_t FLOAT = EffectParameterDesc::TYPE_FLOAT;
    const uint8_t INT = EffectParameterDesc::TYPE_INT;
    const uint8_t TEXTURE = EffectParameterDesc::TYPE_TEXTURE;
    image.parameters = {
        Value("g_Source", TEXTURE, 1),
        Value("g_Texels", TEXTURE, 1),
        Value("g_Scene", TEXTURE, 1),
        Value("g_Glow", TEXTURE, 1),
        Value("g_Blur", TEXTURE, 1),
        Value("Weight", FLOAT, 1, 8),
        Value("Step", INT, 2),
        Value("Origin", INT, 2),
        Value("Low", INT, 2),
        Value("GlowColor", FLOAT, 4),
        Value("BlurColor", FLOAT, 4),
        Value("FeedColor", FLOAT, 4),
        Value("AlphaRef", FLOAT, 1),
        Sampler("g_samSource", "g_Source", TADDRESS_CLAMP),
        Sampler("g_samTexels", "g_Texels", TADDRESS_CLAMP),
        Sampler("g_samScene", "g_Scene", TADDRESS_CLAMP),
        Sampler("g_samGlow", "g_Glow", TADDRESS_CLAMP),
        Sampler("g_samBlur", "g_Blur", TADDRESS_WRAP),
    };
    auto technique = [](const char* name, uint32_t fragment) {
        EffectTechniqueDesc desc;
        desc.name = name;
        desc.passes = {{"P0", 0, fragment}};
        return desc;
    };
    image.techniques = {technique("Halve", 1),    technique("Blur", 2),  technique("Composite", 3),
                        technique("FeedBack", 4), technique("Scene", 5)};
    return image.Write();
}
}

namespace GlowEffect
{
const std::vector<uint8_t>& GetImage()
{
    static const std::vector<uint8_t> image = Build();
    return image;
}
}
