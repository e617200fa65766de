#include "RenderTestDevice.h"

#include "engine/platform/device/DeviceEffect.h"
#include "engine/platform/device/DeviceVertexDeclaration.h"
#include "engine/platform/device/EffectImage.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"

#include <cmath>

namespace
{
const float IDENTITY[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

class ShaderTest : public RenderTest
{
protected:
    void TearDown() override { shader.Release(); }

    int Create(const std::vector<uint8_t>& image, const char* name, uint32_t keep = 1)
    {
        return shader.CreateFromMemory(image.data(), name, static_cast<uint32_t>(image.size()), 0, keep);
    }

    uint32_t Technique(const char* name)
    {
        EXPECT_EQ(shader.SetTechnique(name), 1) << name;
        uint32_t passes = 99;
        EXPECT_EQ(shader.Begin(&passes, 0), 1);
        EXPECT_EQ(shader.End(), 1);
        return passes;
    }

    CShader shader;
};

uint32_t Argb(float r, float g, float b)
{
    auto byte = [](float v) { return static_cast<uint32_t>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f)); };
    return 0xFF000000u | byte(r) << 16 | byte(g) << 8 | byte(b);
}

TEST_F(ShaderTest, EveryBuiltInTechniqueCompilesWithItsPasses)
{
    ASSERT_EQ(Create(BuiltInEffects::GetDefaultImage(), "Default.shd"), 1);
    for (const char* name : {"SkinningVersion_20", "SkinningVersion_11", "SkinningNonTextureVersion_20",
                             "SkinningNonTextureVersion_11", "Version_20", "Version_11", "NonTextureVersion_20",
                             "NonTextureVersion_11"})
        EXPECT_EQ(Technique(name), 1u) << name;
    for (const char* name : {"g_LightDir", "g_LightDiffuse", "g_WorldAmbient", "g_MaterialAmbient",
                             "g_MaterialDiffuse", "g_MaterialSpecular", "g_MaterialEmissive", "g_MaterialPower",
                             "g_WorldMatrix", "g_WorldMatrixArray", "g_ViewProj", "g_FogStart", "g_FogEnd",
                             "g_Texture", "g_AddUV", "g_CurBones", "g_samScene"})
        EXPECT_TRUE(shader.GetEffect()->HasParameter(name)) << name;
    EXPECT_EQ(shader.SetTechnique("NoSuchTechnique"), 0);

    ASSERT_EQ(Create(BuiltInEffects::GetGaussFilterImage(), "GaussFilter.shd"), 1);
    EXPECT_EQ(Technique("GaussFilter"), 2u);
    for (const char* name : {"g_Texture", "Weight", "OffsetX", "OffsetY", "g_samScene"})
        EXPECT_TRUE(shader.GetEffect()->HasParameter(name)) << name;

    ASSERT_EQ(Create(BuiltInEffects::GetBasicFilterImage(), "BasicFilter.shd"), 1);
    for (const char* name : {"BasicFilter", "BrightFilter", "MonochromeFilter", "SepiaFilter"})
        EXPECT_EQ(Technique(name), 1u) << name;
    EXPECT_TRUE(shader.GetEffect()->HasParameter("g_MinBright"));
}

TEST_F(ShaderTest, LitQuadMatchesTheComputedColour)
{
    ASSERT_EQ(Create(BuiltInEffects::GetDefaultImage(), "Default.shd"), 1);
    CTexture grey;
    ASSERT_EQ(grey.CreateRenderTarget(4, 4, 0, FORMAT_A8R8G8B8, 1), 1);
    ASSERT_EQ(grey.Fill(0xFF808080), 1);

    const float lightDir[4] = {0.0f, -0.6f, 0.8f, 0.0f};
    const float lightDiffuse[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    const float worldAmbient[4] = {0.25f, 0.5f, 1.0f, 1.0f};
    const float materialDiffuse[4] = {0.5f, 1.0f, 1.0f, 1.0f};
    const float materialAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    const float zero[4] = {};
    ASSERT_EQ(shader.SetTechnique("Version_20"), 1);
    EXPECT_EQ(shader.SetVector("g_LightDir", lightDir), 1);
    EXPECT_EQ(shader.SetVector("g_LightDiffuse", lightDiffuse), 1);
    EXPECT_EQ(shader.SetVector("g_WorldAmbient", worldAmbient), 1);
    EXPECT_EQ(shader.SetVector("g_MaterialDiffuse", materialDiffuse), 1);
    EXPECT_EQ(shader.SetVector("g_MaterialAmbient", materialAmbient), 1);
    EXPECT_EQ(shader.SetVector("g_MaterialEmissive", zero), 1);
    EXPECT_EQ(shader.SetMatrix("g_WorldMatrix", IDENTITY), 1);
    EXPECT_EQ(shader.SetMatrix("g_ViewProj", IDENTITY), 1);
    EXPECT_EQ(shader.SetTexture("g_Texture", &grey), 1);

    // A quad over the whole target facing the viewer: position, normal, uv.
    const float quad[4][8] = {
        {-1, 1, 0.5f, 0, 0, -1, 0, 0},
        {1, 1, 0.5f, 0, 0, -1, 1, 0},
        {1, -1, 0.5f, 0, 0, -1, 1, 1},
        {-1, -1, 0.5f, 0, 0, -1, 0, 1},
    };
    graphics.SetFVF(FVF_XYZ | FVF_NORMAL | FVF_TEX1);
    ASSERT_EQ(shader.Begin(nullptr, 0), 1);
    ASSERT_EQ(shader.BeginPass(0), 1);
    graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof quad[0]);
    EXPECT_EQ(shader.EndPass(), 1);
    EXPECT_EQ(shader.End(), 1);

    const float lambert = 0.8f; // dot((0, 0, -1), -lightDir)
    const float texel = 128.0f / 255.0f;
    const uint32_t expected =
        Argb((0.5f * 1.0f * lambert + 0.2f * 0.25f) * texel, (1.0f * 0.5f * lambert + 0.2f * 0.5f) * texel,
             (1.0f * 0.25f * lambert + 0.2f * 1.0f) * texel);
    EXPECT_TRUE(NearRgb(Pixel(64, 64), expected, 2)) << std::hex << Pixel(64, 64) << " " << expected;
    EXPECT_TRUE(NearRgb(Pixel(3, 120), expected, 2));
    grey.Release();
}

