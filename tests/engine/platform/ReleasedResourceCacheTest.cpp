#include "engine/platform/device/DeviceBuffer.h"
#include "engine/platform/device/DeviceSurface.h"
#include "engine/platform/device/DeviceTexture.h"
#include "tests/engine/platform/HeadlessGraphics.h"

#include <gtest/gtest.h>

#include <new>

// Objects released while the graphics object's caches name them, and new
// objects made at the very same address (placement new into one block, so
// the reuse does not depend on the allocator): the new ones must reach the
// device.
namespace
{
template <class T>
struct Slot
{
    template <class... Args>
    T* Make(Args&&... args)
    {
        return new (storage) T(std::forward<Args>(args)...);
    }
    static void Destroy(T* object) { object->~T(); }
    alignas(T) unsigned char storage[sizeof(T)];
};

class ReleasedResourceCacheTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(headless.Created());
        device = graphics.GetDevice();
    }

    HeadlessGraphics headless{32, 32};
    CGraphics& graphics = headless.Graphics();
    GraphicsDevice* device = nullptr;
};

TEST_F(ReleasedResourceCacheTest, RenderTargetAtAReusedAddressIsBound)
{
    std::unique_ptr<DeviceTexture> first(device->CreateTexture(16, 16, 1, USAGE_RENDERTARGET, FORMAT_A8R8G8B8));
    std::unique_ptr<DeviceTexture> second(device->CreateTexture(16, 16, 1, USAGE_RENDERTARGET, FORMAT_A8R8G8B8));
    ASSERT_TRUE(first && second);
    Slot<DeviceSurface> slot;
    DeviceSurface* old = slot.Make(device, first.get(), 0u);
    ASSERT_EQ(graphics.SetRenderTarget(old), 1);
    Slot<DeviceSurface>::Destroy(old);
    EXPECT_EQ(device->GetRenderTarget(), graphics.GetBackBuffer());
    EXPECT_EQ(graphics.GetCurrentRenderTarget(), graphics.GetBackBuffer());

    DeviceSurface* reused = slot.Make(device, second.get(), 0u);
    ASSERT_EQ(reused, old);
    ASSERT_EQ(graphics.SetRenderTarget(reused), 1);
    EXPECT_EQ(device->GetRenderTarget(), reused);
    // What is drawn now lands in the new target, not on the screen.
    device->Clear(CLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    uint32_t argb = 0;
    ASSERT_EQ(device->ReadPixels(reused, 4, 4, 1, 1, &argb), DEVICE_OK);
    EXPECT_EQ(argb, 0xFF00FF00u);
    ASSERT_EQ(device->ReadPixels(graphics.GetBackBuffer(), 4, 4, 1, 1, &argb), DEVICE_OK);
    EXPECT_NE(argb, 0xFF00FF00u);
    graphics.RestoreRenderTarget();
    Slot<DeviceSurface>::Destroy(reused);
}

TEST_F(ReleasedResourceCacheTest, DepthStencilAtAReusedAddressIsBound)
{
    Slot<DeviceSurface> slot;
    DeviceSurface* old = slot.Make(device, 32u, 32u, static_cast<uint32_t>(FORMAT_D24S8));
    ASSERT_EQ(graphics.SetDepthStencilSurface(old), 1);
    Slot<DeviceSurface>::Destroy(old);
    EXPECT_EQ(graphics.GetCurrentDepthStencil(), device->GetDepthStencilSurface());

    DeviceSurface* reused = slot.Make(device, 32u, 32u, static_cast<uint32_t>(FORMAT_D24S8));
    ASSERT_EQ(reused, old);
    ASSERT_EQ(graphics.SetDepthStencilSurface(reused), 1);
    EXPECT_EQ(device->GetDepthStencilSurface(), reused);
    graphics.RestoreDepthStencil();
    EXPECT_EQ(device->GetDepthStencilSurface(), graphics.GetDepthStencil());
    Slot<DeviceSurface>::Destroy(reused);
}

TEST_F(ReleasedResourceCacheTest, TextureAndBuffersAtReusedAddressesAreBound)
{
    Slot<DeviceTexture> textureSlot;
    DeviceTexture* oldTexture = textureSlot.Make(device, 4u, 4u, 1u, 0u, static_cast<uint32_t>(FORMAT_A8R8G8B8));
    graphics.SetTexture(oldTexture);
    Slot<DeviceTexture>::Destroy(oldTexture);
    EXPECT_EQ(graphics.GetStateCache()->texture, nullptr);
    DeviceTexture* texture = textureSlot.Make(device, 4u, 4u, 1u, 0u, static_cast<uint32_t>(FORMAT_A8R8G8B8));
    ASSERT_EQ(texture, oldTexture);
    graphics.SetTexture(texture);
    EXPECT_EQ(device->GetTexture(0), texture);

    Slot<DeviceBuffer> vertexSlot;
    Slot<DeviceBuffer> indexSlot;
    DeviceBuffer* vertices = vertexSlot.Make(device, DeviceBuffer::KIND_VERTEX, 64u, 0u, 0u);
    DeviceBuffer* indices =
        indexSlot.Make(device, DeviceBuffer::KIND_INDEX, 64u, 0u, static_cast<uint32_t>(FORMAT_INDEX16));
    graphics.SetStreamSource(vertices, 16);
    graphics.SetIndices(indices);
    Slot<DeviceBuffer>::Destroy(vertices);
    Slot<DeviceBuffer>::Destroy(indices);
    vertices = vertexSlot.Make(device, DeviceBuffer::KIND_VERTEX, 64u, 0u, 0u);
    indices = indexSlot.Make(device, DeviceBuffer::KIND_INDEX, 64u, 0u, static_cast<uint32_t>(FORMAT_INDEX16));
    graphics.SetStreamSource(vertices, 16);
    graphics.SetIndices(indices);
    EXPECT_EQ(device->GetStreamSource(0), vertices);
    EXPECT_EQ(device->GetIndices(), indices);

    graphics.SetTexture(nullptr);
    graphics.SetStreamSource(nullptr, 0);
    graphics.SetIndices(nullptr);
    Slot<DeviceTexture>::Destroy(texture);
    Slot<DeviceBuffer>::Destroy(vertices);
    Slot<DeviceBuffer>::Destroy(indices);
}
}
