#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/FixedLightingProgram.h"

#include "engine/core/MathConstants.h"
#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"
#include "engine/platform/device/GlEnums.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
float BitsFloat(uint32_t bits)
{
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Row-vector product a x b of two row-major matrices.
void Multiply(const float* a, const float* b, float* out)
{
    for (int row = 0; row < 4; ++row)
    {
        for (int column = 0; column < 4; ++column)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[row * 4 + k] * b[k * 4 + column];
            out[row * 4 + column] = sum;
        }
    }
}
}

// ---------------------------------------------------------------------------
// Bringing GL up to the recorded state

DeviceResult GraphicsDevice::PrepareDraw(const VertexLayout& layout, uint32_t type)
{
    ApplyFramebuffer();
    if (m_renderTarget != nullptr)
        m_renderTarget->Touch();
    if (m_depthStencil != nullptr)
        m_depthStencil->Touch();
    const bool hasDiffuse = layout.diffuse.Present();
    if (m_statesDirty || layout.pretransformed != m_lastPretransformed || hasDiffuse != m_lastHadDiffuse)
    {
        ApplyStates(layout);
        m_statesDirty = false;
        m_lastPretransformed = layout.pretransformed;
        m_lastHadDiffuse = hasDiffuse;
    }
    ApplyViewport(layout.pretransformed);
    ApplyTransforms(layout.pretransformed, type <= PT_LINESTRIP);
    unsigned program = m_program;
    if (program == 0)
    {
        if (!m_fixedLighting)
            m_fixedLighting = std::make_unique<FixedLightingProgram>();
        program = m_fixedLighting->Prepare(m_lights, m_lightEnabled, m_caps.maxActiveLights, m_view, m_material,
                                           m_renderStates, layout, &m_glCalls);
    }
    if (m_gl.program != program)
    {
        KVR_GL(glUseProgram(program));
        m_gl.program = program;
    }
    return DEVICE_OK;
}

void GraphicsDevice::SetCapability(unsigned capability, bool on, bool& shadow)
{
    if (shadow == on)
        return;
    if (on)
        KVR_GL(glEnable(capability));
    else
        KVR_GL(glDisable(capability));
    shadow = on;
}

void GraphicsDevice::SetActiveTexture(unsigned unit)
{
    if (m_gl.activeTexture == unit)
        return;
    KVR_GL(glActiveTexture(GL_TEXTURE0 + unit));
    m_gl.activeTexture = unit;
}

void GraphicsDevice::BindCached(unsigned target, unsigned name, unsigned& bound)
{
    if (bound == name)
        return;
    if (target == GL_DRAW_FRAMEBUFFER || target == GL_READ_FRAMEBUFFER)
        KVR_GL(glBindFramebuffer(target, name));
    else
        KVR_GL(glBindBuffer(target, name));
    bound = name;
}

void GraphicsDevice::BindDrawFramebuffer(unsigned name)
{
    BindCached(GL_DRAW_FRAMEBUFFER, name, m_gl.drawFramebuffer);
}

void GraphicsDevice::BindReadFramebuffer(unsigned name)
{
    BindCached(GL_READ_FRAMEBUFFER, name, m_gl.readFramebuffer);
}

void GraphicsDevice::BindArrayBuffer(unsigned name)
{
    BindCached(GL_ARRAY_BUFFER, name, m_gl.arrayBuffer);
}

void GraphicsDevice::BindElementBuffer(unsigned name)
{
    BindCached(GL_ELEMENT_ARRAY_BUFFER, name, m_gl.elementBuffer);
}

void GraphicsDevice::ApplyFramebuffer()
{
    BindDrawFramebuffer(m_drawFramebuffer);
    if (!m_framebufferDirty)
        return;
    if (m_renderTarget != nullptr)
        m_renderTarget->AttachTo(GL_DRAW_FRAMEBUFFER);
    KVR_GL(glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0));
    if (m_depthStencil != nullptr)
        m_depthStencil->AttachTo(GL_DRAW_FRAMEBUFFER);
    m_glCalls += 2;
    m_framebufferDirty = false;
    // The viewport and pixel projection follow the target's size.
    m_gl.viewportValid = false;
    m_gl.matrices = MATRICES_UNKNOWN;
}

void GraphicsDevice::ApplyStates(const VertexLayout& layout)
{
    ApplyBlendAndTests();
    ApplyRasterStates();
    ApplyLightingStates(layout);
    ApplyFog(layout.pretransformed);
    ApplyTextureUnits();
    ApplySamplers();
}

