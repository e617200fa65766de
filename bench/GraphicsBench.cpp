// 10,000 textured sprites per frame at 640x480 on the software rasterizer:
// the engine (CGraphics with the 2D presets, one DrawPrimitiveUP per sprite)
// beside a minimal hand-written GL loop drawing the same quads (one
// program, one streaming buffer, one draw per quad, no engine code).
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/VertexFormats.h"
#include "engine/render/RenderClasses.h"
#include "tests/support/HeadlessWindow.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int SPRITES = 10000;
constexpr float SIZE = 16.0f;

struct Sprite
{
    TexturedScreenVertex corners[4];
};

std::vector<Sprite> MakeSprites()
{
    std::vector<Sprite> sprites(SPRITES);
    uint32_t seed = 12345;
    for (Sprite& sprite : sprites)
    {
        seed = seed * 1664525u + 1013904223u;
        const float x = static_cast<float>(seed % (WIDTH - 16));
        seed = seed * 1664525u + 1013904223u;
        const float y = static_cast<float>(seed % (HEIGHT - 16));
        const uint32_t color = 0x80000000u | (seed >> 8);
        sprite.corners[0] = {x, y, 0, 1, color, 0, 0};
        sprite.corners[1] = {x + SIZE, y, 0, 1, color, 1, 0};
        sprite.corners[2] = {x + SIZE, y + SIZE, 0, 1, color, 1, 1};
        sprite.corners[3] = {x, y + SIZE, 0, 1, color, 0, 1};
    }
    return sprites;
}

// A CGraphics on a headless 640x480 window, set up as the program's
// start-up does it.
struct Engine
{
    Engine()
    {
        RenderClasses::Install();
        window = std::make_unique<HeadlessWindow>(nullptr);
        system.AttachWindow(window.get());
        system.SetClientSize(WIDTH, HEIGHT, 0);
        created = graphics.Create(&system) != 0;
    }
    ~Engine()
    {
        graphics.Destroy();
        system.Release();
    }
    std::unique_ptr<HeadlessWindow> window;
    CSystem system;
    CGraphics graphics;
    bool created = false;
};

void FillTexture(DeviceTexture* texture)
{
    void* bits = nullptr;
    uint32_t pitch = 0;
    texture->LockRect(0, &bits, &pitch, nullptr, 0);
    for (uint32_t y = 0; y < 8; ++y)
    {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch);
        for (uint32_t x = 0; x < 8; ++x)
            row[x] = ((x ^ y) & 1) ? 0xFFFFFFFF : 0xC0808080;
    }
    texture->UnlockRect(0);
}

void BM_EngineSprites(benchmark::State& state)
{
    Engine engine;
    if (!engine.created)
    {
        state.SkipWithError("no graphics device");
        return;
    }
    CGraphics& graphics = engine.graphics;
    GraphicsDevice& device = *graphics.GetDevice();
    std::unique_ptr<DeviceTexture> texture(device.CreateTexture(8, 8, 1, 0, FORMAT_A8R8G8B8));
    FillTexture(texture.get());
    const std::vector<Sprite> sprites = MakeSprites();
    uint64_t glCalls = 0;
    uint64_t frames = 0;
    for (auto _ : state)
    {
        const uint64_t before = device.GetGlCallCount();
        graphics.BeginScene();
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        for (const Sprite& sprite : sprites)
        {
            graphics.SetTexture(texture.get());
            graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1);
            graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, sprite.corners, sizeof(TexturedScreenVertex));
        }
        graphics.EndScene();
        glCalls += device.GetGlCallCount() - before;
        ++frames;
        // Wait for the rasterizer, as the hand loop does.
        uint32_t pixel = 0;
        device.ReadPixels(device.GetBackBuffer(), 0, 0, 1, 1, &pixel);
        benchmark::DoNotOptimize(pixel);
    }
    state.counters["gl_calls_per_sprite"] = static_cast<double>(glCalls) / static_cast<double>(frames * SPRITES);
}
BENCHMARK(BM_EngineSprites)->Unit(benchmark::kMillisecond)->UseRealTime();

GLuint Compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

void BM_HandWrittenGlSprites(benchmark::State& state)
{
    // The engine object only supplies a current context.
    Engine engine;
    if (!engine.created)
    {
        state.SkipWithError("no graphics context");
        return;
    }
    const char* vertexSource = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 color;
layout(location = 2) in vec2 uv;
uniform vec2 size;
out vec4 vColor;
out vec2 vUv;
void main()
{
    gl_Position = vec4(position.x * 2.0 / size.x - 1.0, 1.0 - position.y * 2.0 / size.y, position.z, 1.0);
    vColor = color.bgra;
    vUv = uv;
})";
    const char* fragmentSource = R"(#version 330 core
in vec4 vColor;
in vec2 vUv;
uniform sampler2D image;
out vec4 fragment;
void main()
{
    fragment = texture(image, vUv) * vColor;
})";
    const GLuint program = glCreateProgram();
    const GLuint vertexShader = Compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragmentShader = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    glUseProgram(program);
    glUniform2f(glGetUniformLocation(program, "size"), WIDTH, HEIGHT);
    glUniform1i(glGetUniformLocation(program, "image"), 0);

    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    glGenRenderbuffers(1, &colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, WIDTH, HEIGHT);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    glViewport(0, 0, WIDTH, HEIGHT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    uint32_t texels[64];
    for (int i = 0; i < 64; ++i)
        texels[i] = (((i % 8) ^ (i / 8)) & 1) ? 0xFFFFFFFF : 0xC0808080;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindSampler(0, 0);

    GLuint vertexArray = 0;
    GLuint buffer = 0;
    const GLsizeiptr capacity = 1 << 20;
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, capacity, nullptr, GL_STREAM_DRAW);
    const GLsizei stride = sizeof(TexturedScreenVertex);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(16));
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(20));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glEnableVertexAttribArray(2);

    const std::vector<Sprite> sprites = MakeSprites();
    GLintptr offset = 0;
    for (auto _ : state)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        for (const Sprite& sprite : sprites)
        {
            if (offset + static_cast<GLintptr>(sizeof sprite) > capacity)
            {
                glBufferData(GL_ARRAY_BUFFER, capacity, nullptr, GL_STREAM_DRAW);
                offset = 0;
            }
            glBufferSubData(GL_ARRAY_BUFFER, offset, sizeof sprite, sprite.corners);
            glDrawArrays(GL_TRIANGLE_FAN, static_cast<GLint>(offset / stride), 4);
            offset += sizeof sprite;
        }
        uint32_t pixel = 0;
        glReadPixels(0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &pixel);
        benchmark::DoNotOptimize(pixel);
    }

    glBindVertexArray(0);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &buffer);
    glDeleteTextures(1, &texture);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colorBuffer);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}
BENCHMARK(BM_HandWrittenGlSprites)->Unit(benchmark::kMillisecond)->UseRealTime();
}
