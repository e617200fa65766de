#include "engine/render/CCamera.h"
#include "tests/engine/render/RenderGraphics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace
{
void ExpectMatrix(const CkvrMatrix& actual, const float (&expected)[16], float tolerance = 1e-5f)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected[i], tolerance) << "element " << i;
}

bool Finite(const CkvrMatrix& matrix)
{
    for (float element : matrix.m)
    {
        if (!std::isfinite(element))
            return false;
    }
    return true;
}
}

TEST(CCameraTest, StartsAllZero)
{
    CCamera camera;
    for (float element : camera.GetViewMatrix().m)
        EXPECT_EQ(element, 0.0f);
    EXPECT_STREQ(camera.GetClassName(), "CCamera");
}

TEST(CCameraTest, LookAtFromMinusTenOnZ)
{
    CCamera camera;
    const float eye[3] = {0, 0, -10};
    const float target[3] = {0, 0, 0};
    const float up[3] = {0, 1, 0};
    camera.SetLookAt(eye, target, up);
    EXPECT_FLOAT_EQ(camera.GetDistance(), -10.0f);
    EXPECT_FLOAT_EQ(camera.GetAngles().x, 0.0f);
    EXPECT_FLOAT_EQ(camera.GetAngles().y, 360.0f);
    EXPECT_FLOAT_EQ(camera.GetAngles().z, 0.0f);
    const float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 10, 1};
    ExpectMatrix(camera.GetViewMatrix(), view);
    // The billboard undoes the view's rotation: identity here.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ExpectMatrix(camera.GetBillboardMatrix(), identity);
    // Null pointers change nothing.
    camera.SetLookAt(nullptr, target, up);
    ExpectMatrix(camera.GetViewMatrix(), view);
}

TEST(CCameraTest, LookAtFromTheSideAndRightHanded)
{
    CCamera camera;
    const float eye[3] = {10, 0, 0};
    const float target[3] = {0, 0, 0};
    const float up[3] = {0, 1, 0};
    camera.SetLookAt(eye, target, up);
    // f = (-1, 0, 0), r = up x f = (0, 0, 1), u = (0, 1, 0).
    const float view[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 10, 1};
    ExpectMatrix(camera.GetViewMatrix(), view);
    EXPECT_FLOAT_EQ(camera.GetAngles().y, 270.0f);
    camera.SetLookAtRH(eye, target, up);
    const float viewRH[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, -10, 1};
    ExpectMatrix(camera.GetViewMatrix(), viewRH);
}

TEST(CCameraTest, OrbitWithTheLookAtsAnglesReproducesTheEye)
{
    CCamera camera;
    const float eye[3] = {0, 5, -10};
    const float target[3] = {0, 0, 0};
    const float up[3] = {0, 1, 0};
    camera.SetLookAt(eye, target, up);
    const float angles[3] = {camera.GetAngles().x, camera.GetAngles().y, camera.GetAngles().z};
    const float distance = camera.GetDistance();
    CCamera orbit;
    orbit.SetOrbit(target, angles, distance);
    EXPECT_NEAR(orbit.GetEye().x, 0.0f, 1e-4f);
    EXPECT_NEAR(orbit.GetEye().y, 5.0f, 1e-4f);
    EXPECT_NEAR(orbit.GetEye().z, -10.0f, 1e-4f);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(orbit.GetViewMatrix().m[i], camera.GetViewMatrix().m[i], 1e-4f);
}

TEST(CCameraTest, PerspectiveAndOrthographicProjections)
{
    CCamera camera;
    camera.SetProjection(90, 1.0f, 1.0f, 100.0f);
    const float perspective[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 100.0f / 99.0f, 1, 0, 0, -100.0f / 99.0f, 0};
    ExpectMatrix(camera.GetProjectionMatrix(), perspective);
    camera.SetProjectionRH(90, 1.0f, 1.0f, 100.0f);
    const float perspectiveRH[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -100.0f / 99.0f, -1, 0, 0, -100.0f / 99.0f, 0};
    ExpectMatrix(camera.GetProjectionMatrix(), perspectiveRH);
    camera.SetOrtho(640, 480, 0, 10);
    const float ortho[16] = {2.0f / 640, 0, 0, 0, 0, 2.0f / 480, 0, 0, 0, 0, 0.1f, 0, 0, 0, 0, 1};
    ExpectMatrix(camera.GetProjectionMatrix(), ortho);
}