void GraphicsDevice::ApplyBlendAndTests()
{
    const uint32_t* rs = m_renderStates;
    const bool blend = rs[RS_ALPHABLENDENABLE] != 0;
    SetCapability(GL_BLEND, blend, m_gl.blend);
    if (blend)
    {
        const GLenum source = GlBlendFactor(rs[RS_SRCBLEND]);
        const GLenum destination = GlBlendFactor(rs[RS_DESTBLEND]);
        if (source != m_gl.blendSource || destination != m_gl.blendDestination)
        {
            KVR_GL(glBlendFunc(source, destination));
            m_gl.blendSource = source;
            m_gl.blendDestination = destination;
        }
        const GLenum equation = GlBlendEquation(rs[RS_BLENDOP]);
        if (equation != m_gl.blendEquation)
        {
            KVR_GL(glBlendEquation(equation));
            m_gl.blendEquation = equation;
        }
    }

    const bool alphaTest = rs[RS_ALPHATESTENABLE] != 0;
    SetCapability(GL_ALPHA_TEST, alphaTest, m_gl.alphaTest);
    if (alphaTest)
    {
        const GLenum function = GlCompare(rs[RS_ALPHAFUNC]);
        const float reference = static_cast<float>(rs[RS_ALPHAREF] & 0xFF) / 255.0f;
        if (function != m_gl.alphaFunction || reference != m_gl.alphaReference)
        {
            KVR_GL(glAlphaFunc(function, reference));
            m_gl.alphaFunction = function;
            m_gl.alphaReference = reference;
        }
    }

    const bool depthTest = rs[RS_ZENABLE] != 0 && m_depthStencil != nullptr;
    SetCapability(GL_DEPTH_TEST, depthTest, m_gl.depthTest);
    if (depthTest)
    {
        const GLenum function = GlCompare(rs[RS_ZFUNC]);
        if (function != m_gl.depthFunction)
        {
            KVR_GL(glDepthFunc(function));
            m_gl.depthFunction = function;
        }
    }
    const bool depthMask = rs[RS_ZWRITEENABLE] != 0;
    if (depthMask != m_gl.depthMask)
    {
        KVR_GL(glDepthMask(depthMask ? GL_TRUE : GL_FALSE));
        m_gl.depthMask = depthMask;
    }

    const bool stencil = rs[RS_STENCILENABLE] != 0;
    SetCapability(GL_STENCIL_TEST, stencil, m_gl.stencil);
    if (stencil)
    {
        const GLenum function = GlCompare(rs[RS_STENCILFUNC]);
        const int reference = static_cast<int>(rs[RS_STENCILREF] & 0xFF);
        const uint32_t mask = rs[RS_STENCILMASK] & 0xFF;
        if (function != m_gl.stencilFunction || reference != m_gl.stencilReference || mask != m_gl.stencilMask)
        {
            KVR_GL(glStencilFunc(function, reference, mask));
            m_gl.stencilFunction = function;
            m_gl.stencilReference = reference;
            m_gl.stencilMask = mask;
        }
        const GLenum fail = GlStencilOp(rs[RS_STENCILFAIL]);
        const GLenum depthFail = GlStencilOp(rs[RS_STENCILZFAIL]);
        const GLenum pass = GlStencilOp(rs[RS_STENCILPASS]);
        if (fail != m_gl.stencilFail || depthFail != m_gl.stencilDepthFail || pass != m_gl.stencilPass)
        {
            KVR_GL(glStencilOp(fail, depthFail, pass));
            m_gl.stencilFail = fail;
            m_gl.stencilDepthFail = depthFail;
            m_gl.stencilPass = pass;
        }
    }
    const uint32_t writeMask = rs[RS_STENCILWRITEMASK] & 0xFF;
    if (writeMask != m_gl.stencilWriteMask)
    {
        KVR_GL(glStencilMask(writeMask));
        m_gl.stencilWriteMask = writeMask;
    }
    const uint32_t colorMask = rs[RS_COLORWRITEENABLE] & 0xF;
    if (colorMask != m_gl.colorMask)
    {
        KVR_GL(glColorMask((colorMask & 1) != 0, (colorMask & 2) != 0, (colorMask & 4) != 0, (colorMask & 8) != 0));
        m_gl.colorMask = colorMask;
    }
}

