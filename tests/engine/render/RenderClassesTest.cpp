#include "engine/platform/CGraphics.h"
#include "engine/platform/device/DeviceEffect.h"
#include "engine/render/CCamera.h"
#include "engine/render/CLight.h"
#include "engine/render/CPrimitiveRender.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
constexpr uint32_t RELEASE = CGraphics::MSG_DEVICE_RELEASE;
constexpr uint32_t RECREATE = CGraphics::MSG_DEVICE_RECREATE;

void NoSleep(uint32_t)
{
}

// Whether the default effect held its GL objects as each message came.
std::vector<bool> g_effectAtMessage;

void RecordDefaultEffect(uint32_t)
{
    CShader* shader = CGraphics::GetDefaultShader();
    g_effectAtMessage.push_back(shader != nullptr && shader->GetEffect() != nullptr);
}

class ProtocolScope
{
public:
    ProtocolScope()
    {
        g_effectAtMessage.clear();
        CGraphics::SetSleepFunction(&NoSleep);
        HeadlessGraphics::MessageObserver() = &RecordDefaultEffect;
    }
    ~ProtocolScope()
    {
        HeadlessGraphics::MessageObserver() = nullptr;
        CGraphics::SetSleepFunction(nullptr);
    }
};

// A graphics object with its default effect, the window's messages
// recorded from here on, and no real sleeps.
class DefaultEffectProtocolTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        shader = CGraphics::GetDefaultShader();
        ASSERT_NE(shader, nullptr);
        HeadlessGraphics::Messages().clear();
    }

    ProtocolScope scope;
    RenderGraphics headless;
    CGraphics& graphics = headless.Graphics();
    CShader* shader = nullptr;
};

// The fixture sets the render classes up the way the program's start-up
// does: one call before the graphics object is created.
TEST(RenderClassesTest, CreateHandsTheGraphicsObjectToEveryRenderClassAndDestroyTakesItBack)
{
    {
        RenderGraphics headless;
        ASSERT_TRUE(headless.Created());
        CGraphics* graphics = &headless.Graphics();
        EXPECT_EQ(CTexture::GetGraphics(), graphics);
        EXPECT_EQ(CShader::GetGraphics(), graphics);
        EXPECT_EQ(CCamera::GetGraphics(), graphics);
        EXPECT_EQ(CLight::GetGraphics(), graphics);
        EXPECT_EQ(CPrimitiveRender::GetGraphics(), graphics);
        headless.Graphics().Destroy();
        EXPECT_EQ(CGraphics::GetDefaultShader(), nullptr);
    }
    EXPECT_EQ(CTexture::GetGraphics(), nullptr);
    EXPECT_EQ(CShader::GetGraphics(), nullptr);
    EXPECT_EQ(CCamera::GetGraphics(), nullptr);
    EXPECT_EQ(CLight::GetGraphics(), nullptr);
    EXPECT_EQ(CPrimitiveRender::GetGraphics(), nullptr);
}

// Tests hold more than one graphics object at a time: dropping one leaves
// the other's default effect and drawing classes alone, and an object
// takes them back by Activate.
TEST(RenderClassesTest, AGraphicsObjectDroppedBesideAnotherTakesOnlyWhatIsItsOwn)
{
    RenderGraphics first;
    ASSERT_TRUE(first.Created());
    CShader* firstEffect = CGraphics::GetDefaultShader();
    {
        RenderGraphics second;
        ASSERT_TRUE(second.Created());
        EXPECT_EQ(CTexture::GetGraphics(), &second.Graphics());
        EXPECT_NE(CGraphics::GetDefaultShader(), firstEffect);
        ASSERT_EQ(first.Graphics().Activate(), 1);
        EXPECT_EQ(CTexture::GetGraphics(), &first.Graphics());
        EXPECT_EQ(CGraphics::GetDefaultShader(), firstEffect);
    }
    EXPECT_EQ(CTexture::GetGraphics(), &first.Graphics());
    EXPECT_EQ(CCamera::GetGraphics(), &first.Graphics());
    ASSERT_EQ(CGraphics::GetDefaultShader(), firstEffect);
    ASSERT_NE(firstEffect->GetEffect(), nullptr);
    EXPECT_EQ(firstEffect->SetTechnique("Version_20"), 1);
    // Its context is current again: it draws.
    first.Device().Clear(CLEAR_TARGET, 0xFF336699, 1.0f, 0);
    EXPECT_TRUE(NearRgb(first.Pixel(1, 1), 0xFF336699));
}

TEST(RenderClassesTest, CreateMakesTheDefaultEffect)
{
    RenderGraphics headless;
    ASSERT_TRUE(headless.Created());
    CShader* shader = CGraphics::GetDefaultShader();
    ASSERT_NE(shader, nullptr);
    EXPECT_STREQ(shader->GetName(), "Default.shd");
    ASSERT_NE(shader->GetEffect(), nullptr);
    EXPECT_EQ(shader->SetTechnique("Version_20"), 1);
    EXPECT_NE(shader->GetKeepCopy(), 0u);
}

TEST_F(DefaultEffectProtocolTest, LostDeviceReleasesTheEffectBeforeTheReleaseMessageAndMakesItAgain)
{
    headless.Device().SimulateDeviceLoss(1);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_TRUE(HeadlessGraphics::Messages().empty());
    EXPECT_NE(shader->GetEffect(), nullptr) << "a device still lost releases nothing";
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE, RECREATE}));
    EXPECT_EQ(g_effectAtMessage, (std::vector<bool>{false, true}));

    // The same object, usable again.
    EXPECT_EQ(CGraphics::GetDefaultShader(), shader);
    ASSERT_NE(shader->GetEffect(), nullptr);
    EXPECT_EQ(shader->SetTechnique("SkinningVersion_20"), 1);
    uint32_t passes = 0;
    EXPECT_EQ(shader->Begin(&passes, 0), 1);
    EXPECT_EQ(passes, 1u);
    EXPECT_EQ(shader->End(), 1);
    EXPECT_EQ(graphics.BeginScene(), 1);
}

TEST_F(DefaultEffectProtocolTest, FailedResetLeavesTheEffectReleasedUntilTheResetWorks)
{
    headless.Device().SimulateDeviceLoss(0);
    headless.Device().SimulateResetFailures(2);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(shader->GetEffect(), nullptr);
    EXPECT_EQ(graphics.BeginScene(), 0);
    EXPECT_EQ(HeadlessGraphics::Messages(), (std::vector<uint32_t>{RELEASE, RECREATE}));
    EXPECT_NE(shader->GetEffect(), nullptr);
}
}