TEST_F(ShaderTest, MonochromeAndSepiaTurnAKnownColour)
{
    ASSERT_EQ(Create(BuiltInEffects::GetBasicFilterImage(), "BasicFilter.shd"), 1);
    CTexture source;
    ASSERT_EQ(source.CreateRenderTarget(8, 8, 0, FORMAT_A8R8G8B8, 1), 1);
    ASSERT_EQ(source.Fill(0xFFC86432), 1); // 200, 100, 50
    const float y = (0.299f * 200 + 0.587f * 100 + 0.114f * 50) / 255.0f;
    struct Case
    {
        const char* technique;
        uint32_t expected;
    };
    const Case cases[] = {
        {"BasicFilter", 0xFFC86432},
        {"MonochromeFilter", Argb(y, y, y)},
        {"SepiaFilter", Argb(y + 0.0956f, y - 0.0272f, y - 0.1106f)},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.technique);
        ClearTo(0xFF000000);
        ASSERT_EQ(shader.SetTechnique(c.technique), 1);
        ASSERT_EQ(shader.Begin(nullptr, 0), 1);
        ASSERT_EQ(shader.SetTexture("g_Texture", &source), 1);
        ASSERT_EQ(shader.BeginPass(0), 1);
        source.DrawScaled(16.0f, 16.0f, nullptr, 4.0f, 0xFFFFFFFF, 0, 0);
        shader.EndPass();
        shader.End();
        EXPECT_TRUE(NearRgb(Pixel(30, 30), c.expected, 2)) << std::hex << Pixel(30, 30) << " " << c.expected;
        EXPECT_EQ(Rgb(60, 60), 0u);
    }
    source.Release();
}

TEST_F(ShaderTest, SkinnedQuadMovesWithItsBone)
{
    ASSERT_EQ(Create(BuiltInEffects::GetDefaultImage(), "Default.shd"), 1);
    const VertexElement elements[] = {
        {0, 0, DECLTYPE_FLOAT3, 0, DECLUSAGE_POSITION, 0},
        {0, 12, DECLTYPE_FLOAT1, 0, DECLUSAGE_BLENDWEIGHT, 0},
        {0, 16, DECLTYPE_UBYTE4, 0, DECLUSAGE_BLENDINDICES, 0},
        {0, 20, DECLTYPE_FLOAT3, 0, DECLUSAGE_NORMAL, 0},
        VERTEX_ELEMENT_END,
    };
    std::unique_ptr<DeviceVertexDeclaration> declaration(device->CreateVertexDeclaration(elements));
    ASSERT_NE(declaration, nullptr);
    struct Vertex
    {
        float x, y, z, weight;
        uint8_t bones[4];
        float nx, ny, nz;
    };
    const Vertex quad[4] = {
        {-0.25f, 0.25f, 0.5f, 1.0f, {3, 0, 0, 0}, 0, 0, -1},
        {0.25f, 0.25f, 0.5f, 1.0f, {3, 0, 0, 0}, 0, 0, -1},
        {0.25f, -0.25f, 0.5f, 1.0f, {3, 0, 0, 0}, 0, 0, -1},
        {-0.25f, -0.25f, 0.5f, 1.0f, {3, 0, 0, 0}, 0, 0, -1},
    };
    const float white[4] = {1, 1, 1, 1};
    ASSERT_EQ(shader.SetTechnique("SkinningNonTextureVersion_20"), 1);
    shader.SetVector("g_MaterialEmissive", white);
    shader.SetMatrix("g_ViewProj", IDENTITY);
    shader.SetInt("g_CurBones", 1);
    float bones[4][16];
    for (auto& bone : bones)
        std::copy_n(IDENTITY, 16, bone);

    for (float shift : {0.5f, -0.5f})
    {
        SCOPED_TRACE(shift);
        ClearTo(0xFF000000);
        bones[3][12] = shift; // translation row
        ASSERT_EQ(shader.SetMatrixArray("g_WorldMatrixArray", &bones[0][0], 4), 1);
        graphics.SetVertexDeclaration(declaration.get());
        shader.Begin(nullptr, 0);
        shader.BeginPass(0);
        graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof(Vertex));
        shader.EndPass();
        shader.End();
        // Half of the clip space's width is a quarter of the target.
        const int moved = 64 + static_cast<int>(shift * 64.0f);
        EXPECT_EQ(Rgb(64, 64), 0u);
        EXPECT_EQ(Rgb(moved, 64), 0xFFFFFFu);
        EXPECT_EQ(Rgb(moved, 64 + 20), 0u);
    }
    graphics.SetVertexDeclaration(nullptr);
}