void GraphicsDevice::ApplyRasterStates()
{
    const uint32_t* rs = m_renderStates;
    const uint32_t cullMode = rs[RS_CULLMODE];
    const bool cull = cullMode == CULL_CW || cullMode == CULL_CCW;
    SetCapability(GL_CULL_FACE, cull, m_gl.cull);
    if (cull)
    {
        // Front faces are the screen's clockwise ones.
        const GLenum face = cullMode == CULL_CW ? GL_FRONT : GL_BACK;
        if (face != m_gl.cullFace)
        {
            KVR_GL(glCullFace(face));
            m_gl.cullFace = face;
        }
    }
    const GLenum polygonMode = rs[RS_FILLMODE] == FILL_POINT ? GL_POINT
                               : rs[RS_FILLMODE] == FILL_WIREFRAME ? GL_LINE
                                                                   : GL_FILL;
    if (polygonMode != m_gl.polygonMode)
    {
        KVR_GL(glPolygonMode(GL_FRONT_AND_BACK, polygonMode));
        m_gl.polygonMode = polygonMode;
    }
    const GLenum shadeModel = rs[RS_SHADEMODE] == SHADE_FLAT ? GL_FLAT : GL_SMOOTH;
    if (shadeModel != m_gl.shadeModel)
    {
        KVR_GL(glShadeModel(shadeModel));
        m_gl.shadeModel = shadeModel;
    }
    SetCapability(GL_DITHER, rs[RS_DITHERENABLE] != 0, m_gl.dither);
}

void GraphicsDevice::ApplyLightingStates(const VertexLayout& layout)
{
    const uint32_t* rs = m_renderStates;
    // Pre-transformed vertices carry their final colours.
    const bool lighting = rs[RS_LIGHTING] != 0 && !layout.pretransformed;
    SetCapability(GL_LIGHTING, lighting, m_gl.lighting);
    if (!lighting)
        return;
    if (rs[RS_AMBIENT] != m_gl.ambient)
    {
        float ambient[4];
        ArgbToFloats(rs[RS_AMBIENT], ambient);
        KVR_GL(glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient));
        m_gl.ambient = rs[RS_AMBIENT];
    }
    SetCapability(GL_NORMALIZE, rs[RS_NORMALIZENORMALS] != 0, m_gl.normalize);
    const bool separateSpecular = rs[RS_SPECULARENABLE] != 0;
    if (separateSpecular != m_gl.separateSpecular)
    {
        KVR_GL(glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL,
                             separateSpecular ? GL_SEPARATE_SPECULAR_COLOR : GL_SINGLE_COLOR));
        KVR_GL(glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs[RS_LOCALVIEWER] != 0 ? GL_TRUE : GL_FALSE));
        m_gl.separateSpecular = separateSpecular;
    }
    // The vertex colour stands in for the material colours whose source
    // says so, when the vertex has one.
    unsigned colorMaterial = 0;
    if (rs[RS_COLORVERTEX] != 0 && layout.diffuse.Present())
    {
        const bool diffuse = rs[RS_DIFFUSEMATERIALSOURCE] == MCS_COLOR1;
        const bool ambient = rs[RS_AMBIENTMATERIALSOURCE] == MCS_COLOR1;
        colorMaterial = diffuse && ambient ? GL_AMBIENT_AND_DIFFUSE : diffuse ? GL_DIFFUSE : ambient ? GL_AMBIENT : 0;
    }
    if (colorMaterial != m_gl.colorMaterial)
    {
        if (colorMaterial != 0)
        {
            KVR_GL(glColorMaterial(GL_FRONT_AND_BACK, colorMaterial));
            if (m_gl.colorMaterial == 0)
                KVR_GL(glEnable(GL_COLOR_MATERIAL));
        }
        else
        {
            KVR_GL(glDisable(GL_COLOR_MATERIAL));
        }
        m_gl.colorMaterial = colorMaterial;
        // Tracking overwrote material colours in GL.
        m_materialDirty = true;
    }
    if (m_materialDirty || m_gl.specularEnabled != separateSpecular)
        ApplyMaterial();
}

