#include "engine/platform/device/GlEnums.h"

GLenum GlBlendFactor(uint32_t factor)
{
    switch (factor)
    {
    case BLEND_ZERO: return GL_ZERO;
    case BLEND_ONE: return GL_ONE;
    case BLEND_SRCCOLOR: return GL_SRC_COLOR;
    case BLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case BLEND_SRCALPHA: return GL_SRC_ALPHA;
    case BLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case BLEND_DESTALPHA: return GL_DST_ALPHA;
    case BLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case BLEND_DESTCOLOR: return GL_DST_COLOR;
    case BLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case BLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    default: return GL_ONE;
    }
}

GLenum GlBlendEquation(uint32_t operation)
{
    switch (operation)
    {
    case BLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case BLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case BLENDOP_MIN: return GL_MIN;
    case BLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
    }
}

GLenum GlCompare(uint32_t function)
{
    if (function < CMP_NEVER || function > CMP_ALWAYS)
        return GL_ALWAYS;
    return GL_NEVER + (function - CMP_NEVER);
}

GLenum GlStencilOp(uint32_t operation)
{
    switch (operation)
    {
    case STENCILOP_ZERO: return GL_ZERO;
    case STENCILOP_REPLACE: return GL_REPLACE;
    case STENCILOP_INCRSAT: return GL_INCR;
    case STENCILOP_DECRSAT: return GL_DECR;
    case STENCILOP_INVERT: return GL_INVERT;
    case STENCILOP_INCR: return GL_INCR_WRAP;
    case STENCILOP_DECR: return GL_DECR_WRAP;
    default: return GL_KEEP;
    }
}

GLenum GlPrimitive(uint32_t type)
{
    switch (type)
    {
    case PT_POINTLIST: return GL_POINTS;
    case PT_LINELIST: return GL_LINES;
    case PT_LINESTRIP: return GL_LINE_STRIP;
    case PT_TRIANGLELIST: return GL_TRIANGLES;
    case PT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case PT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
    }
}

GLenum GlAddress(uint32_t address)
{
    switch (address)
    {
    case TADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case TADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case TADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    default: return GL_REPEAT;
    }
}

GLenum GlMinFilter(uint32_t minFilter, uint32_t mipFilter)
{
    const bool linear = minFilter >= TEXF_LINEAR;
    if (mipFilter == TEXF_NONE)
        return linear ? GL_LINEAR : GL_NEAREST;
    if (mipFilter == TEXF_POINT)
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLenum GlCombinerSource(uint32_t argument)
{
    switch (argument & TA_SELECTMASK)
    {
    case TA_CURRENT: return GL_PREVIOUS;
    case TA_TEXTURE: return GL_TEXTURE;
    case TA_TFACTOR: return GL_CONSTANT;
    default: return GL_PRIMARY_COLOR;
    }
}

GLenum GlCombinerOperand(uint32_t argument, bool alpha)
{
    const bool complement = (argument & TA_COMPLEMENT) != 0;
    if (alpha || (argument & TA_ALPHAREPLICATE))
        return complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    return complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

void ArgbToFloats(uint32_t argb, float out[4])
{
    out[0] = static_cast<float>((argb >> 16) & 0xFF) / 255.0f;
    out[1] = static_cast<float>((argb >> 8) & 0xFF) / 255.0f;
    out[2] = static_cast<float>(argb & 0xFF) / 255.0f;
    out[3] = static_cast<float>((argb >> 24) & 0xFF) / 255.0f;
}

const char* GlErrorName(GLenum error)
{
    switch (error)
    {
    case GL_NO_ERROR: return "GL_NO_ERROR";
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    default: return "unknown GL error";
    }
}
