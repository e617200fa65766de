#include "engine/platform/device/FixedLightingProgram.h"

#include "engine/platform/device/GlEnums.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/VertexLayout.h"

#include <epoxy/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace
{
constexpr uint32_t MAX_LIGHTS = GraphicsDevice::MAX_LIGHTS;

// Light kinds as the program sees them.
enum : int
{
    KIND_OFF = 0,
    KIND_POINT = 1,
    KIND_SPOT = 2,
    KIND_DIRECTIONAL = 3,
};

// Material colour sources: the material, the vertex diffuse colour, the
// vertex specular colour.
enum : int
{
    SOURCE_MATERIAL = 0,
    SOURCE_COLOR1 = 1,
    SOURCE_COLOR2 = 2,
};

const char* const VERTEX_SOURCE = R"(#version 330 compatibility
#define MAX_LIGHTS 8
uniform int kvr_LightKind[MAX_LIGHTS];
uniform vec3 kvr_LightPosition[MAX_LIGHTS];  // eye space
uniform vec3 kvr_LightDirection[MAX_LIGHTS]; // eye space, unit, the way the light travels
uniform vec4 kvr_LightDiffuse[MAX_LIGHTS];
uniform vec4 kvr_LightSpecular[MAX_LIGHTS];
uniform vec4 kvr_LightAmbient[MAX_LIGHTS];
uniform vec4 kvr_LightAttenuation[MAX_LIGHTS]; // a0, a1, a2, range
uniform vec3 kvr_LightCone[MAX_LIGHTS];        // cos(theta / 2), cos(phi / 2), falloff
uniform vec4 kvr_MaterialDiffuse;
uniform vec4 kvr_MaterialAmbient;
uniform vec4 kvr_MaterialSpecular;
uniform vec4 kvr_MaterialEmissive;
uniform float kvr_MaterialPower;
uniform ivec4 kvr_Sources; // diffuse, ambient, specular, emissive
uniform vec4 kvr_GlobalAmbient;
uniform int kvr_Specular;
uniform int kvr_LocalViewer;
uniform int kvr_Normalize;

vec4 Source(int source, vec4 material)
{
    return source == 1 ? gl_Color : source == 2 ? gl_SecondaryColor : material;
}

void main()
{
    vec4 eye = gl_ModelViewMatrix * gl_Vertex;
    gl_Position = gl_ProjectionMatrix * eye;
    vec3 position = eye.xyz / eye.w;
    vec3 normal = gl_NormalMatrix * gl_Normal;
    if (kvr_Normalize != 0 && dot(normal, normal) > 0.0)
        normal = normalize(normal);

    vec4 diffuseMaterial = Source(kvr_Sources.x, kvr_MaterialDiffuse);
    vec4 ambientMaterial = Source(kvr_Sources.y, kvr_MaterialAmbient);
    vec4 specularMaterial = Source(kvr_Sources.z, kvr_MaterialSpecular);
    vec4 emissiveMaterial = Source(kvr_Sources.w, kvr_MaterialEmissive);

    vec3 ambient = kvr_GlobalAmbient.rgb;
    vec3 diffuse = vec3(0.0);
    vec3 specular = vec3(0.0);
    for (int i = 0; i < MAX_LIGHTS; ++i)
    {
        int kind = kvr_LightKind[i];
        if (kind == 0)
            continue;
        vec3 toLight = -kvr_LightDirection[i];
        float factor = 1.0;
        if (kind != 3)
        {
            vec3 offset = kvr_LightPosition[i] - position;
            float distance = length(offset);
            // Past its range a light does nothing at all.
            if (distance > kvr_LightAttenuation[i].w)
                continue;
            toLight = distance > 0.0 ? offset / distance : vec3(0.0, 0.0, -1.0);
            vec3 a = kvr_LightAttenuation[i].xyz;
            float divisor = a.x + a.y * distance + a.z * distance * distance;
            factor = divisor > 0.0 ? 1.0 / divisor : 1.0;
            if (kind == 2)
            {
                float rho = dot(-toLight, kvr_LightDirection[i]);
                vec3 cone = kvr_LightCone[i];
                if (rho <= cone.y)
                    continue;
                if (rho <= cone.x)
                    factor *= pow((rho - cone.y) / (cone.x - cone.y), cone.z);
            }
        }
        ambient += kvr_LightAmbient[i].rgb * factor;
        float lambert = dot(normal, toLight);
        if (lambert <= 0.0)
            continue;
        diffuse += kvr_LightDiffuse[i].rgb * (lambert * factor);
        if (kvr_Specular != 0)
        {
            vec3 toViewer = kvr_LocalViewer != 0 ? normalize(-position) : vec3(0.0, 0.0, -1.0);
            float highlight = max(dot(normal, normalize(toViewer + toLight)), 0.0);
            specular += kvr_LightSpecular[i].rgb * (pow(highlight, kvr_MaterialPower) * factor);
        }
    }

    vec3 color = emissiveMaterial.rgb + ambientMaterial.rgb * ambient + diffuseMaterial.rgb * diffuse;
    gl_FrontColor = vec4(clamp(color, 0.0, 1.0), clamp(diffuseMaterial.a, 0.0, 1.0));
    gl_BackColor = gl_FrontColor;
    gl_FrontSecondaryColor = vec4(clamp(specularMaterial.rgb * specular, 0.0, 1.0), 0.0);
    gl_BackSecondaryColor = gl_FrontSecondaryColor;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_TextureMatrix[1] * gl_MultiTexCoord1;
    gl_FogFragCoord = abs(eye.z);
}
)";