void GraphicsDevice::ApplyMaterial()
{
    const DeviceMaterial& material = m_material;
    const bool specular = m_renderStates[RS_SPECULARENABLE] != 0;
    const float diffuse[4] = {material.diffuse.r, material.diffuse.g, material.diffuse.b, material.diffuse.a};
    const float ambient[4] = {material.ambient.r, material.ambient.g, material.ambient.b, material.ambient.a};
    const float emissive[4] = {material.emissive.r, material.emissive.g, material.emissive.b, material.emissive.a};
    float specularColor[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    if (specular)
    {
        specularColor[0] = material.specular.r;
        specularColor[1] = material.specular.g;
        specularColor[2] = material.specular.b;
        specularColor[3] = material.specular.a;
    }
    // Set after the colour-material mode, so tracking cannot overwrite the
    // colours that stay with the material.
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emissive));
    KVR_GL(glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specularColor));
    KVR_GL(glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.power, 0.0f, 128.0f)));
    m_gl.specularEnabled = specular;
    m_materialDirty = false;
}

void GraphicsDevice::ApplyFog(bool pretransformed)
{
    const uint32_t* rs = m_renderStates;
    const uint32_t mode = rs[RS_FOGTABLEMODE] != FOG_NONE ? rs[RS_FOGTABLEMODE] : rs[RS_FOGVERTEXMODE];
    const bool fog = rs[RS_FOGENABLE] != 0 && mode != FOG_NONE && !pretransformed;
    SetCapability(GL_FOG, fog, m_gl.fog);
    if (!fog)
        return;
    const GLenum glMode = mode == FOG_EXP ? GL_EXP : mode == FOG_EXP2 ? GL_EXP2 : GL_LINEAR;
    if (glMode != m_gl.fogMode)
    {
        KVR_GL(glFogi(GL_FOG_MODE, glMode));
        m_gl.fogMode = glMode;
    }
    const float start = BitsFloat(rs[RS_FOGSTART]);
    const float end = BitsFloat(rs[RS_FOGEND]);
    const float density = BitsFloat(rs[RS_FOGDENSITY]);
    if (start != m_gl.fogStart)
    {
        KVR_GL(glFogf(GL_FOG_START, start));
        m_gl.fogStart = start;
    }
    if (end != m_gl.fogEnd)
    {
        KVR_GL(glFogf(GL_FOG_END, end));
        m_gl.fogEnd = end;
    }
    if (density != m_gl.fogDensity)
    {
        KVR_GL(glFogf(GL_FOG_DENSITY, density));
        m_gl.fogDensity = density;
    }
    if (rs[RS_FOGCOLOR] != m_gl.fogColor)
    {
        float color[4];
        ArgbToFloats(rs[RS_FOGCOLOR], color);
        KVR_GL(glFogfv(GL_FOG_COLOR, color));
        m_gl.fogColor = rs[RS_FOGCOLOR];
    }
}

void GraphicsDevice::ApplyTextureUnits()
{
    for (unsigned unit = 0; unit < MAX_TEXTURE_UNITS; ++unit)
    {
        const DeviceTexture* texture = m_textures[unit];
        const unsigned name = texture != nullptr ? texture->GetGlName() : 0;
        if (m_gl.boundTexture[unit] == name)
            continue;
        SetActiveTexture(unit);
        KVR_GL(glBindTexture(GL_TEXTURE_2D, name));
        m_gl.boundTexture[unit] = name;
    }
    // Only stage 0 runs in the fixed pipeline. Without a texture the stage
    // passes the vertex colour, as the engine's untextured draws expect.
    const bool texturing = m_gl.boundTexture[0] != 0 && m_stageStates[0][TSS_COLOROP] != TOP_DISABLE;
    if (texturing != m_gl.texture2D)
    {
        SetActiveTexture(0);
        SetCapability(GL_TEXTURE_2D, texturing, m_gl.texture2D);
    }
    if (texturing)
        ApplyTextureEnvironment();
}

