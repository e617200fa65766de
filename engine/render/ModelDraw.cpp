#include "engine/render/ModelDraw.h"

#include "engine/core/CkvrMatrix.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceEffect.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/render/CCamera.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

namespace
{
CkvrVector4 Tinted(const CkvrVector4& value, const CkvrVector4* color)
{
    if (color == nullptr)
        return value;
    return CkvrVector4(value.x * color->x, value.y * color->y, value.z * color->z, value.w * color->w);
}

ColorValue ToColorValue(const CkvrVector4& v)
{
    ColorValue out;
    out.r = v.x;
    out.g = v.y;
    out.b = v.z;
    out.a = v.w;
    return out;
}

void BindGeometry(CGraphics* graphics, const ModelDrawSource& source)
{
    if (!source.setStream)
    {
        graphics->SetIndices(source.indexBuffer);
        return;
    }
    graphics->SetStreamSource(source.vertexBuffer, KVR_MODEL_VERTEX_STRIDE);
    graphics->SetIndices(source.indexBuffer);
    // Compared by the declaration itself, not only by its key: a freed
    // declaration must never stay bound because a new one shares its key.
    if (graphics->GetStateCache()->declaration != source.declaration)
        graphics->SetVertexDeclaration(source.declaration);
    graphics->SetVertexDeclarationKey(source.declarationKey);
}

// The range of material i worth drawing, or null.
const tag_KVRMODELINDEXOFFSET* DrawableRange(const ModelDrawSource& source, uint32_t i)
{
    if (source.ranges == nullptr)
        return nullptr;
    const tag_KVRMODELINDEXOFFSET* range = source.ranges->GetAt(i);
    if (range == nullptr || range->count < 3)
        return nullptr;
    return range;
}

void DrawRange(GraphicsDevice* device, const ModelDrawSource& source, const tag_KVRMODELINDEXOFFSET& range)
{
    device->DrawIndexedPrimitive(PT_TRIANGLELIST, 0, 0, source.vertexCount, range.start, range.count / 3);
}

void ApplyBlend(CGraphics* graphics, const tag_KVRMODELMATERIAL& material)
{
    if (material.blendMode != 0 && material.blendMode != graphics->GetStateCache()->blendMode)
        graphics->SetBlendMode(material.blendMode);
}

DeviceTexture* DeviceTextureOf(CTexture* texture)
{
    return texture != nullptr ? texture->GetDeviceTexture() : nullptr;
}

void SetFixedTextures(CGraphics* graphics, GraphicsDevice* device, const tag_KVRMODELMATERIAL& material)
{
    if (material.textures == nullptr)
    {
        graphics->SetTexture(nullptr);
        return;
    }
    for (uint32_t j = 0; j < material.textures->GetCount() && j < GraphicsDevice::MAX_TEXTURE_UNITS; ++j)
    {
        CTexture* texture = material.textures->GetItem(j);
        if (j == 0 && texture != nullptr)
            graphics->SetTexture(texture->GetDeviceTexture());
        else
            device->SetTexture(j, DeviceTextureOf(texture));
    }
}

// Blending and the alpha test, off while a draw's every fragment is
// opaque: with alpha 1 the alpha blend (and the opaque one) write the
// fragment as it is and the test passes it, so neither changes a pixel,
// and the rasteriser is spared both. States are put back as found.
class OpaqueDraw
{
public:
    OpaqueDraw(CGraphics* graphics, GraphicsDevice* device, bool opaque) : m_device(device)
    {
        const uint32_t blend = graphics->GetStateCache()->blendMode;
        m_active = opaque && (blend == 0 || blend == 1);
        if (!m_active)
            return;
        m_blending = device->GetRenderState(RS_ALPHABLENDENABLE);
        m_alphaTest = device->GetRenderState(RS_ALPHATESTENABLE);
        device->SetRenderState(RS_ALPHABLENDENABLE, 0);
        device->SetRenderState(RS_ALPHATESTENABLE, 0);
    }
    ~OpaqueDraw()
    {
        if (!m_active)
            return;
        m_device->SetRenderState(RS_ALPHABLENDENABLE, m_blending);
        m_device->SetRenderState(RS_ALPHATESTENABLE, m_alphaTest);
    }
    OpaqueDraw(const OpaqueDraw&) = delete;
    OpaqueDraw& operator=(const OpaqueDraw&) = delete;

private:
    GraphicsDevice* m_device;
    bool m_active = false;
    uint32_t m_blending = 0;
    uint32_t m_alphaTest = 0;
};

void SetShaderTexture(CShader* effect, const tag_KVRMODELMATERIAL& material)
{
    CTexture* last = nullptr;
    for (uint32_t j = 0; j < material.textures->GetCount(); ++j)
        last = material.textures->GetItem(j);
    if (last != nullptr)
        effect->SetTexture("g_Texture", last);
    else if (effect->GetEffect() != nullptr)
        effect->GetEffect()->SetTexture("g_Texture", nullptr);
}
}