// A row vector times a row-major 4x4 matrix: (x, y, z, w) x m.
void TransformRow(const float* v, float w, const float* m, float* out)
{
    for (int column = 0; column < 3; ++column)
        out[column] = v[0] * m[column] + v[1] * m[4 + column] + v[2] * m[8 + column] + w * m[12 + column];
}

void Normalize(float* v)
{
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length > 0.0f)
    {
        v[0] /= length;
        v[1] /= length;
        v[2] /= length;
    }
}

int SourceOf(uint32_t source, const VertexLayout& layout)
{
    if (source == MCS_COLOR1 && layout.diffuse.Present())
        return SOURCE_COLOR1;
    if (source == MCS_COLOR2 && layout.specular.Present())
        return SOURCE_COLOR2;
    return SOURCE_MATERIAL;
}

// In the order of FixedLightingProgram::Uniform.
const char* const UNIFORM_NAMES[] = {
    "kvr_LightKind",        "kvr_LightPosition",    "kvr_LightDirection",   "kvr_LightDiffuse",
    "kvr_LightSpecular",    "kvr_LightAmbient",     "kvr_LightAttenuation", "kvr_LightCone",
    "kvr_MaterialDiffuse",  "kvr_MaterialAmbient",  "kvr_MaterialSpecular", "kvr_MaterialEmissive",
    "kvr_MaterialPower",    "kvr_Sources",          "kvr_GlobalAmbient",    "kvr_Specular",
    "kvr_LocalViewer",      "kvr_Normalize",
};

void Color(GLint location, const ColorValue& color)
{
    glUniform4f(location, color.r, color.g, color.b, color.a);
}
}

FixedLightingProgram::~FixedLightingProgram()
{
    if (m_program != 0)
        glDeleteProgram(m_program);
}

bool FixedLightingProgram::NeedsProgram(const DeviceLight* lights, const bool* enabled, uint32_t lightCount)
{
    for (uint32_t i = 0; i < lightCount && i < MAX_LIGHTS; ++i)
    {
        if (enabled[i] && lights[i].type != LIGHT_DIRECTIONAL)
            return true;
    }
    return false;
}

bool FixedLightingProgram::Build()
{
    const GLuint shader = glCreateShader(GL_VERTEX_SHADER);
    glShaderSource(shader, 1, &VERTEX_SOURCE, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    const GLuint program = glCreateProgram();
    if (ok == GL_TRUE)
    {
        glAttachShader(program, shader);
        glLinkProgram(program);
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
    }
    glDeleteShader(shader);
    if (ok != GL_TRUE)
    {
        char log[1024] = {};
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "fixed lighting program: %s\n", log);
        glDeleteProgram(program);
        return false;
    }
    m_program = program;
    static_assert(sizeof UNIFORM_NAMES / sizeof UNIFORM_NAMES[0] == U_COUNT, "a name per uniform");
    for (int i = 0; i < U_COUNT; ++i)
        m_locations[i] = glGetUniformLocation(program, UNIFORM_NAMES[i]);
    return true;
}

void FixedLightingProgram::SetColorSum(bool on, uint64_t* glCalls)
{
    if (m_colorSum == on)
        return;
    // With a vertex shader GL adds the separate specular colour only when
    // told to; without one it decides itself.
    if (on)
        glEnable(GL_COLOR_SUM);
    else
        glDisable(GL_COLOR_SUM);
    m_colorSum = on;
    ++*glCalls;
}

unsigned FixedLightingProgram::Prepare(const DeviceLight* lights, const bool* enabled, uint32_t lightCount,
                                       const float* view, const DeviceMaterial& material,
                                       const uint32_t* renderStates, const VertexLayout& layout, uint64_t* glCalls)
{
    const bool lit = renderStates[RS_LIGHTING] != 0 && !layout.pretransformed;
    if (!lit || m_failed || !NeedsProgram(lights, enabled, lightCount))
    {
        SetColorSum(false, glCalls);
        return 0;
    }
    if (m_program == 0 && !Build())
    {
        m_failed = true;
        return 0;
    }
    glUseProgram(m_program);
    Upload(lights, enabled, lightCount, view, material, renderStates, layout);
    *glCalls += 40;
    SetColorSum(renderStates[RS_SPECULARENABLE] != 0, glCalls);
    return m_program;
}