void GraphicsDevice::ApplyTextureEnvironment()
{
    const uint32_t* stage = m_stageStates[0];
    const uint64_t key = static_cast<uint64_t>(stage[TSS_COLOROP] & 0xFF) |
                         static_cast<uint64_t>(stage[TSS_COLORARG1] & 0xFF) << 8 |
                         static_cast<uint64_t>(stage[TSS_COLORARG2] & 0xFF) << 16 |
                         static_cast<uint64_t>(stage[TSS_ALPHAOP] & 0xFF) << 24 |
                         static_cast<uint64_t>(stage[TSS_ALPHAARG1] & 0xFF) << 32 |
                         static_cast<uint64_t>(stage[TSS_ALPHAARG2] & 0xFF) << 40;
    const uint32_t factor = m_renderStates[RS_TEXTUREFACTOR];
    if (m_gl.textureEnvValid && key == m_gl.textureEnvKey && factor == m_gl.textureFactor)
        return;
    SetActiveTexture(0);
    KVR_GL(glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE));
    for (int channel = 0; channel < 2; ++channel)
    {
        const bool alpha = channel == 1;
        const uint32_t operation = stage[alpha ? TSS_ALPHAOP : TSS_COLOROP];
        uint32_t argument1 = stage[alpha ? TSS_ALPHAARG1 : TSS_COLORARG1];
        const uint32_t argument2 = stage[alpha ? TSS_ALPHAARG2 : TSS_COLORARG2];
        GLenum combine = GL_MODULATE;
        float scale = 1.0f;
        GLenum source2 = GL_PRIMARY_COLOR;
        switch (operation)
        {
        case TOP_DISABLE: combine = GL_REPLACE; argument1 = TA_CURRENT; break;
        case TOP_SELECTARG1: combine = GL_REPLACE; break;
        case TOP_SELECTARG2: combine = GL_REPLACE; argument1 = argument2; break;
        case TOP_MODULATE2X: scale = 2.0f; break;
        case TOP_MODULATE4X: scale = 4.0f; break;
        case TOP_ADD: combine = GL_ADD; break;
        case TOP_ADDSIGNED: combine = GL_ADD_SIGNED; break;
        case TOP_ADDSIGNED2X: combine = GL_ADD_SIGNED; scale = 2.0f; break;
        case TOP_SUBTRACT: combine = GL_SUBTRACT; break;
        case TOP_BLENDDIFFUSEALPHA: combine = GL_INTERPOLATE; source2 = GL_PRIMARY_COLOR; break;
        case TOP_BLENDTEXTUREALPHA: combine = GL_INTERPOLATE; source2 = GL_TEXTURE; break;
        default: break;
        }
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, combine));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC0_ALPHA : GL_SRC0_RGB, GlCombinerSource(argument1)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND0_ALPHA : GL_OPERAND0_RGB,
                         GlCombinerOperand(argument1, alpha)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC1_ALPHA : GL_SRC1_RGB, GlCombinerSource(argument2)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND1_ALPHA : GL_OPERAND1_RGB,
                         GlCombinerOperand(argument2, alpha)));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_SRC2_ALPHA : GL_SRC2_RGB, source2));
        KVR_GL(glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_OPERAND2_ALPHA : GL_OPERAND2_RGB, GL_SRC_ALPHA));
        KVR_GL(glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale));
    }
    float color[4];
    ArgbToFloats(factor, color);
    KVR_GL(glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, color));
    m_gl.textureEnvKey = key;
    m_gl.textureFactor = factor;
    m_gl.textureEnvValid = true;
}

void GraphicsDevice::ApplySamplers()
{
    for (unsigned unit = 0; unit < MAX_TEXTURE_UNITS; ++unit)
    {
        if (!m_samplerDirty[unit])
            continue;
        const uint32_t* states = m_samplerStates[unit];
        const unsigned sampler = m_samplers[unit];
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GlAddress(states[SAMP_ADDRESSU])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GlAddress(states[SAMP_ADDRESSV])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GlAddress(states[SAMP_ADDRESSW])));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                                   states[SAMP_MAGFILTER] >= TEXF_LINEAR ? GL_LINEAR : GL_NEAREST));
        KVR_GL(glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                                   GlMinFilter(states[SAMP_MINFILTER], states[SAMP_MIPFILTER])));
        float border[4];
        ArgbToFloats(states[SAMP_BORDERCOLOR], border);
        KVR_GL(glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border));
        m_samplerDirty[unit] = false;
    }
}