uint32_t ModelDraw::DrawFixed(CGraphics* graphics, const ModelDrawSource& source, const CkvrVector4* color)
{
    GraphicsDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    if (device == nullptr || source.materials == nullptr)
        return 1;
    const uint32_t savedBlend = graphics->GetStateCache()->blendMode;
    BindGeometry(graphics, source);
    for (uint32_t i = 0; i < source.materials->GetCount(); ++i)
    {
        const tag_KVRMODELINDEXOFFSET* range = DrawableRange(source, i);
        if (range == nullptr)
            continue;
        const tag_KVRMODELMATERIAL& material = *source.materials->GetAt(i);
        DeviceMaterial deviceMaterial;
        deviceMaterial.diffuse = ToColorValue(Tinted(material.diffuse, color));
        deviceMaterial.ambient = ToColorValue(Tinted(material.ambient, color));
        deviceMaterial.specular = ToColorValue(Tinted(material.specular, color));
        deviceMaterial.emissive = ToColorValue(Tinted(material.emissive, color));
        deviceMaterial.power = material.power;
        device->SetMaterial(deviceMaterial);
        SetFixedTextures(graphics, device, material);
        ApplyBlend(graphics, material);
        DrawRange(device, source, *range);
    }
    if (graphics->GetStateCache()->blendMode != savedBlend)
        graphics->SetBlendMode(savedBlend);
    return 1;
}

uint32_t ModelDraw::DrawShader(CGraphics* graphics, const ModelDrawSource& source, const CkvrMatrix* world,
                               const CkvrVector4* color, bool skinned, CShader* effect)
{
    GraphicsDevice* device = graphics != nullptr ? graphics->GetDevice() : nullptr;
    if (device == nullptr || source.materials == nullptr || effect == nullptr)
        return 1;
    const uint32_t savedBlend = graphics->GetStateCache()->blendMode;
    if (source.setStream)
    {
        CkvrMatrix identity;
        CkvrMatrix viewProjection;
        CCamera* camera = graphics->GetCamera();
        if (camera != nullptr)
            camera->GetViewProjection(&viewProjection);
        effect->SetMatrix("g_WorldMatrix", (world != nullptr ? world : &identity)->m);
        effect->SetMatrix("g_ViewProj", viewProjection.m);
        effect->SetInt("g_CurBones", KVR_MAX_INFLUENCES);
    }
    BindGeometry(graphics, source);
    for (uint32_t i = 0; i < source.materials->GetCount(); ++i)
    {
        const tag_KVRMODELINDEXOFFSET* range = DrawableRange(source, i);
        if (range == nullptr)
            continue;
        const tag_KVRMODELMATERIAL& material = *source.materials->GetAt(i);
        const CkvrVector4 diffuse = Tinted(material.diffuse, color);
        const CkvrVector4 ambient = Tinted(material.ambient, color);
        const CkvrVector4 specular = Tinted(material.specular, color);
        const CkvrVector4 emissive = Tinted(material.emissive, color);
        effect->SetVector("g_MaterialDiffuse", &diffuse.x);
        effect->SetVector("g_MaterialAmbient", &ambient.x);
        effect->SetVector("g_MaterialSpecular", &specular.x);
        effect->SetVector("g_MaterialEmissive", &emissive.x);
        if (material.textures != nullptr)
        {
            effect->SetTechnique(skinned ? "SkinningVersion_20" : "Version_20");
            SetShaderTexture(effect, material);
        }
        else
        {
            effect->SetTechnique(skinned ? "SkinningNonTextureVersion_20" : "NonTextureVersion_20");
            if (effect->GetEffect() != nullptr)
                effect->GetEffect()->SetTexture("g_Texture", nullptr);
        }
        ApplyBlend(graphics, material);
        // Without textures the effect's fragments carry the material's
        // alpha, clamped to 1.
        const OpaqueDraw opaque(graphics, device, material.textures == nullptr && diffuse.w >= 1.0f);
        uint32_t passes = 0;
        if (!effect->Begin(&passes, 0))
            continue;
        for (uint32_t pass = 0; pass < passes; ++pass)
        {
            effect->BeginPass(pass);
            DrawRange(device, source, *range);
            effect->EndPass();
        }
        effect->End();
    }
    if (graphics->GetStateCache()->blendMode != savedBlend)
        graphics->SetBlendMode(savedBlend);
    return 1;
}

void ModelDraw::ForgetBindings(CGraphics* graphics, const DeviceBuffer* vertexBuffer, const DeviceBuffer* indexBuffer,
                               const DeviceVertexDeclaration* declaration)
{
    if (graphics == nullptr)
        return;
    GraphicsStateCache* cache = graphics->GetStateCache();
    if (vertexBuffer != nullptr && cache->streamBuffers != nullptr && cache->streamBuffers[0] == vertexBuffer)
        graphics->SetStreamSource(nullptr, 0);
    if (indexBuffer != nullptr && cache->indices == indexBuffer)
        graphics->SetIndices(nullptr);
    if (declaration != nullptr && cache->declaration == declaration)
        graphics->SetVertexDeclaration(nullptr);
}
