#include "engine/platform/device/DeviceEffect.h"

#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <utility>
#include <cstdio>
#include <cstring>

namespace
{
void PrintLog(const char* what, const std::string& log)
{
    std::fprintf(stderr, "effect: %s failed\n%s\n", what, log.c_str());
}

std::string ShaderLog(unsigned shader)
{
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log;
}

std::string ProgramLog(unsigned program)
{
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<size_t>(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, log.data());
    return log;
}

unsigned CompileShader(GLenum stage, const std::string& source)
{
    const unsigned shader = glCreateShader(stage);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE)
        return shader;
    PrintLog(stage == GL_VERTEX_SHADER ? "vertex shader compile" : "fragment shader compile", ShaderLog(shader));
    glDeleteShader(shader);
    return 0;
}

constexpr const char* kFogOffMacro = "KVR_FOG_OFF";

// The source with the macro defined right after its first line (the
// version line, which must come first).
std::string WithFogOff(const std::string& source)
{
    const size_t line = source.find('\n');
    const size_t at = line == std::string::npos ? source.size() : line + 1;
    std::string out = source.substr(0, at);
    if (line == std::string::npos)
        out += '\n';
    out += "#define ";
    out += kFogOffMacro;
    out += '\n';
    out += source.substr(at);
    return out;
}

// "name[0]" -> "name".
std::string BaseName(const char* name)
{
    std::string base(name);
    const size_t bracket = base.find('[');
    if (bracket != std::string::npos)
        base.resize(bracket);
    return base;
}
}

std::unique_ptr<DeviceEffect> DeviceEffect::Create(GraphicsDevice* device, const EffectImage& image)
{
    if (device == nullptr || image.techniques.empty())
        return nullptr;
    std::unique_ptr<DeviceEffect> effect(new DeviceEffect(device));
    if (!effect->Build(image))
        return nullptr;
    return effect;
}

DeviceEffect::~DeviceEffect()
{
    if (m_device != nullptr)
        FreeGlObjects();
}

void DeviceEffect::FreeGlObjects()
{
    for (Program& program : m_programs)
        FreeProgram(program);
    // Textures may go before the effect; the effect never outlives its
    // own bindings.
    m_begun = false;
    m_active = nullptr;
}

void DeviceEffect::FreeProgram(Program& program)
{
    if (program.fogless)
        FreeProgram(*program.fogless);
    if (program.name == 0)
        return;
    m_device->ForgetGlProgram(program.name);
    glDeleteProgram(program.name);
    m_device->AddGlCalls(1);
    program.name = 0;
}

bool DeviceEffect::Build(const EffectImage& image)
{
    m_image = image;
    m_values.resize(m_image.parameters.size());
    m_samplerUnits.assign(m_image.parameters.size(), 0);
    uint32_t unit = FIRST_TEXTURE_UNIT;
    for (size_t i = 0; i < m_image.parameters.size(); ++i)
    {
        const EffectParameterDesc& parameter = m_image.parameters[i];
        if (parameter.type == EffectParameterDesc::TYPE_FLOAT)
            m_values[i].floats.assign(parameter.GetComponentCount(), 0.0f);
        else if (parameter.IsNumeric())
            m_values[i].ints.assign(parameter.GetComponentCount(), 0);
        else if (parameter.type == EffectParameterDesc::TYPE_SAMPLER)
        {
            if (unit >= GraphicsDevice::MAX_TEXTURE_UNITS)
            {
                PrintLog("sampler assignment", "more samplers than texture units");
                return false;
            }
            m_samplerUnits[i] = unit++;
        }
    }
    // One program per distinct pair of sources.
    for (const EffectTechniqueDesc& technique : m_image.techniques)
    {
        std::vector<uint32_t> passes;
        for (const EffectPassDesc& pass : technique.passes)
        {
            uint32_t index = 0;
            while (index < m_programs.size() && (m_programs[index].vertexSource != pass.vertexSource ||
                                                 m_programs[index].fragmentSource != pass.fragmentSource))
                ++index;
            if (index == m_programs.size())
            {
                Program program;
                program.vertexSource = pass.vertexSource;
                program.fragmentSource = pass.fragmentSource;
                m_programs.push_back(std::move(program));
                if (!BuildProgram(m_programs.back()))
                    return false;
            }
            passes.push_back(index);
        }
        m_passPrograms.push_back(passes);
    }
    return true;
}

