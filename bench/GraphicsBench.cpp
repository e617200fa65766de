// 10,000 textured sprites per frame at 640x480 on the software rasterizer:
// the engine (CGraphics with the 2D presets, one DrawPrimitiveUP per sprite)
// beside a minimal hand-written GL loop drawing the same quads (one
// program, one streaming buffer, one draw per quad, no engine code). Each
// frame is cleared, drawn and read; before timing, both draw one frame and
// must cover exactly the same pixels.
#include "bench/support/BenchGraphics.h"
#include "bench/support/HandGl.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/VertexFormats.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int SPRITES = 10000;
constexpr float SIZE = 16.0f;
constexpr uint32_t BLACK = 0xFF000000;

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

uint32_t Checker(int x, int y)
{
    return ((x ^ y) & 1) ? 0xFFFFFFFF : 0xC0808080;
}

// The sprites through the engine.
class EngineSprites
{
public:
    EngineSprites()
    {
        if (!m_engine.Created())
            return;
        m_texture = m_engine.Device().CreateTexture(8, 8, 1, 0, FORMAT_A8R8G8B8);
        void* bits = nullptr;
        uint32_t pitch = 0;
        m_texture->LockRect(0, &bits, &pitch, nullptr, 0);
        for (int y = 0; y < 8; ++y)
        {
            uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + y * pitch);
            for (int x = 0; x < 8; ++x)
                row[x] = Checker(x, y);
        }
        m_texture->UnlockRect(0);
        m_ready = true;
    }
    bool Ready() const { return m_ready; }

    // Returns the GL calls it made.
    uint64_t Frame()
    {
        CGraphics& graphics = m_engine.Graphics();
        const uint64_t before = m_engine.Device().GetGlCallCount();
        graphics.BeginScene();
        m_engine.Device().Clear(CLEAR_TARGET, BLACK, 1.0f, 0);
        graphics.Begin2D();
        graphics.SetBlendMode(1);
        for (const Sprite& sprite : m_sprites)
        {
            graphics.SetTexture(m_texture.get());
            graphics.SetFVF(FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1);
            graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, sprite.corners, sizeof(TexturedScreenVertex));
        }
        graphics.EndScene();
        const uint64_t calls = m_engine.Device().GetGlCallCount() - before;
        // Wait for the rasterizer, as the hand loop does.
        m_engine.Finish();
        return calls;
    }
    std::vector<uint32_t> Picture()
    {
        Frame();
        return m_engine.ReadBack();
    }

private:
    BenchGraphics m_engine{WIDTH, HEIGHT};
    std::unique_ptr<DeviceTexture> m_texture;
    const std::vector<Sprite> m_sprites = MakeSprites();
    bool m_ready = false;
};

// The same sprites with no engine code; the engine object only supplies a
// current context.
class HandWrittenSprites
{
public:
    HandWrittenSprites()
    {
        if (!m_context.Created())
            return;
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
        m_program = std::make_unique<HandGlProgram>(vertexSource, fragmentSource);
        glUniform2f(m_program->Uniform("size"), WIDTH, HEIGHT);
        glUniform1i(m_program->Uniform("image"), 0);
        m_target = std::make_unique<HandGlTarget>(WIDTH, HEIGHT, false);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

        uint32_t texels[64];
        for (int i = 0; i < 64; ++i)
            texels[i] = Checker(i % 8, i / 8);
        glGenTextures(1, &m_texture);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 8, 0, GL_BGRA, GL_UNSIGNED_BYTE, texels);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glBindSampler(0, 0);

        glGenVertexArrays(1, &m_vertexArray);
        glBindVertexArray(m_vertexArray);
        glGenBuffers(1, &m_buffer);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffer);
        glBufferData(GL_ARRAY_BUFFER, kCapacity, nullptr, GL_STREAM_DRAW);
        const GLsizei stride = sizeof(TexturedScreenVertex);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, reinterpret_cast<void*>(16));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(20));
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glEnableVertexAttribArray(2);
        m_ready = true;
    }
    ~HandWrittenSprites()
    {
        if (!m_context.Created())
            return;
        glBindVertexArray(0);
        glDeleteVertexArrays(1, &m_vertexArray);
        glDeleteBuffers(1, &m_buffer);
        glDeleteTextures(1, &m_texture);
    }
    bool Ready() const { return m_ready; }

    void Frame()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        const GLsizei stride = sizeof(TexturedScreenVertex);
        for (const Sprite& sprite : m_sprites)
        {
            if (m_offset + static_cast<GLintptr>(sizeof sprite) > kCapacity)
            {
                glBufferData(GL_ARRAY_BUFFER, kCapacity, nullptr, GL_STREAM_DRAW);
                m_offset = 0;
            }
            glBufferSubData(GL_ARRAY_BUFFER, m_offset, sizeof sprite, sprite.corners);
            glDrawArrays(GL_TRIANGLE_FAN, static_cast<GLint>(m_offset / stride), 4);
            m_offset += sizeof sprite;
        }
        uint32_t pixel = 0;
        glReadPixels(0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &pixel);
        benchmark::DoNotOptimize(pixel);
    }
    std::vector<uint32_t> Picture()
    {
        Frame();
        return ReadBoundFramebuffer(WIDTH, HEIGHT);
    }

private:
    static constexpr GLsizeiptr kCapacity = 1 << 20;
    BenchGraphics m_context{WIDTH, HEIGHT};
    const std::vector<Sprite> m_sprites = MakeSprites();
    std::unique_ptr<HandGlProgram> m_program;
    std::unique_ptr<HandGlTarget> m_target;
    GLuint m_texture = 0;
    GLuint m_vertexArray = 0;
    GLuint m_buffer = 0;
    GLintptr m_offset = 0;
    bool m_ready = false;
};

void BM_EngineSprites(benchmark::State& state)
{
    if (!SamePicture<EngineSprites, HandWrittenSprites>(state, BLACK, 0.0))
        return;
    EngineSprites sprites;
    uint64_t glCalls = 0;
    for (auto _ : state)
        glCalls += sprites.Frame();
    state.counters["gl_calls_per_sprite"] =
        static_cast<double>(glCalls) / static_cast<double>(state.iterations() * SPRITES);
}
BENCHMARK(BM_EngineSprites)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HandWrittenGlSprites(benchmark::State& state)
{
    if (!SamePicture<EngineSprites, HandWrittenSprites>(state, BLACK, 0.0))
        return;
    HandWrittenSprites sprites;
    for (auto _ : state)
        sprites.Frame();
}
BENCHMARK(BM_HandWrittenGlSprites)->Unit(benchmark::kMillisecond)->UseRealTime();
}
