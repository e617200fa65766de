#include "engine/platform/device/DeviceTexture.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/GlEnums.h"
#include "engine/platform/device/GraphicsDevice.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace
{
uint32_t FullChainLength(uint32_t width, uint32_t height)
{
    uint32_t levels = 1;
    uint32_t size = std::max(width, height);
    while (size > 1)
    {
        size >>= 1;
        ++levels;
    }
    return levels;
}
}

DeviceTexture::DeviceTexture(GraphicsDevice* device, uint32_t width, uint32_t height, uint32_t levels,
                             uint32_t usage, uint32_t format)
    : DeviceResource(device), m_width(width), m_height(height), m_usage(usage), m_format(format)
{
    if (m_device == nullptr || width == 0 || height == 0 || !LookupGlFormat(format, &m_glFormat) ||
        m_glFormat.depth)
        return;
    if ((usage & USAGE_RENDERTARGET) && m_glFormat.compressed)
        return;
    const uint32_t chain = FullChainLength(width, height);
    m_levels = levels == 0 || levels > chain ? chain : levels;
    m_copies.resize(m_levels);
    m_surfaces.resize(m_levels);

    glGenTextures(1, &m_name);
    Bind();
    // A texture with fewer levels than the full chain is complete only
    // when GL knows where the chain stops.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(m_levels - 1));
    if (m_glFormat.swizzleRedOnly)
    {
        const GLint swizzle[4] = {GL_RED, GL_ONE, GL_ONE, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    }
    for (uint32_t level = 0; level < m_levels; ++level)
    {
        const uint32_t w = GetWidth(level);
        const uint32_t h = GetHeight(level);
        if (m_glFormat.compressed)
        {
            const uint32_t size = GetFormatPitch(m_glFormat, w) * GetFormatRows(m_glFormat, h);
            std::vector<uint8_t> zero(size, 0);
            glCompressedTexImage2D(GL_TEXTURE_2D, level, m_glFormat.internalFormat, w, h, 0, size, zero.data());
        }
        else
        {
            glTexImage2D(GL_TEXTURE_2D, level, m_glFormat.internalFormat, w, h, 0, m_glFormat.pixelFormat,
                         m_glFormat.pixelType, nullptr);
        }
    }
    m_device->AddGlCalls(3 + m_levels);
    if (const GLenum error = glGetError(); error != GL_NO_ERROR)
    {
        LogFailure("graphics: texture storage", GlErrorName(error));
        FreeGlObjects();
    }
}

DeviceTexture::~DeviceTexture()
{
    if (m_device != nullptr)
        FreeGlObjects();
}

void DeviceTexture::FreeGlObjects()
{
    // Surfaces of the levels go with the texture.
    m_surfaces.clear();
    if (m_name == 0)
        return;
    m_device->ForgetGlTexture(m_name);
    glDeleteTextures(1, &m_name);
    m_device->AddGlCalls(1);
    m_name = 0;
}

uint32_t DeviceTexture::GetWidth(uint32_t level) const
{
    return level < 32 ? std::max(1u, m_width >> level) : 1u;
}

uint32_t DeviceTexture::GetHeight(uint32_t level) const
{
    return level < 32 ? std::max(1u, m_height >> level) : 1u;
}

void DeviceTexture::Bind()
{
    m_device->BindTextureForUpload(m_name);
}

void DeviceTexture::ReadLevel(uint32_t level, LevelCopy& copy)
{
    Bind();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (m_glFormat.compressed)
        glGetCompressedTexImage(GL_TEXTURE_2D, level, copy.bytes.data());
    else
        glGetTexImage(GL_TEXTURE_2D, level, m_glFormat.pixelFormat, m_glFormat.pixelType, copy.bytes.data());
    m_device->AddGlCalls(2);
}

DeviceResult DeviceTexture::LockRect(uint32_t level, void** bits, uint32_t* pitch, const DeviceRect* rect,
                                     uint32_t flags)
{
    if (bits == nullptr || m_name == 0 || level >= m_levels || m_copies[level].locked)
        return DEVICE_ERROR_INVALID_CALL;
    LevelCopy& copy = m_copies[level];
    const uint32_t rowBytes = GetFormatPitch(m_glFormat, GetWidth(level));
    const uint32_t rows = GetFormatRows(m_glFormat, GetHeight(level));
    const bool fresh = copy.bytes.empty();
    if (fresh)
        copy.bytes.assign(static_cast<size_t>(rowBytes) * rows, 0);
    // A render target's contents live on the GPU; read them unless the
    // caller throws them away anyway.
    if ((m_usage & USAGE_RENDERTARGET) && !(flags & LOCK_DISCARD))
        ReadLevel(level, copy);
    uint32_t offset = 0;
    if (rect != nullptr)
    {
        if (rect->left < 0 || rect->top < 0 || rect->right <= rect->left || rect->bottom <= rect->top ||
            static_cast<uint32_t>(rect->right) > GetWidth(level) ||
            static_cast<uint32_t>(rect->bottom) > GetHeight(level))
            return DEVICE_ERROR_INVALID_CALL;
        const uint32_t block = m_glFormat.compressed ? 4u : 1u;
        const uint32_t left = static_cast<uint32_t>(rect->left);
        const uint32_t column = m_glFormat.compressed ? (left / 4) * m_glFormat.blockBytes
                                                      : left * m_glFormat.bytesPerPixel;
        offset = (static_cast<uint32_t>(rect->top) / block) * rowBytes + column;
    }
    copy.locked = true;
    copy.flags = flags;
    copy.partial = rect != nullptr && !m_glFormat.compressed;
    if (copy.partial)
        copy.rect = *rect;
    *bits = copy.bytes.data() + offset;
    if (pitch != nullptr)
        *pitch = rowBytes;
    return DEVICE_OK;
}

DeviceResult DeviceTexture::UnlockRect(uint32_t level)
{
    if (level >= m_levels || !m_copies[level].locked)
        return DEVICE_ERROR_INVALID_CALL;
    LevelCopy& copy = m_copies[level];
    copy.locked = false;
    if ((copy.flags & LOCK_READONLY) || m_name == 0)
        return DEVICE_OK;
    if (level < m_surfaces.size() && m_surfaces[level])
        m_surfaces[level]->Touch();
    UploadLevel(level, copy);
    m_device->AddGlCalls(2);
    if ((m_usage & USAGE_AUTOGENMIPMAP) && level == 0)
        GenerateMipmaps();
    // Render targets change on the GPU; a kept copy would go stale.
    if (m_usage & USAGE_RENDERTARGET)
        copy.bytes.clear();
    return DEVICE_OK;
}

// A lock of a rectangle uploads only its rows and columns: a glyph cache
// writes one small entry at a time into a large texture.
void DeviceTexture::UploadLevel(uint32_t level, const LevelCopy& copy)
{
    Bind();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const uint32_t w = GetWidth(level);
    const uint32_t h = GetHeight(level);
    if (m_glFormat.compressed)
    {
        glCompressedTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, m_glFormat.internalFormat,
                                  static_cast<GLsizei>(copy.bytes.size()), copy.bytes.data());
        return;
    }
    if (!copy.partial)
    {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, w, h, m_glFormat.pixelFormat, m_glFormat.pixelType,
                        copy.bytes.data());
        return;
    }
    const DeviceRect& rect = copy.rect;
    const size_t offset = static_cast<size_t>(rect.top) * GetFormatPitch(m_glFormat, w) +
                          static_cast<size_t>(rect.left) * m_glFormat.bytesPerPixel;
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(w));
    glTexSubImage2D(GL_TEXTURE_2D, level, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                    m_glFormat.pixelFormat, m_glFormat.pixelType, copy.bytes.data() + offset);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

DeviceSurface* DeviceTexture::GetSurfaceLevel(uint32_t level)
{
    if (m_name == 0 || level >= m_levels)
        return nullptr;
    if (!m_surfaces[level])
        m_surfaces[level] = std::make_unique<DeviceSurface>(m_device, this, level);
    return m_surfaces[level].get();
}

void DeviceTexture::GenerateMipmaps()
{
    if (m_name == 0 || m_levels < 2 || m_glFormat.compressed)
        return;
    Bind();
    glGenerateMipmap(GL_TEXTURE_2D);
    m_device->AddGlCalls(1);
}
