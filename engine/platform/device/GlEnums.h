#pragma once

#include "engine/platform/device/GraphicsTypes.h"

#include <epoxy/gl.h>

#include <cstdint>

// What the graphics device's source files share on the GL side.

// Every GL call of the device goes through this, so that tests and the
// benchmark can see how many calls a frame costs.
#define KVR_GL(call) \
    do \
    { \
        ++m_glCalls; \
        call; \
    } while (0)

// The device's numbers (the values the engine's callers pass) as GL's.
GLenum GlBlendFactor(uint32_t factor);
GLenum GlBlendEquation(uint32_t operation);
GLenum GlCompare(uint32_t function);
GLenum GlStencilOp(uint32_t operation);
GLenum GlPrimitive(uint32_t type);
GLenum GlAddress(uint32_t address);
GLenum GlMinFilter(uint32_t minFilter, uint32_t mipFilter);
GLenum GlCombinerSource(uint32_t argument);
GLenum GlCombinerOperand(uint32_t argument, bool alpha);
void ArgbToFloats(uint32_t argb, float out[4]);

// GL's name for an error that glGetError returned ("GL_OUT_OF_MEMORY").
const char* GlErrorName(GLenum error);