bool DeviceEffect::BuildProgram(Program& program)
{
    const std::string& vertexText = m_image.sources[program.vertexSource];
    const std::string& fragmentText = m_image.sources[program.fragmentSource];
    program.hasFoglessBuild = !program.fogOff && (vertexText.find(kFogOffMacro) != std::string::npos ||
                                                  fragmentText.find(kFogOffMacro) != std::string::npos);
    const unsigned vertex =
        CompileShader(GL_VERTEX_SHADER, program.fogOff ? WithFogOff(vertexText) : vertexText);
    const unsigned fragment =
        vertex != 0 ? CompileShader(GL_FRAGMENT_SHADER, program.fogOff ? WithFogOff(fragmentText) : fragmentText)
                    : 0;
    m_device->AddGlCalls(8);
    if (vertex == 0 || fragment == 0)
    {
        glDeleteShader(vertex);
        return false;
    }
    program.name = glCreateProgram();
    glAttachShader(program.name, vertex);
    glAttachShader(program.name, fragment);
    glLinkProgram(program.name);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program.name, GL_LINK_STATUS, &ok);
    m_device->AddGlCalls(7);
    if (ok != GL_TRUE)
    {
        PrintLog("program link", ProgramLog(program.name));
        return false;
    }
    FindUniforms(program);
    return true;
}

void DeviceEffect::FindUniforms(Program& program)
{
    GLint count = 0;
    glGetProgramiv(program.name, GL_ACTIVE_UNIFORMS, &count);
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program.name);
    for (GLint i = 0; i < count; ++i)
    {
        char name[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program.name, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
        const std::string base = BaseName(name);
        const GLint location = glGetUniformLocation(program.name, base.c_str());
        if (base == "kvr_FogEnable")
            program.fogEnableLocation = location;
        else if (base == "kvr_FogColor")
            program.fogColorLocation = location;
        const int32_t parameter = Find(base.c_str());
        if (parameter < 0 || location < 0)
            continue;
        Uniform uniform;
        uniform.parameter = parameter;
        uniform.location = location;
        if (m_image.parameters[parameter].type == EffectParameterDesc::TYPE_SAMPLER)
        {
            uniform.unit = m_samplerUnits[parameter];
            glUniform1i(location, static_cast<GLint>(uniform.unit));
        }
        program.uniforms.push_back(uniform);
    }
    glUseProgram(static_cast<GLuint>(previous));
    m_device->AddGlCalls(4 + 3 * static_cast<uint32_t>(count));
}

int32_t DeviceEffect::Find(const char* name) const
{
    if (name == nullptr)
        return -1;
    for (size_t i = 0; i < m_image.parameters.size(); ++i)
    {
        if (m_image.parameters[i].name == name)
            return static_cast<int32_t>(i);
    }
    return -1;
}

int32_t DeviceEffect::FindNumeric(const char* name) const
{
    const int32_t index = Find(name);
    return index >= 0 && m_image.parameters[index].IsNumeric() ? index : -1;
}

int32_t DeviceEffect::FindTechnique(const char* name) const
{
    if (name == nullptr)
        return -1;
    for (size_t i = 0; i < m_image.techniques.size(); ++i)
    {
        if (m_image.techniques[i].name == name)
            return static_cast<int32_t>(i);
    }
    return -1;
}

bool DeviceEffect::SetTechnique(const char* name)
{
    const int32_t index = FindTechnique(name);
    if (index < 0)
        return false;
    m_technique = index;
    return true;
}

bool DeviceEffect::Begin(uint32_t* passCount)
{
    if (m_programs.empty() || m_programs[0].name == 0)
        return false;
    m_begun = true;
    if (passCount != nullptr)
        *passCount = static_cast<uint32_t>(m_image.techniques[m_technique].passes.size());
    return true;
}

DeviceEffect::Program* DeviceEffect::ProgramForPass(Program& program)
{
    if (!program.hasFoglessBuild || program.foglessFailed || m_device->GetRenderState(RS_FOGENABLE) != 0)
        return &program;
    if (!program.fogless)
    {
        auto fogless = std::make_unique<Program>();
        fogless->vertexSource = program.vertexSource;
        fogless->fragmentSource = program.fragmentSource;
        fogless->fogOff = true;
        if (!BuildProgram(*fogless))
        {
            FreeProgram(*fogless);
            program.foglessFailed = true;
            return &program;
        }
        program.fogless = std::move(fogless);
    }
    return program.fogless.get();
}

bool DeviceEffect::BeginPass(uint32_t pass)
{
    if (!m_begun || pass >= m_passPrograms[m_technique].size())
        return false;
    Program& chosen = m_programs[m_passPrograms[m_technique][pass]];
    if (chosen.name == 0)
        return false;
    m_active = ProgramForPass(chosen);
    Upload(*m_active, -1);
    BindTextures(*m_active);
    m_device->SetProgram(m_active->name);
    return true;
}

