#include "engine/platform/device/EffectImage.h"

#include "engine/core/FileIo.h"

#include <cstring>

namespace
{
const char MAGIC[4] = {'K', 'F', 'X', '1'};

// A cursor over the image that refuses to read past its end.
class Cursor
{
public:
    Cursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    size_t Remaining() const { return m_size - m_offset; }

    bool Bytes(void* out, size_t count)
    {
        if (count > Remaining())
            return false;
        std::memcpy(out, m_data + m_offset, count);
        m_offset += count;
        return true;
    }

    bool U8(uint8_t* out) { return Bytes(out, 1); }

    bool U32(uint32_t* out)
    {
        uint8_t b[4];
        if (!Bytes(b, 4))
            return false;
        *out = LoadU32LE(b);
        return true;
    }

    // Length with its NUL, then the bytes; the NUL must be the last byte.
    bool String(std::string* out)
    {
        uint32_t length = 0;
        if (!U32(&length) || length == 0 || length > Remaining())
            return false;
        const char* text = reinterpret_cast<const char*>(m_data + m_offset);
        if (text[length - 1] != '\0')
            return false;
        out->assign(text, length - 1);
        m_offset += length;
        return true;
    }

    // A count of records that each take at least minimumBytes.
    bool Count(uint32_t* out, size_t minimumBytes)
    {
        return U32(out) && static_cast<uint64_t>(*out) * minimumBytes <= Remaining();
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_offset = 0;
};

void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    AppendU32LE(&out, value);
}

void PutString(std::vector<uint8_t>& out, const std::string& text)
{
    PutU32(out, static_cast<uint32_t>(text.size() + 1));
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

bool ReadParameter(Cursor& in, EffectParameterDesc* parameter)
{
    if (!in.String(&parameter->name) || !in.U8(&parameter->type) || !in.U8(&parameter->rows) ||
        !in.U8(&parameter->columns) || !in.U32(&parameter->elements))
        return false;
    if (parameter->name.empty() || parameter->type >= EffectParameterDesc::TYPE_COUNT)
        return false;
    if (parameter->rows == 0 || parameter->rows > EffectImage::MAX_DIMENSION || parameter->columns == 0 ||
        parameter->columns > EffectImage::MAX_DIMENSION || parameter->elements == 0 ||
        parameter->elements > EffectImage::MAX_ELEMENTS)
        return false;
    if (parameter->type != EffectParameterDesc::TYPE_SAMPLER)
        return true;
    return in.String(&parameter->texture) && in.U8(&parameter->minFilter) && in.U8(&parameter->magFilter) &&
           in.U8(&parameter->mipFilter) && in.U8(&parameter->addressU) && in.U8(&parameter->addressV);
}

bool ReadTechnique(Cursor& in, uint32_t sourceCount, EffectTechniqueDesc* technique)
{
    uint32_t passCount = 0;
    // A pass is at least an empty name and two indices.
    if (!in.String(&technique->name) || !in.Count(&passCount, 13))
        return false;
    technique->passes.resize(passCount);
    for (EffectPassDesc& pass : technique->passes)
    {
        if (!in.String(&pass.name) || !in.U32(&pass.vertexSource) || !in.U32(&pass.fragmentSource))
            return false;
        if (pass.vertexSource >= sourceCount || pass.fragmentSource >= sourceCount)
            return false;
    }
    return true;
}

// Every sampler reads a texture parameter that exists.
bool SamplersResolve(const std::vector<EffectParameterDesc>& parameters)
{
    for (const EffectParameterDesc& sampler : parameters)
    {
        if (sampler.type != EffectParameterDesc::TYPE_SAMPLER)
            continue;
        bool found = false;
        for (const EffectParameterDesc& texture : parameters)
            found = found || (texture.type == EffectParameterDesc::TYPE_TEXTURE && texture.name == sampler.texture);
        if (!found)
            return false;
    }
    return true;
}
}

void EffectImage::Clear()
{
    sources.clear();
    parameters.clear();
    techniques.clear();
}

bool EffectImage::Read(const void* data, size_t size)
{
    Clear();
    if (data == nullptr)
        return false;
    Cursor in(static_cast<const uint8_t*>(data), size);
    char magic[4];
    uint32_t version = 0;
    if (!in.Bytes(magic, 4) || std::memcmp(magic, MAGIC, 4) != 0 || !in.U32(&version) || version != VERSION)
        return false;

    bool ok = true;
    uint32_t count = 0;
    ok = in.Count(&count, 5);
    if (ok)
        sources.resize(count);
    for (size_t i = 0; ok && i < sources.size(); ++i)
        ok = in.String(&sources[i]);

    ok = ok && in.Count(&count, 13);
    if (ok)
        parameters.resize(count);
    for (size_t i = 0; ok && i < parameters.size(); ++i)
        ok = ReadParameter(in, &parameters[i]);

    ok = ok && in.Count(&count, 9);
    if (ok)
        techniques.resize(count);
    for (size_t i = 0; ok && i < techniques.size(); ++i)
        ok = ReadTechnique(in, static_cast<uint32_t>(sources.size()), &techniques[i]);

    ok = ok && SamplersResolve(parameters);
    if (!ok)
        Clear();
    return ok;
}

std::vector<uint8_t> EffectImage::Write() const
{
    std::vector<uint8_t> out(MAGIC, MAGIC + 4);
    PutU32(out, VERSION);
    PutU32(out, static_cast<uint32_t>(sources.size()));
    for (const std::string& source : sources)
        PutString(out, source);
    PutU32(out, static_cast<uint32_t>(parameters.size()));
    for (const EffectParameterDesc& parameter : parameters)
    {
        PutString(out, parameter.name);
        out.push_back(parameter.type);
        out.push_back(parameter.rows);
        out.push_back(parameter.columns);
        PutU32(out, parameter.elements);
        if (parameter.type != EffectParameterDesc::TYPE_SAMPLER)
            continue;
        PutString(out, parameter.texture);
        out.push_back(parameter.minFilter);
        out.push_back(parameter.magFilter);
        out.push_back(parameter.mipFilter);
        out.push_back(parameter.addressU);
        out.push_back(parameter.addressV);
    }
    PutU32(out, static_cast<uint32_t>(techniques.size()));
    for (const EffectTechniqueDesc& technique : techniques)
    {
        PutString(out, technique.name);
        PutU32(out, static_cast<uint32_t>(technique.passes.size()));
        for (const EffectPassDesc& pass : technique.passes)
        {
            PutString(out, pass.name);
            PutU32(out, pass.vertexSource);
            PutU32(out, pass.fragmentSource);
        }
    }
    return out;
}
