// Model loading and skinned drawing.
//   BM_LoadModelFromMemory: a 50,000-triangle model file read from memory
//     (goal: at least 200 MB/s of file data).
//   BM_EngineSkinnedModels beside BM_HandWrittenGlSkinned: 200 skinned
//     2,000-triangle models a frame at 640x480 on the software rasterizer,
//     through CMesh, its controller and the default effect, and through a
//     minimal GL loop (one program, one buffer pair, the same vertices and
//     bone matrices; goal: engine time at most 1.5 times the hand loop's).
//     Before timing, both draw one frame and must cover the same pixels.
#include "bench/support/BenchGraphics.h"
#include "bench/support/HandGl.h"
#include "engine/render/CAnimationController.h"
#include "engine/render/CCamera.h"
#include "engine/render/CShader.h"
#include "engine/render/ModelDeviceBuffers.h"
#include "tests/engine/render/ModelSamples.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace
{
constexpr int WIDTH = 640;
constexpr int HEIGHT = 480;
constexpr int MODELS = 200;
constexpr uint32_t CELLS_X = 50;
constexpr uint32_t CELLS_Y = 20; // 50 x 20 x 2 = 2,000 triangles
constexpr uint32_t BLACK = 0xFF000000;
// The two pipelines may round a pixel either way at a triangle's edge.
constexpr double kEdgeTolerance = 0.01;

uint32_t TriangleCount(CMesh* mesh)
{
    uint32_t triangles = 0;
    for (uint32_t i = 0; i < mesh->GetObjectList()->GetCount(); ++i)
        triangles += mesh->GetObjectList()->GetItem(i)->GetIndexSet()->indices.GetCount() / 3;
    return triangles;
}

void BM_LoadModelFromMemory(benchmark::State& state)
{
    CMesh source;
    // 158 x 158 cells: 49,928 triangles.
    source.GetObjectList()->Add(ModelSamples::GridObject(
        "Big", 158, KVRVERTEX_POSITION | KVRVERTEX_NORMAL | KVRVERTEX_TEXCOORD0 | KVRVERTEX_COLOR));
    const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
    // The work: every triangle comes back.
    {
        CMesh mesh;
        if (ModelSamples::LoadFromMemory(&mesh, bytes) == 0 || TriangleCount(&mesh) != TriangleCount(&source))
        {
            state.SkipWithError("the model file did not load whole");
            return;
        }
    }
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
    // Hung from the skeleton's root, where the pose starts: each model's
    // placement reaches its skin (a bone left without a parent keeps its
    // bind pose, and every model would draw at one spot).
    CModelBone* root = mesh->GetBoneList()->GetItem(0);
    left->SetParent(root);
    root->GetChildren()->Add(left);
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

// The models through the engine: one mesh, a controller per model, the
// default effect.
class EngineModels
{
public:
    EngineModels()
    {
        if (!m_engine.Created())
            return;
        CMesh source;
        FillStrip(&source);
        const std::vector<uint8_t> bytes = ModelSamples::WriteToMemory(&source);
        m_mesh.LoadFromPack(bytes.data(), "Strip.mdl", uint32_t(bytes.size()), nullptr, nullptr);
        SetUpCamera(&m_camera);
        // The hand loop's light: white, straight into the strip's face.
        CShader* effect = CGraphics::GetDefaultShader();
        if (effect == nullptr)
            return;
        const float lightDirection[4] = {0.0f, 0.0f, 1.0f, 0.0f};
        const float white[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        effect->SetVector("g_LightDir", lightDirection);
        effect->SetVector("g_LightDiffuse", white);
        effect->SetVector("g_WorldAmbient", black);
        for (int i = 0; i < MODELS; ++i)
        {
            m_controllers.push_back(m_mesh.CreateAnimationController());
            const CkvrMatrix world = Placement(i);
            m_controllers.back()->UpdatePose(&world);
        }
        m_ready = true;
    }
    ~EngineModels()
    {
        for (CAnimationController* controller : m_controllers)
            controller->Release();
        m_mesh.Release();
    }
    bool Ready() const { return m_ready; }

    void Frame()
    {
        m_engine.Graphics().BeginScene();
        m_engine.Device().Clear(CLEAR_TARGET | CLEAR_ZBUFFER, BLACK, 1.0f, 0);
        m_engine.Graphics().Begin3D();
        m_engine.Graphics().SetCullMode(CULL_NONE);
        for (int i = 0; i < MODELS; ++i)
        {
            const CkvrMatrix world = Placement(i);
            m_controllers[i]->UpdatePose(&world);
            m_mesh.DrawSkinned(&world, nullptr, m_controllers[i]);
        }
        m_engine.Graphics().EndScene();
        m_engine.Finish();
    }
    std::vector<uint32_t> Picture()
    {
        Frame();
        return m_engine.ReadBack();
    }

private:
    BenchGraphics m_engine{WIDTH, HEIGHT};
    CMesh m_mesh;
    CCamera m_camera;
    std::vector<CAnimationController*> m_controllers;
    bool m_ready = false;
};

// The same vertices and bone matrices with no engine code: one program,
// one buffer pair; the engine object only supplies a current context.
class HandWrittenModels
{
public:
    HandWrittenModels()
    {
        if (!m_context.Created())
            return;
        FillStrip(&m_mesh);
        m_controller = m_mesh.CreateAnimationController();
        CCamera camera;
        SetUpCamera(&camera);
        CkvrMatrix viewProjection;
        camera.GetViewProjection(&viewProjection);
        m_context.Graphics().SetCamera(nullptr);

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
        m_program = std::make_unique<HandGlProgram>(vertexSource, fragmentSource);
        // The row-vector matrix is GL's column-major transpose: pass it as
        // is with the vector on the right of a transposed product.
        glUniformMatrix4fv(m_program->Uniform("viewProjection"), 1, GL_FALSE, viewProjection.m);
        m_paletteLocation = m_program->Uniform("palette");
        const float diffuse[4] = {0.8f, 0.6f, 0.4f, 1.0f};
        glUniform4fv(m_program->Uniform("diffuse"), 1, diffuse);
        m_target = std::make_unique<HandGlTarget>(WIDTH, HEIGHT, true);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        glDisable(GL_BLEND);

        CModelObject* object = m_mesh.GetObjectList()->GetItem(0);
        const CModelVertexList& vertices = *object->GetVertexList();
        std::vector<uint8_t> packed(vertices.GetCount() * KVR_MODEL_VERTEX_STRIDE);
        for (uint32_t i = 0; i < vertices.GetCount(); ++i)
            ModelDeviceBuffers::PackVertex(*vertices.GetAt(i), packed.data() + i * KVR_MODEL_VERTEX_STRIDE);
        const CList<uint32_t>& indices = object->GetIndexSet()->indices;
        const std::vector<uint16_t> shortIndices(indices.GetData(), indices.GetData() + indices.GetCount());
        m_indexCount = GLsizei(shortIndices.size());
        glGenVertexArrays(1, &m_vertexArray);
        glBindVertexArray(m_vertexArray);
        glGenBuffers(2, m_buffers);
        glBindBuffer(GL_ARRAY_BUFFER, m_buffers[0]);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(packed.size()), packed.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, m_buffers[1]);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(shortIndices.size() * 2), shortIndices.data(),
                     GL_STATIC_DRAW);
        const GLsizei stride = KVR_MODEL_VERTEX_STRIDE;
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(0));
        glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(12));
        glVertexAttribIPointer(2, 4, GL_UNSIGNED_BYTE, stride, reinterpret_cast<void*>(28));
        glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(32));
        for (GLuint i = 0; i < 4; ++i)
            glEnableVertexAttribArray(i);
        m_palette.resize(size_t(m_controller->GetBoneCount()) * 12);
        m_ready = true;
    }
    ~HandWrittenModels()
    {
        if (m_controller != nullptr)
            m_controller->Release();
        if (!m_context.Created())
            return;
        glBindVertexArray(0);
        glDeleteVertexArrays(1, &m_vertexArray);
        glDeleteBuffers(2, m_buffers);
    }
    bool Ready() const { return m_ready; }

    void Frame()
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < MODELS; ++i)
        {
            const CkvrMatrix world = Placement(i);
            m_controller->UpdatePose(&world);
            const CkvrMatrix* matrices = m_controller->GetBoneMatrices();
            for (uint32_t b = 0; b < m_controller->GetBoneCount(); ++b)
            {
                for (int row = 0; row < 4; ++row)
                    for (int column = 0; column < 3; ++column)
                        m_palette[b * 12 + row * 3 + column] = matrices[b].m[row * 4 + column];
            }
            glUniformMatrix4x3fv(m_paletteLocation, GLsizei(m_controller->GetBoneCount()), GL_FALSE,
                                 m_palette.data());
            glDrawElements(GL_TRIANGLES, m_indexCount, GL_UNSIGNED_SHORT, nullptr);
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
    BenchGraphics m_context{WIDTH, HEIGHT};
    CMesh m_mesh;
    CAnimationController* m_controller = nullptr;
    std::unique_ptr<HandGlProgram> m_program;
    std::unique_ptr<HandGlTarget> m_target;
    GLint m_paletteLocation = 0;
    GLuint m_vertexArray = 0;
    GLuint m_buffers[2] = {};
    GLsizei m_indexCount = 0;
    std::vector<float> m_palette;
    bool m_ready = false;
};

void BM_EngineSkinnedModels(benchmark::State& state)
{
    if (!SamePicture<EngineModels, HandWrittenModels>(state, BLACK, kEdgeTolerance))
        return;
    EngineModels models;
    for (auto _ : state)
        models.Frame();
}
BENCHMARK(BM_EngineSkinnedModels)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HandWrittenGlSkinned(benchmark::State& state)
{
    if (!SamePicture<EngineModels, HandWrittenModels>(state, BLACK, kEdgeTolerance))
        return;
    HandWrittenModels models;
    for (auto _ : state)
        models.Frame();
}
BENCHMARK(BM_HandWrittenGlSkinned)->Unit(benchmark::kMillisecond)->UseRealTime();
}
