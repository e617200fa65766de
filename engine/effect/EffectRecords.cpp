#include "engine/effect/EffectRecords.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/FileIo.h"

#include <cstring>

namespace
{
// Sequential little-endian field cursor over a fixed block image.
struct FieldWriter
{
    uint8_t* out;
    void U32(uint32_t v)
    {
        StoreU32LE(out, v);
        out += 4;
    }
    void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v)
    {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Vec3(const CkvrVector3& v)
    {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Vec4(const CkvrVector4& v)
    {
        F32(v.x);
        F32(v.y);
        F32(v.z);
        F32(v.w);
    }
    void Bytes(const uint8_t* bytes, size_t n)
    {
        std::memcpy(out, bytes, n);
        out += n;
    }
};

struct FieldReader
{
    const uint8_t* in;
    uint32_t U32()
    {
        const uint32_t v = LoadU32LE(in);
        in += 4;
        return v;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32()
    {
        const uint32_t bits = U32();
        float v = 0.0f;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    CkvrVector3 Vec3()
    {
        const float x = F32();
        const float y = F32();
        const float z = F32();
        return CkvrVector3(x, y, z);
    }
    CkvrVector4 Vec4()
    {
        const float x = F32();
        const float y = F32();
        const float z = F32();
        const float w = F32();
        return CkvrVector4(x, y, z, w);
    }
    void Bytes(uint8_t* bytes, size_t n)
    {
        std::memcpy(bytes, in, n);
        in += n;
    }
};
}

void EncodeEffectParameter(const tag_KVREFFECTPARAMETER& b, uint8_t out[kEffectParameterSize])
{
    FieldWriter w{out};
    w.F32(b.length);
    w.Bytes(&b.kind, 1);
    w.Bytes(b.reserved, 3);
    w.F32(b.size);
    w.Vec3(b.facingAxis);
    w.U32(b.sorted);
    w.U32(b.billboard);
    w.U32(b.blendMode);
    w.U32(b.optionWord);
    w.I32(b.renderOption);
    w.U32(b.loopMode);
    w.U32(b.flags);
    w.I32(b.volumeOffset);
    w.U32(b.rotationOrder);
}

void DecodeEffectParameter(const uint8_t in[kEffectParameterSize], tag_KVREFFECTPARAMETER* b)
{
    FieldReader r{in};
    b->length = r.F32();
    r.Bytes(&b->kind, 1);
    r.Bytes(b->reserved, 3);
    b->size = r.F32();
    b->facingAxis = r.Vec3();
    b->sorted = r.U32();
    b->billboard = r.U32();
    b->blendMode = r.U32();
    b->optionWord = r.U32();
    b->renderOption = r.I32();
    b->loopMode = r.U32();
    b->flags = r.U32();
    b->volumeOffset = r.I32();
    b->rotationOrder = r.U32();
}

void EncodeParticleParameter(const tag_KVRPARTICLEPARAMETER& b, uint8_t out[kParticleParameterSize])
{
    FieldWriter w{out};
    w.F32(b.life);
    w.Vec3(b.offset);
    w.Vec3(b.positionSpread);
    w.Vec3(b.rotationSpread);
    w.Vec3(b.scaleSpread);
    w.Vec3(b.scaleDecay);
    w.Vec3(b.direction);
    w.Vec3(b.directionSpread);
    w.Vec3(b.spin);
    w.Vec4(b.colorSpread);
    w.Vec4(b.colorDecay);
    w.F32(b.speed);
    w.F32(b.speedSpread);
    w.F32(b.gravity);
    w.U32(b.reserved);
    w.U32(b.attach);
    w.U32(b.traceCount);
}

void DecodeParticleParameter(const uint8_t in[kParticleParameterSize], tag_KVRPARTICLEPARAMETER* b)
{
    FieldReader r{in};
    b->life = r.F32();
    b->offset = r.Vec3();
    b->positionSpread = r.Vec3();
    b->rotationSpread = r.Vec3();
    b->scaleSpread = r.Vec3();
    b->scaleDecay = r.Vec3();
    b->direction = r.Vec3();
    b->directionSpread = r.Vec3();
    b->spin = r.Vec3();
    b->colorSpread = r.Vec4();
    b->colorDecay = r.Vec4();
    b->speed = r.F32();
    b->speedSpread = r.F32();
    b->gravity = r.F32();
    b->reserved = r.U32();
    b->attach = r.U32();
    b->traceCount = r.U32();
}

bool WriteCountedString(FILE* file, const char* text)
{
    const uint32_t length = text != nullptr ? static_cast<uint32_t>(std::strlen(text) + 1) : 0;
    return WriteU32LE(file, length) && WriteBytes(file, text, length);
}

bool ReadCountedString(FILE* file, uint32_t maxLength, char** text)
{
    *text = nullptr;
    uint32_t length = 0;
    if (!ReadU32LE(file, &length))
        return false;
    if (length == 0)
        return true;
    const int64_t remaining = RemainingFileBytes(file);
    if (length > maxLength || (remaining >= 0 && int64_t(length) > remaining))
        return false;
    char* block = static_cast<char*>(AlignedAlloc(size_t(length) + 1, 16));
    if (block == nullptr)
        return false;
    if (!ReadBytes(file, block, length))
    {
        AlignedFree(block);
        return false;
    }
    // A stored string without its NUL still ends here.
    block[length] = '\0';
    *text = block;
    return true;
}

char* CopyAlignedString(const char* text)
{
    if (text == nullptr)
        return nullptr;
    const size_t length = std::strlen(text) + 1;
    char* block = static_cast<char*>(AlignedAlloc(length, 16));
    if (block != nullptr)
        std::memcpy(block, text, length);
    return block;
}