void FixedLightingProgram::Upload(const DeviceLight* lights, const bool* enabled, uint32_t lightCount,
                                  const float* view, const DeviceMaterial& material, const uint32_t* renderStates,
                                  const VertexLayout& layout)
{
    GLint kinds[MAX_LIGHTS] = {};
    float positions[MAX_LIGHTS][3] = {};
    float directions[MAX_LIGHTS][3] = {};
    float diffuse[MAX_LIGHTS][4] = {};
    float specular[MAX_LIGHTS][4] = {};
    float ambient[MAX_LIGHTS][4] = {};
    float attenuation[MAX_LIGHTS][4] = {};
    float cone[MAX_LIGHTS][3] = {};
    for (uint32_t i = 0; i < lightCount && i < MAX_LIGHTS; ++i)
    {
        if (!enabled[i])
            continue;
        const DeviceLight& light = lights[i];
        kinds[i] = light.type == LIGHT_DIRECTIONAL ? KIND_DIRECTIONAL : light.type == LIGHT_SPOT ? KIND_SPOT : KIND_POINT;
        // Lights are placed in the world; the program works in eye space.
        TransformRow(light.position, 1.0f, view, positions[i]);
        TransformRow(light.direction, 0.0f, view, directions[i]);
        Normalize(directions[i]);
        const ColorValue* colors[3] = {&light.diffuse, &light.specular, &light.ambient};
        float(*outs[3])[4] = {diffuse, specular, ambient};
        for (int c = 0; c < 3; ++c)
        {
            outs[c][i][0] = colors[c]->r;
            outs[c][i][1] = colors[c]->g;
            outs[c][i][2] = colors[c]->b;
            outs[c][i][3] = colors[c]->a;
        }
        const bool none = light.attenuation0 == 0.0f && light.attenuation1 == 0.0f && light.attenuation2 == 0.0f;
        attenuation[i][0] = none ? 1.0f : light.attenuation0;
        attenuation[i][1] = light.attenuation1;
        attenuation[i][2] = light.attenuation2;
        attenuation[i][3] = light.range;
        cone[i][0] = std::cos(light.theta * 0.5f);
        cone[i][1] = std::cos(light.phi * 0.5f);
        cone[i][2] = light.falloff;
    }
    const int* at = m_locations;
    glUniform1iv(at[U_LIGHT_KIND], MAX_LIGHTS, kinds);
    glUniform3fv(at[U_LIGHT_POSITION], MAX_LIGHTS, &positions[0][0]);
    glUniform3fv(at[U_LIGHT_DIRECTION], MAX_LIGHTS, &directions[0][0]);
    glUniform4fv(at[U_LIGHT_DIFFUSE], MAX_LIGHTS, &diffuse[0][0]);
    glUniform4fv(at[U_LIGHT_SPECULAR], MAX_LIGHTS, &specular[0][0]);
    glUniform4fv(at[U_LIGHT_AMBIENT], MAX_LIGHTS, &ambient[0][0]);
    glUniform4fv(at[U_LIGHT_ATTENUATION], MAX_LIGHTS, &attenuation[0][0]);
    glUniform3fv(at[U_LIGHT_CONE], MAX_LIGHTS, &cone[0][0]);
    Color(at[U_MATERIAL_DIFFUSE], material.diffuse);
    Color(at[U_MATERIAL_AMBIENT], material.ambient);
    Color(at[U_MATERIAL_SPECULAR], material.specular);
    Color(at[U_MATERIAL_EMISSIVE], material.emissive);
    glUniform1f(at[U_MATERIAL_POWER], material.power);
    const bool vertexColors = renderStates[RS_COLORVERTEX] != 0;
    glUniform4i(at[U_SOURCES],
                vertexColors ? SourceOf(renderStates[RS_DIFFUSEMATERIALSOURCE], layout) : SOURCE_MATERIAL,
                vertexColors ? SourceOf(renderStates[RS_AMBIENTMATERIALSOURCE], layout) : SOURCE_MATERIAL,
                vertexColors ? SourceOf(renderStates[RS_SPECULARMATERIALSOURCE], layout) : SOURCE_MATERIAL,
                vertexColors ? SourceOf(renderStates[RS_EMISSIVEMATERIALSOURCE], layout) : SOURCE_MATERIAL);
    float globalAmbient[4];
    ArgbToFloats(renderStates[RS_AMBIENT], globalAmbient);
    glUniform4fv(at[U_GLOBAL_AMBIENT], 1, globalAmbient);
    glUniform1i(at[U_SPECULAR], renderStates[RS_SPECULARENABLE] != 0 ? 1 : 0);
    glUniform1i(at[U_LOCAL_VIEWER], renderStates[RS_LOCALVIEWER] != 0 ? 1 : 0);
    glUniform1i(at[U_NORMALIZE], renderStates[RS_NORMALIZENORMALS] != 0 ? 1 : 0);
}