bool DeviceEffect::EndPass()
{
    if (m_active == nullptr)
        return false;
    m_active = nullptr;
    m_device->SetProgram(0);
    return true;
}

bool DeviceEffect::End()
{
    if (!m_begun)
        return false;
    m_begun = false;
    m_active = nullptr;
    m_device->SetProgram(0);
    // The effect holds no reference on its textures: forget them, so that a
    // texture released after the draw is never bound by a later pass.
    // Every caller sets its textures for each draw.
    for (Value& value : m_values)
        value.texture = nullptr;
    return true;
}

void DeviceEffect::MarkChanged(int32_t parameter)
{
    // A value set while a pass runs reaches the pass's program at once.
    if (m_active == nullptr)
        return;
    Upload(*m_active, parameter);
    BindTextures(*m_active);
}

void DeviceEffect::Upload(const Program& program, int32_t onlyParameter)
{
    if (program.name == 0)
        return;
    // The device keeps track of which program GL uses; leave that as found.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program.name);
    uint32_t calls = 3;
    for (const Uniform& uniform : program.uniforms)
    {
        if (onlyParameter >= 0 && uniform.parameter != onlyParameter)
            continue;
        UploadUniform(uniform);
        ++calls;
    }
    if (program.fogEnableLocation >= 0)
    {
        glUniform1i(program.fogEnableLocation, m_device->GetRenderState(RS_FOGENABLE) != 0 ? 1 : 0);
        ++calls;
    }
    if (program.fogColorLocation >= 0)
    {
        const uint32_t color = m_device->GetRenderState(RS_FOGCOLOR);
        glUniform4f(program.fogColorLocation, static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                    static_cast<float>((color >> 8) & 0xFF) / 255.0f, static_cast<float>(color & 0xFF) / 255.0f,
                    static_cast<float>(color >> 24) / 255.0f);
        ++calls;
    }
    glUseProgram(static_cast<GLuint>(previous));
    m_device->AddGlCalls(calls);
}

void DeviceEffect::UploadUniform(const Uniform& uniform)
{
    const EffectParameterDesc& desc = m_image.parameters[uniform.parameter];
    const Value& value = m_values[uniform.parameter];
    const GLsizei count = static_cast<GLsizei>(desc.elements);
    const GLint location = uniform.location;
    if (desc.type == EffectParameterDesc::TYPE_INT || desc.type == EffectParameterDesc::TYPE_BOOL)
    {
        const int32_t* v = value.ints.data();
        switch (desc.columns)
        {
        case 1: glUniform1iv(location, count * desc.rows, v); break;
        case 2: glUniform2iv(location, count * desc.rows, v); break;
        case 3: glUniform3iv(location, count * desc.rows, v); break;
        default: glUniform4iv(location, count * desc.rows, v); break;
        }
        return;
    }
    if (desc.type != EffectParameterDesc::TYPE_FLOAT)
        return;
    const float* v = value.floats.data();
    if (desc.rows == 1)
    {
        switch (desc.columns)
        {
        case 1: glUniform1fv(location, count, v); break;
        case 2: glUniform2fv(location, count, v); break;
        case 3: glUniform3fv(location, count, v); break;
        default: glUniform4fv(location, count, v); break;
        }
        return;
    }
    // Rows of a row-vector matrix are the columns of the GLSL matrix, so
    // the row-major values go up untransposed.
    const int shape = desc.rows * 10 + desc.columns;
    switch (shape)
    {
    case 22: glUniformMatrix2fv(location, count, GL_FALSE, v); break;
    case 23: glUniformMatrix2x3fv(location, count, GL_FALSE, v); break;
    case 24: glUniformMatrix2x4fv(location, count, GL_FALSE, v); break;
    case 32: glUniformMatrix3x2fv(location, count, GL_FALSE, v); break;
    case 33: glUniformMatrix3fv(location, count, GL_FALSE, v); break;
    case 34: glUniformMatrix3x4fv(location, count, GL_FALSE, v); break;
    case 42: glUniformMatrix4x2fv(location, count, GL_FALSE, v); break;
    case 43: glUniformMatrix4x3fv(location, count, GL_FALSE, v); break;
    case 44: glUniformMatrix4fv(location, count, GL_FALSE, v); break;
    default: break;
    }
}