TEST(CCameraTest, FieldOfViewIsClampedAndABadLookAtKeepsTheView)
{
    CCamera camera;
    camera.SetProjection(0, 1.0f, 1.0f, 100.0f);
    EXPECT_TRUE(Finite(camera.GetProjectionMatrix()));
    EXPECT_FLOAT_EQ(camera.GetFov(), 1.0f);
    camera.SetProjection(180, 1.0f, 1.0f, 100.0f);
    EXPECT_TRUE(Finite(camera.GetProjectionMatrix()));
    EXPECT_FLOAT_EQ(camera.GetFov(), 179.0f);

    const float eye[3] = {0, 0, -10};
    const float origin[3] = {0, 0, 0};
    const float up[3] = {0, 1, 0};
    camera.SetLookAt(eye, origin, up);
    const CkvrMatrix before = camera.GetViewMatrix();
    camera.SetLookAt(origin, origin, up);
    EXPECT_TRUE(Finite(camera.GetViewMatrix()));
    EXPECT_EQ(std::memcmp(before.m, camera.GetViewMatrix().m, sizeof before.m), 0);
    const float alongSight[3] = {0, 0, 1};
    camera.SetLookAt(eye, origin, alongSight);
    EXPECT_EQ(std::memcmp(before.m, camera.GetViewMatrix().m, sizeof before.m), 0);
    EXPECT_FLOAT_EQ(camera.GetEye().z, -10.0f);
}

TEST(CCameraTest, ViewportAspectAndApplyUseTheGraphicsObject)
{
    RenderGraphics headless(64, 48);
    ASSERT_TRUE(headless.Created());
    CCamera camera;
    camera.SetProjection(60, -1.0f, 1.0f, 100.0f);
    EXPECT_FLOAT_EQ(camera.GetAspect(), 64.0f / 48.0f);
    camera.SetViewport(0, 0, 0, 0);
    EXPECT_EQ(camera.GetViewport()[2], 64u);
    EXPECT_EQ(camera.GetViewport()[3], 48u);
    camera.SetViewport(8, 4, 32, 24);
    ASSERT_EQ(camera.Apply(), 1);
    EXPECT_EQ(headless.Graphics().GetCamera(), &camera);
    EXPECT_EQ(headless.Device().GetViewport().x, 8u);
    EXPECT_EQ(std::memcmp(headless.Device().GetTransform(TRANSFORM_PROJECTION), camera.GetProjectionMatrix().m,
                          sizeof(float) * 16),
              0);
    float x = 0.0f;
    float y = 0.0f;
    headless.Graphics().GetViewportOrigin(&x, &y);
    EXPECT_FLOAT_EQ(x, 8.0f);
    EXPECT_FLOAT_EQ(y, 4.0f);
    // A viewport outside the target fails Apply.
    CCamera outside;
    outside.SetViewport(60, 0, 32, 24);
    EXPECT_EQ(outside.Apply(), 0);
    {
        CCamera temporary;
        temporary.SetViewport(0, 0, 0, 0);
        ASSERT_EQ(temporary.Apply(), 1);
    }
    EXPECT_EQ(headless.Graphics().GetCamera(), nullptr);
}

TEST(CCameraTest, WorldToScreenAndBack)
{
    CCamera camera;
    const float eye[3] = {3, 4, -10};
    const float target[3] = {0, 1, 0};
    const float up[3] = {0, 1, 0};
    camera.SetLookAt(eye, target, up);
    camera.SetProjection(60, 4.0f / 3.0f, 1.0f, 100.0f);
    camera.SetViewport(10, 20, 640, 480);
    // The target lies on the axis: the viewport's centre.
    float x = 0.0f;
    float y = 0.0f;
    float depth = -1.0f;
    camera.WorldToScreen(target, &x, &y, &depth);
    EXPECT_NEAR(x, 10.0f + 320.0f, 1e-3f);
    EXPECT_NEAR(y, 20.0f + 240.0f, 1e-3f);
    EXPECT_GT(depth, 0.0f);
    EXPECT_LT(depth, 1.0f);

    const float point[3] = {2.0f, -1.5f, 3.0f};
    camera.WorldToScreen(point, &x, &y, &depth);
    float direction[3] = {};
    camera.ScreenToWorldDirection(x, y, direction);
    const float dx = point[0] - eye[0];
    const float dy = point[1] - eye[1];
    const float dz = point[2] - eye[2];
    const float distance = std::sqrt(dx * dx + dy * dy + dz * dz);
    EXPECT_NEAR(eye[0] + direction[0] * distance, point[0], 1e-3f);
    EXPECT_NEAR(eye[1] + direction[1] * distance, point[1], 1e-3f);
    EXPECT_NEAR(eye[2] + direction[2] * distance, point[2], 1e-3f);

    float normalized[3] = {};
    camera.WorldToNormalized(point, normalized);
    EXPECT_NEAR(10.0f + 320.0f * (normalized[0] + 1.0f), x, 1e-3f);
    EXPECT_FLOAT_EQ(normalized[2], depth);
    CkvrMatrix viewProjection;
    EXPECT_EQ(camera.GetViewProjection(&viewProjection), &viewProjection);
}