void GraphicsDevice::ApplyViewport(bool pretransformed)
{
    DeviceViewport wanted = m_viewport;
    if (pretransformed)
    {
        // Screen vertices address the whole target.
        wanted.x = 0;
        wanted.y = 0;
        wanted.width = TargetWidth();
        wanted.height = TargetHeight();
        wanted.minZ = 0.0f;
        wanted.maxZ = 1.0f;
    }
    const DeviceViewport& current = m_gl.viewport;
    if (m_gl.viewportValid && current.x == wanted.x && current.y == wanted.y && current.width == wanted.width &&
        current.height == wanted.height && current.minZ == wanted.minZ && current.maxZ == wanted.maxZ)
        return;
    // Targets are stored top-down, so the engine's top-left y is GL's y.
    KVR_GL(glViewport(static_cast<GLint>(wanted.x), static_cast<GLint>(wanted.y), static_cast<GLsizei>(wanted.width),
                      static_cast<GLsizei>(wanted.height)));
    KVR_GL(glDepthRange(wanted.minZ, wanted.maxZ));
    m_gl.viewport = wanted;
    m_gl.viewportValid = true;
}

void GraphicsDevice::ApplyTransforms(bool pretransformed, bool lines)
{
    if (pretransformed)
    {
        const uint32_t width = TargetWidth();
        const uint32_t height = TargetHeight();
        if (m_gl.matrices == MATRICES_PIXEL && m_gl.pixelWidth == width && m_gl.pixelHeight == height &&
            m_gl.pixelLines == lines)
            return;
        // Pixel (x, y) to clip space over the whole target; z is depth as
        // it stands. This is the one place of the screen-space pixel
        // convention:
        // - Triangles: a rectangle from x0 to x1 covers the pixels x0 to
        //   x1 - 1, and a pixel's centre samples the middle of its texel.
        //   Edges on half pixels (a centred sprite of odd size) meet pixel
        //   centres, where GL breaks the tie one way across and the other
        //   way down. One subpixel step right and down settles every such
        //   tie alike on both axes: an edge at 17.5 starts at pixel 18, as
        //   on a device whose pixel centres lie on integers.
        // - Lines and points move by half a pixel, so that a line at
        //   integer y runs through the middle of row y instead of along
        //   the edge of two rows.
        const float w = static_cast<float>(width);
        const float h = static_cast<float>(height);
        const float shift = lines ? 0.5f : m_subpixelStep;
        const float pixel[16] = {2.0f / w, 0, 0, 0, 0, -2.0f / h, 0, 0, 0, 0, 1, 0, 2.0f * shift / w - 1.0f,
                                 1.0f - 2.0f * shift / h, 0, 1};
        KVR_GL(glMatrixMode(GL_PROJECTION));
        KVR_GL(glLoadMatrixf(pixel));
        KVR_GL(glMatrixMode(GL_MODELVIEW));
        KVR_GL(glLoadIdentity());
        m_gl.matrices = MATRICES_PIXEL;
        m_gl.pixelWidth = width;
        m_gl.pixelHeight = height;
        m_gl.pixelLines = lines;
        return;
    }
    const bool fresh = m_gl.matrices != MATRICES_WORLD;
    if (fresh || m_gl.projectionVersion != m_projectionVersion)
    {
        KVR_GL(glMatrixMode(GL_PROJECTION));
        KVR_GL(glLoadMatrixf(m_projection));
        KVR_GL(glMatrixMode(GL_MODELVIEW));
        m_gl.projectionVersion = m_projectionVersion;
    }
    const bool lightsStale = m_renderStates[RS_LIGHTING] != 0 &&
                             (m_gl.lightsVersion != m_lightsVersion || m_gl.lightsViewVersion != m_viewVersion);
    bool loadWorldView = fresh || m_gl.viewVersion != m_viewVersion || m_gl.worldVersion != m_worldVersion;
    if (lightsStale)
    {
        // GL keeps light positions in eye space as of the call: give them
        // with the view alone.
        KVR_GL(glLoadMatrixf(m_view));
        ApplyLights();
        loadWorldView = true;
    }
    if (loadWorldView)
    {
        float worldView[16];
        Multiply(m_world, m_view, worldView);
        KVR_GL(glLoadMatrixf(worldView));
        m_gl.viewVersion = m_viewVersion;
        m_gl.worldVersion = m_worldVersion;
    }
    m_gl.matrices = MATRICES_WORLD;
}

