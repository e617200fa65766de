#include "engine/platform/device/GlFormat.h"

#include "engine/platform/device/GraphicsTypes.h"

#include <epoxy/gl.h>

namespace
{
GlFormat Plain(unsigned internalFormat, unsigned pixelFormat, unsigned pixelType, uint32_t bytes)
{
    GlFormat format;
    format.internalFormat = internalFormat;
    format.pixelFormat = pixelFormat;
    format.pixelType = pixelType;
    format.bytesPerPixel = bytes;
    return format;
}

GlFormat Compressed(unsigned internalFormat, uint32_t blockBytes)
{
    GlFormat format;
    format.internalFormat = internalFormat;
    format.blockBytes = blockBytes;
    format.compressed = true;
    return format;
}
}

bool LookupGlFormat(uint32_t format, GlFormat* out)
{
    GlFormat result;
    switch (format)
    {
    case FORMAT_A8R8G8B8:
        result = Plain(GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4);
        break;
    case FORMAT_X8R8G8B8:
        result = Plain(GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, 4);
        break;
    case FORMAT_R5G6B5:
        result = Plain(GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2);
        break;
    case FORMAT_X1R5G5B5:
        result = Plain(GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2);
        break;
    case FORMAT_A1R5G5B5:
        result = Plain(GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, 2);
        break;
    case FORMAT_A4R4G4B4:
        result = Plain(GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2);
        break;
    case FORMAT_X4R4G4B4:
        result = Plain(GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, 2);
        break;
    case FORMAT_A8:
        result = Plain(GL_ALPHA8, GL_ALPHA, GL_UNSIGNED_BYTE, 1);
        break;
    case FORMAT_L8:
        result = Plain(GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, 1);
        break;
    case FORMAT_R16F:
        result = Plain(GL_R16F, GL_RED, GL_HALF_FLOAT, 2);
        result.swizzleRedOnly = true;
        break;
    case FORMAT_R32F:
        result = Plain(GL_R32F, GL_RED, GL_FLOAT, 4);
        result.swizzleRedOnly = true;
        break;
    case FORMAT_A16B16G16R16F:
        result = Plain(GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8);
        break;
    case FORMAT_A32B32G32R32F:
        result = Plain(GL_RGBA32F, GL_RGBA, GL_FLOAT, 16);
        break;
    case FORMAT_D24S8:
        result = Plain(GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4);
        result.depth = true;
        break;
    case FORMAT_D16:
        result = Plain(GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, 2);
        result.depth = true;
        break;
    case FORMAT_DXT1:
        result = Compressed(GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 8);
        break;
    case FORMAT_DXT2:
    case FORMAT_DXT3:
        result = Compressed(GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 16);
        break;
    case FORMAT_DXT4:
    case FORMAT_DXT5:
        result = Compressed(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16);
        break;
    default:
        return false;
    }
    if (out != nullptr)
        *out = result;
    return true;
}

uint32_t GetFormatPitch(const GlFormat& format, uint32_t width)
{
    if (format.compressed)
        return ((width + 3) / 4) * format.blockBytes;
    return width * format.bytesPerPixel;
}

uint32_t GetFormatRows(const GlFormat& format, uint32_t height)
{
    return format.compressed ? (height + 3) / 4 : height;
}
