// Model loading and skinned drawing.
//   BM_LoadModelFromMemory: a 50,000-triangle model file read from memory
//     (goal: at least 200 MB/s of file data).
//   BM_EngineSkinnedModels beside BM_HandWrittenGlSkinned: 200 skinned
//     2,000-triangle models a frame at 640x480 on the software rasterizer,
//     through CMesh, its controller and the default effect, and through a
//     minimal GL loop (one program, one buffer pair, the same vertices and
//     bone matrices; goal: engine time at most 1.5 times the hand loop's).
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "tests/support/HeadlessWindow.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/ModelDeviceBuffers.h"
#include "tests/engine/render/ModelSamples.h"

#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <memory>
#include <vector>

namespace
{
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int MODELS = 200;
constexpr uint32_t CELLS_X = 50;
constexpr uint32_t CELLS_Y = 20; // 50 x 20 x 2 = 2,000 triangles

void BM_LoadModelFromMemory(benchmark::State& state)
{
    CMesh source;
    // 158 x 158 cells: 49,928 triangles.
    source.GetObjectList()->Add(ModelSamples::GridObject(
        "Big", 158, KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0 | KVRVERTEX_COLOR));
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    for (auto _ : state)
    {
        CMesh mesh;
        const uint32_t loaded = ModelSamples::LoadFromMemory(&mesh, bytes);
        benchmark::DoNotOptimize(loaded);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    state.counters["file_bytes"] = double(bytes.size());
}
BENCHMARK(BM_LoadModelFromMemory)->Unit(benchmark::kMillisecond);

struct Engine
{
    Engine()
    {
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

// A strip of CELLS_X x CELLS_Y quads, 0.1 wide per cell: the left half
// weighted to bone 1, the right half to bone 2.
void FillStrip(CMesh* mesh)
{
    CModelObject* object = new CModelObject();
    object->SetName("Strip");
    CModelVertexList* vertices = object->GetVertexList();
    vertices->format = KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0;
    for (uint32_t y = 0; y <= CELLS_Y; ++y)
    {
        for (uint32_t x = 0; x <= CELLS_X; ++x)
        {
            tag_KVRMODELVERTEX v = ModelSamples::Vertex(float(x) * 0.1f, float(y) * 0.1f, 0.0f, 0.0f, 0.0f);
            v.normal.Set(0, 0, -1);
            vertices->Add(v);
        }
    }
    std::vector<uint32_t> indices;
    const uint32_t side = CELLS_X + 1;
    for (uint32_t y = 0; y < CELLS_Y; ++y)
    {
        for (uint32_t x = 0; x < CELLS_X; ++x)
        {
            const uint32_t a = y * side + x;
            indices.insert(indices.end(), {a, a + side + 1, a + 1, a, a + side, a + side + 1});
        }
    }
    object->GetIndexSet()->indices.SetArray(indices.data(), uint32_t(indices.size()));
    const tag_KVRMODELINDEXOFFSET range = {0, uint32_t(indices.size())};
    object->GetIndexSet()->ranges.Add(range);
    tag_KVRMODELMATERIAL material = ModelSamples::Material("M", nullptr, nullptr);
    object->GetMaterials()->Add(material);
    mesh->GetObjectList()->Add(object);
    CModelBone* left = ModelSamples::AddBone(mesh, "Left", nullptr);
    CModelBone* right = ModelSamples::AddBone(mesh, "Right", left);
    right->GetLocalMatrix()->m[12] = 2.5f;
    right->GetOffsetMatrix()->m[12] = -2.5f;
    for (uint32_t i = 0; i < vertices->GetCount(); ++i)
        ModelSamples::AddWeight(mesh, (i % side) <= CELLS_X / 2 ? left : right, 0, i, 1.0f);
}

CkvrMatrix Placement(int i)
{
    CkvrMatrix world;
    world.m[12] = float(i % 20) * 0.6f - 6.0f;
    world.m[13] = float(i / 20) * 0.45f - 2.2f;
    world.m[0] = world.m[5] = world.m[10] = 0.1f;
    return world;
}

void SetUpCamera(CCamera* camera)
{
    const float eye[3] = {0, 0, -10};
    const float target[3] = {0, 0, 0};
    const float up[3] = {0, 1, 0};
    camera->SetLookAt(eye, target, up);
    camera->SetOrtho(13.0f, 9.75f, 1.0f, 100.0f);
    camera->SetViewport(0, 0, WIDTH, HEIGHT);
    camera->Apply();
}

void BM_EngineSkinnedModels(benchmark::State& state)
{
    Engine engine;
    if (!engine.created)
    {
        state.SkipWithError("no graphics device");
        return;
    }
    CMesh source;
    FillStrip(&source);
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    CMesh mesh;
    mesh.LoadFromPack(bytes.data(), "Strip.mdl", uint32_t(bytes.size()), nullptr, nullptr);
    CCamera camera;
    SetUpCamera(&camera);
    std::vector<CAnimationController*> controllers;
    for (int i = 0; i < MODELS; ++i)
    {
        controllers.push_back(mesh.CreateAnimationController());
        const CkvrMatrix world = Placement(i);
        controllers.back()->UpdatePose(&world);
    }
    GraphicsDevice& device = *engine.graphics.GetDevice();
    for (auto _ : state)
    {
        engine.graphics.BeginScene();
        device.Clear(CLEAR_TARGET | CLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        engine.graphics.Begin3D();
        for (int i = 0; i < MODELS; ++i)
        {
            const CkvrMatrix world = Placement(i);
            controllers[i]->UpdatePose(&world);
            mesh.DrawSkinned(&world, nullptr, controllers[i]);
        }
        engine.graphics.EndScene();
        uint32_t pixel = 0;
        device.ReadPixels(device.GetBackBuffer(), 0, 0, 1, 1, &pixel);
        benchmark::DoNotOptimize(pixel);
    }
    for (CAnimationController* controller : controllers)
        controller->Release();
    engine.graphics.SetCamera(nullptr);
    mesh.Release();
}
BENCHMARK(BM_EngineSkinnedModels)->Unit(benchmark::kMillisecond)->UseRealTime();

GLuint Compile(GLenum type, const char* source)
{
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    return shader;
}

void BM_HandWrittenGlSkinned(benchmark::State& state)
{
    Engine engine;
    if (!engine.created)
    {
        state.SkipWithError("no graphics context");
        return;
    }
    CMesh mesh;
    FillStrip(&mesh);
    CAnimationController* controller = mesh.CreateAnimationController();
    CCamera camera;
    SetUpCamera(&camera);
    CkvrMatrix viewProjection;
    camera.GetViewProjection(&viewProjection);

    const char* vertexSource = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec4 weights;
layout(location = 2) in uvec4 bones;
layout(location = 3) in vec3 normal;
uniform mat4x3 palette[75];
uniform mat4 viewProjection;
out float light;
void main()
{
    vec3 p = vec3(0.0);
    vec3 n = vec3(0.0);
    for (int i = 0; i < 4; ++i)
    {
        p += (palette[bones[i]] * vec4(position, 1.0)) * weights[i];
        n += (mat3(palette[bones[i]]) * normal) * weights[i];
    }
    gl_Position = viewProjection * vec4(p, 1.0);
    light = max(dot(normalize(n), vec3(0.0, 0.0, -1.0)), 0.0);
})";
    const char* fragmentSource = R"(#version 330 core
in float light;
uniform vec4 diffuse;
out vec4 fragment;
void main()
{
    fragment = diffuse * light;
})";
    const GLuint program = glCreateProgram();
    const GLuint vertexShader = Compile(GL_VERTEX_SHADER, vertexSource);
    const GLuint fragmentShader = Compile(GL_FRAGMENT_SHADER, fragmentSource);
    glAttachShader(program, vertexShader);
    glAttachShader(program, fragmentShader);
    glLinkProgram(program);
    glUseProgram(program);
    // The row-vector matrix is GL's column-major transpose: pass it as is
    // with the vector on the right of a transposed product.
    glUniformMatrix4fv(glGetUniformLocation(program, "viewProjection"), 1, GL_FALSE, viewProjection.m);
    const GLint paletteLocation = glGetUniformLocation(program, "palette");
    const float diffuse[4] = {0.8f, 0.6f, 0.4f, 1.0f};
    glUniform4fv(glGetUniformLocation(program, "diffuse"), 1, diffuse);

    GLuint framebuffer = 0;
    GLuint colorBuffer = 0;
    GLuint depthBuffer = 0;
    glGenRenderbuffers(1, &colorBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, colorBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, WIDTH, HEIGHT);
    glGenRenderbuffers(1, &depthBuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, WIDTH, HEIGHT);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer);
    glViewport(0, 0, WIDTH, HEIGHT);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);

    CModelObject* object = mesh.GetObjectList()->GetItem(0);
    const CModelVertexList& vertices = *object->GetVertexList();
    std::vector<uint8_t> packed(vertices.GetCount() * KVR_MODEL_VERTEX_STRIDE);
    for (uint32_t i = 0; i < vertices.GetCount(); ++i)
        ModelDeviceBuffers::PackVertex(*vertices.GetAt(i), packed.data() + i * KVR_MODEL_VERTEX_STRIDE);
    const CList<uint32_t>& indices = object->GetIndexSet()->indices;
    std::vector<uint16_t> shortIndices(indices.GetData(), indices.GetData() + indices.GetCount());
    GLuint vertexArray = 0;
    GLuint buffers[2] = {};
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(packed.size()), packed.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(shortIndices.size() * 2), shortIndices.data(), GL_STATIC_DRAW);
    const GLsizei stride = KVR_MODEL_VERTEX_STRIDE;
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
    glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(12));
    glVertexAttribIPointer(2, 4, GL_UNSIGNED_BYTE, stride, reinterpret_cast<void*>(28));
    glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(32));
    for (GLuint i = 0; i < 4; ++i)
        glEnableVertexAttribArray(i);

    std::vector<float> palette(size_t(controller->GetBoneCount()) * 12);
    for (auto _ : state)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < MODELS; ++i)
        {
            const CkvrMatrix world = Placement(i);
            controller->UpdatePose(&world);
            const CkvrMatrix* matrices = controller->GetBoneMatrices();
            for (uint32_t b = 0; b < controller->GetBoneCount(); ++b)
            {
                for (int row = 0; row < 4; ++row)
                    for (int column = 0; column < 3; ++column)
                        palette[b * 12 + row * 3 + column] = matrices[b].m[row * 4 + column];
            }
            glUniformMatrix4x3fv(paletteLocation, GLsizei(controller->GetBoneCount()), GL_FALSE, palette.data());
            glDrawElements(GL_TRIANGLES, GLsizei(shortIndices.size()), GL_UNSIGNED_SHORT, nullptr);
        }
        uint32_t pixel = 0;
        glReadPixels(0, 0, 1, 1, GL_BGRA, GL_UNSIGNED_BYTE, &pixel);
        benchmark::DoNotOptimize(pixel);
    }
    controller->Release();
    engine.graphics.SetCamera(nullptr);
    glBindVertexArray(0);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(2, buffers);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteRenderbuffers(1, &colorBuffer);
    glDeleteRenderbuffers(1, &depthBuffer);
    glDeleteShader(vertexShader);
    glDeleteShader(fragmentShader);
    glDeleteProgram(program);
}
BENCHMARK(BM_HandWrittenGlSkinned)->Unit(benchmark::kMillisecond)->UseRealTime();
}