void GraphicsDevice::ApplyLights()
{
    for (uint32_t index = 0; index < m_caps.maxActiveLights; ++index)
    {
        const GLenum light = GL_LIGHT0 + index;
        if (!m_lightEnabled[index])
        {
            KVR_GL(glDisable(light));
            continue;
        }
        const DeviceLight& source = m_lights[index];
        const float diffuse[4] = {source.diffuse.r, source.diffuse.g, source.diffuse.b, source.diffuse.a};
        const float ambient[4] = {source.ambient.r, source.ambient.g, source.ambient.b, source.ambient.a};
        const float specular[4] = {source.specular.r, source.specular.g, source.specular.b, source.specular.a};
        KVR_GL(glLightfv(light, GL_DIFFUSE, diffuse));
        KVR_GL(glLightfv(light, GL_AMBIENT, ambient));
        KVR_GL(glLightfv(light, GL_SPECULAR, specular));
        if (source.type == LIGHT_DIRECTIONAL)
        {
            // GL wants the direction towards the light.
            const float towards[4] = {-source.direction[0], -source.direction[1], -source.direction[2], 0.0f};
            KVR_GL(glLightfv(light, GL_POSITION, towards));
            KVR_GL(glLightf(light, GL_SPOT_CUTOFF, 180.0f));
            KVR_GL(glLightf(light, GL_CONSTANT_ATTENUATION, 1.0f));
            KVR_GL(glLightf(light, GL_LINEAR_ATTENUATION, 0.0f));
            KVR_GL(glLightf(light, GL_QUADRATIC_ATTENUATION, 0.0f));
        }
        else
        {
            const float position[4] = {source.position[0], source.position[1], source.position[2], 1.0f};
            KVR_GL(glLightfv(light, GL_POSITION, position));
            // All three zero would divide by zero; treat as no falloff.
            const bool none = source.attenuation0 == 0.0f && source.attenuation1 == 0.0f && source.attenuation2 == 0.0f;
            KVR_GL(glLightf(light, GL_CONSTANT_ATTENUATION, none ? 1.0f : source.attenuation0));
            KVR_GL(glLightf(light, GL_LINEAR_ATTENUATION, source.attenuation1));
            KVR_GL(glLightf(light, GL_QUADRATIC_ATTENUATION, source.attenuation2));
            if (source.type == LIGHT_SPOT)
            {
                KVR_GL(glLightfv(light, GL_SPOT_DIRECTION, source.direction));
                const float cutoff = std::clamp(source.phi * 0.5f * kRadianToDegree, 0.0f, 90.0f);
                KVR_GL(glLightf(light, GL_SPOT_CUTOFF, cutoff));
                KVR_GL(glLightf(light, GL_SPOT_EXPONENT, std::clamp(source.falloff, 0.0f, 128.0f)));
            }
            else
            {
                KVR_GL(glLightf(light, GL_SPOT_CUTOFF, 180.0f));
            }
        }
        KVR_GL(glEnable(light));
    }
    m_gl.lightsVersion = m_lightsVersion;
    m_gl.lightsViewVersion = m_viewVersion;
}

void GraphicsDevice::EnableArrays(uint32_t enabled)
{
    const uint32_t changed = enabled ^ m_gl.enabledArrays;
    if (changed == 0)
        return;
    for (int slot = 0; slot < SLOT_COUNT; ++slot)
    {
        const uint32_t bit = 1u << slot;
        if (!(changed & bit))
            continue;
        const bool on = (enabled & bit) != 0;
        if (slot >= SLOT_BLENDWEIGHT)
        {
            static const unsigned locations[4] = {VERTEX_ATTRIB_BLENDWEIGHT, VERTEX_ATTRIB_BLENDINDICES,
                                                  VERTEX_ATTRIB_TANGENT, VERTEX_ATTRIB_BINORMAL};
            const unsigned location = locations[slot - SLOT_BLENDWEIGHT];
            if (on)
                KVR_GL(glEnableVertexAttribArray(location));
            else
                KVR_GL(glDisableVertexAttribArray(location));
            continue;
        }
        GLenum array = GL_VERTEX_ARRAY;
        if (slot == SLOT_NORMAL)
            array = GL_NORMAL_ARRAY;
        else if (slot == SLOT_DIFFUSE)
            array = GL_COLOR_ARRAY;
        else if (slot >= SLOT_TEXCOORD0)
        {
            array = GL_TEXTURE_COORD_ARRAY;
            const unsigned unit = static_cast<unsigned>(slot - SLOT_TEXCOORD0);
            if (m_gl.clientActiveTexture != unit)
            {
                KVR_GL(glClientActiveTexture(GL_TEXTURE0 + unit));
                m_gl.clientActiveTexture = unit;
            }
        }
        if (on)
            KVR_GL(glEnableClientState(array));
        else
            KVR_GL(glDisableClientState(array));
    }
    // Without a colour array GL draws with the current colour, which the
    // last colour array left undefined: vertices without colour are white.
    if ((changed & (1u << SLOT_DIFFUSE)) && !(enabled & (1u << SLOT_DIFFUSE)))
        KVR_GL(glColor4f(1.0f, 1.0f, 1.0f, 1.0f));
    m_gl.enabledArrays = enabled;
}