// Passes that begin while fog is off draw with the build that leaves fog
// out; passes that begin with fog on still fog, and the two alternate.
TEST_F(ShaderTest, FogOnAndOffPassesEachDrawTheirOwnColour)
{
    ASSERT_EQ(Create(BuiltInEffects::GetDefaultImage(), "Default.shd"), 1);
    const float red[4] = {1, 0, 0, 1};
    const float zero[4] = {0, 0, 0, 1};
    ASSERT_EQ(shader.SetTechnique("NonTextureVersion_20"), 1);
    shader.SetVector("g_MaterialEmissive", red);
    shader.SetVector("g_MaterialDiffuse", zero);
    shader.SetVector("g_MaterialAmbient", zero);
    shader.SetMatrix("g_WorldMatrix", IDENTITY);
    shader.SetMatrix("g_ViewProj", IDENTITY);
    // Clip w is 1: halfway between a fog start of 0 and an end of 2.
    shader.SetFloat("g_FogStart", 0.0f);
    shader.SetFloat("g_FogEnd", 2.0f);
    device->SetRenderState(RS_FOGCOLOR, 0xFF00FF00);
    const float quad[4][6] = {
        {-1, 1, 0.5f, 0, 0, -1}, {1, 1, 0.5f, 0, 0, -1}, {1, -1, 0.5f, 0, 0, -1}, {-1, -1, 0.5f, 0, 0, -1}};
    graphics.SetFVF(FVF_XYZ | FVF_NORMAL);
    auto draw = [&](uint32_t fog) {
        ClearTo(0xFF000000);
        device->SetRenderState(RS_FOGENABLE, fog);
        shader.Begin(nullptr, 0);
        shader.BeginPass(0);
        graphics.DrawPrimitiveUP(PT_TRIANGLEFAN, 2, quad, sizeof quad[0]);
        shader.EndPass();
        shader.End();
        return Rgb(64, 64);
    };
    for (int round = 0; round < 2; ++round)
    {
        SCOPED_TRACE(round);
        EXPECT_EQ(draw(0), 0xFF0000u);
        EXPECT_TRUE(NearRgb(draw(1), 0x808000, 1)) << std::hex << Rgb(64, 64);
    }
    device->SetRenderState(RS_FOGENABLE, 0);

    // An effect whose build without fog does not compile draws with fog
    // tested, as if it had none.
    EffectImage image;
    image.sources = {"#version 330 compatibility\nvoid main() { gl_Position = ftransform(); }\n",
                     "#version 330 compatibility\nuniform int kvr_FogEnable;\n#ifdef KVR_FOG_OFF\n#error no\n"
                     "#endif\nout vec4 o;\nvoid main() { o = kvr_FogEnable != 0 ? vec4(0, 1, 0, 1) : "
                     "vec4(0, 0, 1, 1); }\n"};
    image.techniques = {{"T", {{"P", 0, 1}}}};
    const std::vector<uint8_t> bytes = image.Write();
    ASSERT_EQ(shader.CreateFromMemory(bytes.data(), "FogTest.shd", static_cast<uint32_t>(bytes.size()), 0, 1), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(draw(0), 0x0000FFu);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(draw(1), 0x00FF00u);
    device->SetRenderState(RS_FOGENABLE, 0);
}

TEST_F(ShaderTest, EdgeCasesOfTheEffectLifecycle)
{
    // ReleaseEffect on an empty shader.
    EXPECT_EQ(shader.ReleaseEffect(), 1);
    EXPECT_EQ(shader.SetFloat("g_FogStart", 1.0f), 0);
    EXPECT_EQ(shader.Begin(nullptr, 0), 0);
    EXPECT_EQ(shader.GetFlag(), CResourceBase::KIND_SHADER);
    EXPECT_STREQ(shader.GetClassName(), "CShader");

    // Keep-copy 1 keeps a copy; a later keep-copy 0 frees it.
    const std::vector<uint8_t>& image = BuiltInEffects::GetBasicFilterImage();
    ASSERT_EQ(Create(image, "BasicFilter.shd", 1), 1);
    EXPECT_NE(shader.GetCopy(), nullptr);
    EXPECT_EQ(shader.GetCopySize(), image.size());
    ASSERT_EQ(Create(image, "BasicFilter.shd", 0), 1);
    EXPECT_EQ(shader.GetCopy(), nullptr);
    EXPECT_EQ(shader.GetCopySize(), 0u);
    EXPECT_EQ(shader.GetKeepCopy(), 0u);

    // Begin without an out pointer still begins.
    ASSERT_EQ(Create(image, "BasicFilter.shd", 1), 1);
    EXPECT_EQ(shader.Begin(nullptr, 0), 1);
    EXPECT_EQ(shader.BeginPass(0), 1);
    EXPECT_EQ(shader.BeginPass(1), 0);
    EXPECT_EQ(shader.EndPass(), 1);
    EXPECT_EQ(shader.End(), 1);

    // Recreate from the kept copy; after a release it has nothing to start from.
    EXPECT_EQ(shader.Recreate(), 1);
    EXPECT_NE(shader.GetEffect(), nullptr);
    EXPECT_EQ(shader.ReleaseEffect(), 1);
    EXPECT_EQ(shader.Recreate(), 0);
    EXPECT_EQ(shader.GetEffect(), nullptr);
    EXPECT_STREQ(shader.GetName(), "BasicFilter.shd");
}

TEST_F(ShaderTest, SettersTakeWhatTheParameterHolds)
{
    ASSERT_EQ(Create(BuiltInEffects::GetGaussFilterImage(), "GaussFilter.shd"), 1);
    DeviceEffect* effect = shader.GetEffect();
    float vectors[8][4];
    for (int i = 0; i < 8; ++i)
        for (int k = 0; k < 4; ++k)
            vectors[i][k] = static_cast<float>(i * 10 + k);
    ASSERT_EQ(shader.SetVectorArray("OffsetX", &vectors[0][0], 8), 1);
    float stored[16];
    ASSERT_TRUE(effect->GetFloats("OffsetX", stored, 16));
    EXPECT_EQ(stored[0], 0.0f);
    EXPECT_EQ(stored[1], 1.0f);
    EXPECT_EQ(stored[2], 10.0f);
    EXPECT_EQ(stored[15], 71.0f);
    const float weights[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_EQ(shader.SetFloatArray("Weight", weights, 10), 1);
    EXPECT_EQ(shader.SetFloat("NoSuchParameter", 1.0f), 0);
    EXPECT_EQ(shader.SetFloat(nullptr, 1.0f), 0);
    EXPECT_EQ(shader.SetTexture("g_Texture", nullptr), 0);
}

TEST_F(ShaderTest, BrokenEffectFailsWithItsLogOnStandardError)
{
    EffectImage image;
    image.sources = {"#version 330 compatibility\nvoid main() { gl_Position = ftransform(); }\n",
                     "#version 330 compatibility\nvoid main() { this is not glsl }\n"};
    image.techniques = {{"T", {{"P", 0, 1}}}};
    const std::vector<uint8_t> bytes = image.Write();
    testing::internal::CaptureStderr();
    EXPECT_EQ(shader.CreateFromMemory(bytes.data(), "Broken.shd", static_cast<uint32_t>(bytes.size()), 0, 1), 0);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("compile"), std::string::npos) << log;
    EXPECT_EQ(shader.GetEffect(), nullptr);
    EXPECT_EQ(shader.GetCopy(), nullptr);
    const uint8_t junk[8] = {'K', 'F', 'X', '1', 9, 0, 0, 0};
    EXPECT_EQ(shader.CreateFromMemory(junk, "Junk.shd", sizeof junk, 0, 1), 0);
    EXPECT_EQ(shader.CreateFromFile("no/such/effect.shd", 0), 0);
}

TEST(ShaderWithoutGraphics, CreationFails)
{
    CShader shader;
    const std::vector<uint8_t>& image = BuiltInEffects::GetDefaultImage();
    EXPECT_EQ(shader.CreateFromMemory(image.data(), "Default.shd", static_cast<uint32_t>(image.size()), 0, 1), 0);
}
}