void DeviceEffect::BindTextures(const Program& program)
{
    for (const Uniform& uniform : program.uniforms)
    {
        const EffectParameterDesc& sampler = m_image.parameters[uniform.parameter];
        if (sampler.type != EffectParameterDesc::TYPE_SAMPLER)
            continue;
        const int32_t texture = Find(sampler.texture.c_str());
        m_device->SetTexture(uniform.unit, texture >= 0 ? m_values[texture].texture : nullptr);
        m_device->SetSamplerState(uniform.unit, SAMP_MINFILTER, sampler.minFilter);
        m_device->SetSamplerState(uniform.unit, SAMP_MAGFILTER, sampler.magFilter);
        m_device->SetSamplerState(uniform.unit, SAMP_MIPFILTER, sampler.mipFilter);
        m_device->SetSamplerState(uniform.unit, SAMP_ADDRESSU, sampler.addressU);
        m_device->SetSamplerState(uniform.unit, SAMP_ADDRESSV, sampler.addressV);
    }
}

bool DeviceEffect::SetFloats(const char* name, const float* values, uint32_t count)
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || values == nullptr)
        return false;
    Value& value = m_values[index];
    if (!value.floats.empty())
        std::copy_n(values, std::min<size_t>(count, value.floats.size()), value.floats.begin());
    else
    {
        for (size_t i = 0; i < std::min<size_t>(count, value.ints.size()); ++i)
            value.ints[i] = static_cast<int32_t>(values[i]);
    }
    MarkChanged(index);
    return true;
}

bool DeviceEffect::SetVectors(const char* name, const float* vectors, uint32_t count)
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || vectors == nullptr)
        return false;
    const EffectParameterDesc& desc = m_image.parameters[index];
    const uint32_t stride = desc.columns;
    const uint32_t slots = desc.rows * desc.elements;
    std::vector<float> packed;
    for (uint32_t i = 0; i < std::min(count, slots); ++i)
        packed.insert(packed.end(), vectors + i * 4, vectors + i * 4 + stride);
    return SetFloats(name, packed.data(), static_cast<uint32_t>(packed.size())) || packed.empty();
}

bool DeviceEffect::SetMatrices(const char* name, const float* matrices, uint32_t count)
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || matrices == nullptr)
        return false;
    const EffectParameterDesc& desc = m_image.parameters[index];
    std::vector<float> packed;
    for (uint32_t i = 0; i < std::min(count, desc.elements); ++i)
    {
        for (uint32_t row = 0; row < desc.rows; ++row)
            packed.insert(packed.end(), matrices + i * 16 + row * 4, matrices + i * 16 + row * 4 + desc.columns);
    }
    if (packed.empty())
        return true;
    return SetFloats(name, packed.data(), static_cast<uint32_t>(packed.size()));
}

bool DeviceEffect::SetInts(const char* name, const int32_t* values, uint32_t count)
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || values == nullptr)
        return false;
    Value& value = m_values[index];
    if (!value.ints.empty())
        std::copy_n(values, std::min<size_t>(count, value.ints.size()), value.ints.begin());
    else
    {
        for (size_t i = 0; i < std::min<size_t>(count, value.floats.size()); ++i)
            value.floats[i] = static_cast<float>(values[i]);
    }
    MarkChanged(index);
    return true;
}

bool DeviceEffect::SetBytes(const char* name, const void* data, uint32_t bytes)
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || data == nullptr)
        return false;
    Value& value = m_values[index];
    // Raw values in the parameter's own representation.
    if (!value.floats.empty())
        std::memcpy(value.floats.data(), data, std::min<size_t>(bytes, value.floats.size() * sizeof(float)));
    else
        std::memcpy(value.ints.data(), data, std::min<size_t>(bytes, value.ints.size() * sizeof(int32_t)));
    MarkChanged(index);
    return true;
}

bool DeviceEffect::SetTexture(const char* name, DeviceTexture* texture)
{
    const int32_t index = Find(name);
    if (index < 0 || m_image.parameters[index].type != EffectParameterDesc::TYPE_TEXTURE)
        return false;
    m_values[index].texture = texture;
    if (m_active != nullptr)
        BindTextures(*m_active);
    return true;
}

bool DeviceEffect::SetString(const char* name, const char* text)
{
    const int32_t index = Find(name);
    if (index < 0 || text == nullptr || m_image.parameters[index].type != EffectParameterDesc::TYPE_STRING)
        return false;
    m_values[index].text = text;
    return true;
}

bool DeviceEffect::GetFloats(const char* name, float* values, uint32_t count) const
{
    const int32_t index = FindNumeric(name);
    if (index < 0 || values == nullptr)
        return false;
    const Value& value = m_values[index];
    for (uint32_t i = 0; i < count; ++i)
    {
        if (!value.floats.empty())
            values[i] = i < value.floats.size() ? value.floats[i] : 0.0f;
        else
            values[i] = i < value.ints.size() ? static_cast<float>(value.ints[i]) : 0.0f;
    }
    return true;
}
