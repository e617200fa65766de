#include "engine/platform/device/DeviceSurface.h"

#include "engine/core/FailureLog.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GlEnums.h"
#include "engine/platform/device/GlFormat.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/GraphicsTypes.h"

#include <epoxy/gl.h>

DeviceSurface::DeviceSurface(GraphicsDevice* device, uint32_t width, uint32_t height, uint32_t format)
    : DeviceResource(device), m_width(width), m_height(height), m_format(format)
{
    GlFormat glFormat;
    const bool known = LookupGlFormat(format, &glFormat);
    m_kind = known && glFormat.depth ? KIND_DEPTH_STENCIL : KIND_COLOR_BUFFER;
    if (m_device == nullptr || !known || glFormat.compressed || width == 0 || height == 0)
        return;
    glGenRenderbuffers(1, &m_name);
    glBindRenderbuffer(GL_RENDERBUFFER, m_name);
    glRenderbufferStorage(GL_RENDERBUFFER, glFormat.internalFormat, width, height);
    m_device->AddGlCalls(3);
    if (const GLenum error = glGetError(); error != GL_NO_ERROR)
    {
        LogFailure("graphics: renderbuffer storage", GlErrorName(error));
        FreeGlObjects();
    }
}

DeviceSurface::DeviceSurface(GraphicsDevice* device, DeviceTexture* texture, uint32_t level)
    : DeviceResource(device), m_kind(KIND_TEXTURE_LEVEL), m_texture(texture), m_level(level)
{
    m_width = texture->GetWidth(level);
    m_height = texture->GetHeight(level);
    m_format = texture->GetFormat();
}

DeviceSurface::~DeviceSurface()
{
    if (m_device != nullptr)
        FreeGlObjects();
}

void DeviceSurface::FreeGlObjects()
{
    if (m_name != 0)
    {
        glDeleteRenderbuffers(1, &m_name);
        m_device->AddGlCalls(1);
        m_name = 0;
    }
    m_texture = nullptr;
}

bool DeviceSurface::HasStencil() const
{
    return m_format == FORMAT_D24S8;
}

void DeviceSurface::AttachTo(unsigned target) const
{
    if (m_kind == KIND_TEXTURE_LEVEL)
    {
        if (m_texture != nullptr)
            glFramebufferTexture2D(target, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, m_texture->GetGlName(), m_level);
        return;
    }
    if (m_kind == KIND_DEPTH_STENCIL)
    {
        const GLenum attachment = HasStencil() ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
        glFramebufferRenderbuffer(target, attachment, GL_RENDERBUFFER, m_name);
        return;
    }
    glFramebufferRenderbuffer(target, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_name);
}