void GraphicsDevice::SetArray(int slot, const VertexAttribute& attribute, const GlStream& stream,
                              bool pretransformed, uint32_t& enabled)
{
    if (!attribute.Present())
        return;
    enabled |= 1u << slot;
    ArrayBinding wanted;
    wanted.buffer = stream.buffer;
    wanted.pointer = static_cast<uintptr_t>(stream.offset) + static_cast<uintptr_t>(attribute.offset);
    wanted.stride = stream.stride;
    wanted.type = attribute.type;
    ArrayBinding& current = m_gl.arrays[slot];
    if (current.buffer == wanted.buffer && current.pointer == wanted.pointer && current.stride == wanted.stride &&
        current.type == wanted.type)
        return;
    BindArrayBuffer(stream.buffer);
    int components = 0;
    unsigned type = GL_FLOAT;
    bool normalized = false;
    GetDeclarationTypeInfo(attribute.type, &components, &type, &normalized);
    const void* pointer = reinterpret_cast<const void*>(wanted.pointer);
    const GLsizei stride = static_cast<GLsizei>(stream.stride);
    switch (slot)
    {
    case SLOT_POSITION:
        // Screen vertices: x, y, z; the reciprocal w is 1 in every draw of
        // the engine and takes no part.
        KVR_GL(glVertexPointer(pretransformed ? 3 : std::min(components, 4), type, stride, pointer));
        break;
    case SLOT_NORMAL: KVR_GL(glNormalPointer(type, stride, pointer)); break;
    case SLOT_DIFFUSE: KVR_GL(glColorPointer(components, type, stride, pointer)); break;
    case SLOT_BLENDWEIGHT:
    case SLOT_BLENDINDICES:
    case SLOT_TANGENT:
    case SLOT_BINORMAL:
    {
        static const unsigned locations[4] = {VERTEX_ATTRIB_BLENDWEIGHT, VERTEX_ATTRIB_BLENDINDICES,
                                              VERTEX_ATTRIB_TANGENT, VERTEX_ATTRIB_BINORMAL};
        KVR_GL(glVertexAttribPointer(locations[slot - SLOT_BLENDWEIGHT], components == GL_BGRA ? GL_BGRA : components,
                                     type, normalized ? GL_TRUE : GL_FALSE, stride, pointer));
        break;
    }
    default:
    {
        const unsigned unit = static_cast<unsigned>(slot - SLOT_TEXCOORD0);
        if (m_gl.clientActiveTexture != unit)
        {
            KVR_GL(glClientActiveTexture(GL_TEXTURE0 + unit));
            m_gl.clientActiveTexture = unit;
        }
        KVR_GL(glTexCoordPointer(components, type, stride, pointer));
        break;
    }
    }
    current = wanted;
}

void GraphicsDevice::ApplyArrays(const VertexLayout& layout, const GlStream* streams)
{
    uint32_t enabled = 0;
    const bool pre = layout.pretransformed;
    SetArray(SLOT_POSITION, layout.position, streams[layout.position.stream], pre, enabled);
    SetArray(SLOT_NORMAL, layout.normal, streams[layout.normal.stream], pre, enabled);
    SetArray(SLOT_DIFFUSE, layout.diffuse, streams[layout.diffuse.stream], pre, enabled);
    for (int i = 0; i < VertexLayout::MAX_TEXCOORDS; ++i)
        SetArray(SLOT_TEXCOORD0 + i, layout.texcoord[i], streams[layout.texcoord[i].stream], pre, enabled);
    SetArray(SLOT_BLENDWEIGHT, layout.blendWeight, streams[layout.blendWeight.stream], pre, enabled);
    SetArray(SLOT_BLENDINDICES, layout.blendIndices, streams[layout.blendIndices.stream], pre, enabled);
    SetArray(SLOT_TANGENT, layout.tangent, streams[layout.tangent.stream], pre, enabled);
    SetArray(SLOT_BINORMAL, layout.binormal, streams[layout.binormal.stream], pre, enabled);
    EnableArrays(enabled);
}
