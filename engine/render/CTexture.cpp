#include "engine/render/CTexture.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CkvrMatrix.h"
#include "engine/core/CkvrMemoryFile.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/core/CkvrVector3.h"
#include "engine/core/FileIo.h"
#include "engine/core/MathConstants.h"
#include "engine/platform/CGraphics.h"
#include "engine/platform/CSystem.h"
#include "engine/platform/device/DeviceTexture.h"
#include "engine/platform/device/GraphicsDevice.h"
#include "engine/platform/device/VertexFormats.h"
#include "engine/render/CCamera.h"
#include "engine/render/DdsImage.h"

#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

CGraphics* CTexture::s_graphics = nullptr;

namespace
{
constexpr uint32_t FVF_SCREEN = FVF_XYZRHW | FVF_DIFFUSE | FVF_TEX1; // 0x144
constexpr uint32_t FVF_WORLD = FVF_XYZ | FVF_DIFFUSE | FVF_TEX1;     // 0x142
constexpr uint32_t COLOR_KEY = 0xFF00FF00;
constexpr uint32_t POOL_MANAGED = 1;
constexpr int SECTOR_TRIANGLES = 24;

struct WorldVertex
{
    float x, y, z;
    uint32_t color;
    float u, v;
};
static_assert(sizeof(WorldVertex) == 24, "world vertices are 24 bytes");

// The sector's vertices live in static storage, as the other draw workers'
// corners do: drawing is main-thread only and not re-entrant.
TexturedScreenVertex g_sectorVertices[SECTOR_TRIANGLES + 2];

GraphicsDevice* Device(CGraphics* graphics)
{
    return graphics != nullptr ? graphics->GetDevice() : nullptr;
}

bool IsDds(const void* data, uint32_t size)
{
    return size >= 4 && std::memcmp(data, "DDS ", 4) == 0;
}

void ApplyColorKey(std::vector<uint32_t>& argb)
{
    for (uint32_t& texel : argb)
    {
        if (texel == COLOR_KEY)
            texel = 0;
    }
}

// Level `level` of the texture from ARGB texels (BGRA bytes in memory).
bool UploadArgb(DeviceTexture* texture, uint32_t level, const uint32_t* argb, uint32_t width, uint32_t height)
{
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (DeviceFailed(texture->LockRect(level, &bits, &pitch, nullptr, LOCK_DISCARD)))
        return false;
    for (uint32_t y = 0; y < height; ++y)
    {
        uint8_t* row = static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch;
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t c = argb[static_cast<size_t>(y) * width + x];
            row[x * 4 + 0] = static_cast<uint8_t>(c);
            row[x * 4 + 1] = static_cast<uint8_t>(c >> 8);
            row[x * 4 + 2] = static_cast<uint8_t>(c >> 16);
            row[x * 4 + 3] = static_cast<uint8_t>(c >> 24);
        }
    }
    return !DeviceFailed(texture->UnlockRect(level));
}

bool UploadBytes(DeviceTexture* texture, uint32_t level, const uint8_t* data, size_t size)
{
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (DeviceFailed(texture->LockRect(level, &bits, &pitch, nullptr, LOCK_DISCARD)))
        return false;
    std::memcpy(bits, data, size);
    return !DeviceFailed(texture->UnlockRect(level));
}

bool FitsDevice(GraphicsDevice* device, uint32_t width, uint32_t height)
{
    const DeviceCaps& caps = device->GetCaps();
    return width > 0 && height > 0 && width <= caps.maxTextureWidth && height <= caps.maxTextureHeight;
}

// A DDS image: compressed levels as they are where the device takes them,
// otherwise decoded to A8R8G8B8.
std::unique_ptr<DeviceTexture> CreateFromDds(GraphicsDevice* device, const void* data, uint32_t size, uint32_t* format)
{
    DdsImage image;
    if (!image.Read(data, size) || !FitsDevice(device, image.GetWidth(), image.GetHeight()))
        return nullptr;
    const uint32_t levels = static_cast<uint32_t>(image.GetLevels().size());
    if (image.IsCompressed() && device->IsTextureFormatSupported(image.GetFormat()))
    {
        std::unique_ptr<DeviceTexture> texture =
            device->CreateTexture(image.GetWidth(), image.GetHeight(), levels, 0, image.GetFormat());
        if (!texture)
            return nullptr;
        for (uint32_t i = 0; i < levels; ++i)
        {
            if (!UploadBytes(texture.get(), i, image.GetLevelData(i), image.GetLevels()[i].size))
                return nullptr;
        }
        *format = image.GetFormat();
        return texture;
    }
    // A single level gets its chain made by the device.
    std::unique_ptr<DeviceTexture> texture =
        device->CreateTexture(image.GetWidth(), image.GetHeight(), levels == 1 ? 0 : levels, 0, FORMAT_A8R8G8B8);
    if (!texture)
        return nullptr;
    std::vector<uint32_t> argb;
    for (uint32_t i = 0; i < levels; ++i)
    {
        if (!image.DecodeLevel(i, &argb))
            return nullptr;
        if (!image.IsCompressed())
            ApplyColorKey(argb);
        if (!UploadArgb(texture.get(), i, argb.data(), image.GetLevels()[i].width, image.GetLevels()[i].height))
            return nullptr;
    }
    if (levels == 1)
        texture->GenerateMipmaps();
    *format = FORMAT_A8R8G8B8;
    return texture;
}

// BMP, PNG and the other formats stb_image reads, as A8R8G8B8 with the
// colour key applied and a full mip chain.
std::unique_ptr<DeviceTexture> CreateFromStb(GraphicsDevice* device, const void* data, uint32_t size, uint32_t* width,
                             uint32_t* height, uint32_t* format)
{
    if (size > static_cast<uint32_t>(INT_MAX))
        return nullptr;
    int w = 0;
    int h = 0;
    int channels = 0;
    if (!stbi_info_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &w, &h, &channels) ||
        !FitsDevice(device, static_cast<uint32_t>(w), static_cast<uint32_t>(h)))
        return nullptr;
    stbi_uc* rgba = stbi_load_from_memory(static_cast<const stbi_uc*>(data), static_cast<int>(size), &w, &h,
                                          &channels, 4);
    if (rgba == nullptr)
        return nullptr;
    std::vector<uint32_t> argb(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (size_t i = 0; i < argb.size(); ++i)
    {
        const stbi_uc* p = rgba + i * 4;
        argb[i] = static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[0]) << 16 |
                  static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
    stbi_image_free(rgba);
    ApplyColorKey(argb);
    std::unique_ptr<DeviceTexture> texture =
        device->CreateTexture(static_cast<uint32_t>(w), static_cast<uint32_t>(h), 0, 0, FORMAT_A8R8G8B8);
    if (!texture || !UploadArgb(texture.get(), 0, argb.data(), static_cast<uint32_t>(w), static_cast<uint32_t>(h)))
        return nullptr;
    texture->GenerateMipmaps();
    *width = static_cast<uint32_t>(w);
    *height = static_cast<uint32_t>(h);
    *format = FORMAT_A8R8G8B8;
    return texture;
}

void WriteToFile(void* context, void* data, int size)
{
    // A failed write leaves the stream's error flag set; closing reports it.
    WriteBytes(static_cast<FILE*>(context), data, static_cast<size_t>(size));
}

bool IsFourByteFormat(uint32_t format)
{
    return format == FORMAT_A8R8G8B8 || format == FORMAT_X8R8G8B8;
}
}

CTexture::CTexture()
{
    SetKind(KIND_TEXTURE);
}

CTexture::~CTexture()
{
    ReleaseTexture();
}

void CTexture::ReleaseTexture()
{
    // The surface belongs to the texture.
    m_surface = nullptr;
    m_texture.reset();
}

uint32_t CTexture::Release()
{
    ReleaseTexture();
    return CResourceBase::Release();
}

// ---------------------------------------------------------------------------
// Creation

int CTexture::CreateFromImage(const void* data, uint32_t size)
{
    GraphicsDevice* device = Device(s_graphics);
    if (device == nullptr || data == nullptr || size == 0)
        return 0;
    ReleaseTexture();
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0;
    std::unique_ptr<DeviceTexture> texture;
    if (IsDds(data, size))
    {
        DdsImage header;
        texture = CreateFromDds(device, data, size, &format);
        if (texture != nullptr && header.Read(data, size))
        {
            width = header.GetWidth();
            height = header.GetHeight();
        }
    }
    else
        texture = CreateFromStb(device, data, size, &width, &height, &format);
    if (texture == nullptr)
        return 0;
    m_texture = std::move(texture);
    m_width = width;
    m_height = height;
    m_usage = 0;
    m_format = format;
    m_pool = POOL_MANAGED;
    return 1;
}

int CTexture::CreateFromFile(const char* fileName)
{
    if (Device(s_graphics) == nullptr || fileName == nullptr)
        return 0;
    const std::unique_ptr<CkvrMemoryFile> file(CkvrMemoryFile::Open(fileName));
    if (!file)
    {
        ReleaseTexture();
        return 0;
    }
    if (!CreateFromImage(file->GetData(), static_cast<uint32_t>(file->GetSize())))
        return 0;
    SetName(fileName);
    return 1;
}

int CTexture::CreateFromMemory(const void* data, const char* name, uint32_t size)
{
    if (Device(s_graphics) == nullptr || data == nullptr || name == nullptr || size == 0)
        return 0;
    if (!CreateFromImage(data, size))
        return 0;
    SetName(name);
    return 1;
}

int CTexture::CreateFromPack(CkvrPackFile* pack, const char* name)
{
    if (pack == nullptr || name == nullptr)
        return 0;
    const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
    if (entry == nullptr)
        return 0;
    uint8_t* bytes = pack->LoadFile(name);
    if (bytes == nullptr)
        return 0;
    const int result = CreateFromMemory(bytes, name, entry->size);
    AlignedFree(bytes);
    return result;
}

int CTexture::CreateRenderTarget(uint32_t width, uint32_t height, uint32_t usage, uint32_t format, uint32_t pool)
{
    GraphicsDevice* device = Device(s_graphics);
    if (device == nullptr)
        return 0;
    ReleaseTexture();
    m_texture = device->CreateTexture(width, height, 1, usage, format);
    if (!m_texture)
        return 0;
    SetName("Create");
    m_width = width;
    m_height = height;
    m_usage = usage;
    m_format = format;
    m_pool = pool;
    return 1;
}

// ---------------------------------------------------------------------------
// Contents

DeviceSurface* CTexture::GetSurface()
{
    if (m_surface == nullptr && m_texture != nullptr)
        m_surface = m_texture->GetSurfaceLevel(0);
    return m_surface;
}

int CTexture::SetAsRenderTarget()
{
    DeviceSurface* surface = GetSurface();
    if (s_graphics == nullptr || surface == nullptr)
        return 0;
    return s_graphics->SetRenderTarget(surface);
}

int CTexture::LockLevel0(void** bits, uint32_t* pitch)
{
    if (!DeviceFailed(m_texture->LockRect(0, bits, pitch, nullptr, LOCK_DISCARD)))
        return 1;
    return DeviceFailed(m_texture->LockRect(0, bits, pitch, nullptr, 0)) ? 0 : 1;
}

int CTexture::Clear()
{
    if (m_texture == nullptr)
        return 0;
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (!LockLevel0(&bits, &pitch))
        return 0;
    // The locked level holds the texture's own rows, whatever the stored
    // image height says.
    const uint32_t rows = m_texture->GetFormat() >= FORMAT_DXT1 ? (m_texture->GetHeight(0) + 3) / 4
                                                                : m_texture->GetHeight(0);
    std::memset(bits, 0, static_cast<size_t>(pitch) * rows);
    m_texture->UnlockRect(0);
    return 1;
}

int CTexture::Fill(uint32_t argb)
{
    if (m_texture == nullptr || !IsFourByteFormat(m_texture->GetFormat()))
        return 0;
    for (uint32_t level = 0; level < m_texture->GetLevelCount(); ++level)
    {
        void* bits = nullptr;
        uint32_t pitch = 0;
        if (DeviceFailed(m_texture->LockRect(level, &bits, &pitch, nullptr, LOCK_DISCARD)))
            return 0;
        for (uint32_t y = 0; y < m_texture->GetHeight(level); ++y)
        {
            uint8_t* row = static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * pitch;
            for (uint32_t x = 0; x < m_texture->GetWidth(level); ++x)
                std::memcpy(row + x * 4, &argb, 4);
        }
        m_texture->UnlockRect(level);
    }
    return 1;
}

int CTexture::SetPixelsRGB24(uint32_t width, uint32_t height, const uint8_t* pixels)
{
    if (m_texture == nullptr || pixels == nullptr || !IsFourByteFormat(m_texture->GetFormat()))
        return 0;
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (!LockLevel0(&bits, &pitch))
        return 0;
    const uint32_t rows = std::min(height, m_texture->GetHeight(0));
    const uint32_t columns = std::min({width, m_width, m_texture->GetWidth(0)});
    // The source rows are 3 x the source width apart, whatever the
    // texture's width.
    const size_t sourceStride = static_cast<size_t>(width) * 3;
    for (uint32_t r = 0; r < rows; ++r)
    {
        uint8_t* texel = static_cast<uint8_t*>(bits) + static_cast<size_t>(r) * pitch;
        const uint8_t* source = pixels + r * sourceStride;
        for (uint32_t c = 0; c < columns; ++c, texel += 4, source += 3)
        {
            texel[0] = source[0];
            texel[1] = source[1];
            texel[2] = source[2];
            texel[3] = 255;
        }
    }
    m_texture->UnlockRect(0);
    return 1;
}

int CTexture::SaveToFile(const char* fileName, uint32_t fileFormat, const float* rect)
{
    if (m_texture == nullptr || fileName == nullptr || !IsFourByteFormat(m_texture->GetFormat()) ||
        (fileFormat != KVRIMAGE_BMP && fileFormat != KVRIMAGE_PNG))
        return 0;
    const int32_t textureWidth = static_cast<int32_t>(m_texture->GetWidth(0));
    const int32_t textureHeight = static_cast<int32_t>(m_texture->GetHeight(0));
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = textureWidth;
    int32_t bottom = textureHeight;
    if (rect != nullptr)
    {
        // Truncated toward zero, then kept inside the surface.
        auto clampTo = [](float value, int32_t limit) {
            if (!(value > 0.0f))
                return 0;
            return value >= static_cast<float>(limit) ? limit : static_cast<int32_t>(value);
        };
        left = clampTo(rect[0], textureWidth);
        top = clampTo(rect[1], textureHeight);
        right = clampTo(rect[2], textureWidth);
        bottom = clampTo(rect[3], textureHeight);
    }
    if (right <= left || bottom <= top)
        return 0;
    void* bits = nullptr;
    uint32_t pitch = 0;
    if (DeviceFailed(m_texture->LockRect(0, &bits, &pitch, nullptr, LOCK_READONLY)))
        return 0;
    const int32_t w = right - left;
    const int32_t h = bottom - top;
    const bool opaque = m_texture->GetFormat() == FORMAT_X8R8G8B8;
    std::vector<uint8_t> rgba(static_cast<size_t>(w) * h * 4);
    for (int32_t y = 0; y < h; ++y)
    {
        const uint8_t* row = static_cast<const uint8_t*>(bits) + static_cast<size_t>(top + y) * pitch + left * 4;
        for (int32_t x = 0; x < w; ++x)
        {
            uint8_t* out = &rgba[(static_cast<size_t>(y) * w + x) * 4];
            out[0] = row[x * 4 + 2];
            out[1] = row[x * 4 + 1];
            out[2] = row[x * 4 + 0];
            out[3] = opaque ? 255 : row[x * 4 + 3];
        }
    }
    m_texture->UnlockRect(0);
    FileHandle file = OpenFile(fileName, "wb");
    if (!file)
        return 0;
    int written = 0;
    if (fileFormat == KVRIMAGE_PNG)
        written = stbi_write_png_to_func(WriteToFile, file.get(), w, h, 4, rgba.data(), w * 4);
    else
        written = stbi_write_bmp_to_func(WriteToFile, file.get(), w, h, 4, rgba.data());
    return written != 0 && CloseWrittenFile(std::move(file)) ? 1 : 0;
}

void CTexture::PixelToUV(const float* pixel, float* uv) const
{
    if (pixel == nullptr || uv == nullptr)
        return;
    uv[0] = pixel[0] / static_cast<float>(m_width);
    uv[1] = pixel[1] / static_cast<float>(m_height);
}

// ---------------------------------------------------------------------------
// Texture coordinates

void CTexture::SourceRect(const float* src, float out[4]) const
{
    if (src != nullptr)
    {
        std::copy_n(src, 4, out);
        return;
    }
    out[0] = 0.0f;
    out[1] = 0.0f;
    out[2] = static_cast<float>(m_width);
    out[3] = static_cast<float>(m_height);
}

void CTexture::GetCornerUVs(const float* src, float* topLeft, float* bottomLeft, float* topRight,
                            float* bottomRight, uint8_t flip) const
{
    float rect[4];
    SourceRect(src, rect);
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    const float l = rect[0] / w;
    const float r = rect[2] / w;
    const float t = rect[1] / h;
    const float b = rect[3] / h;
    // Rows: flip; columns: top-left, bottom-left, top-right, bottom-right.
    const float table[6][4][2] = {
        {{l, t}, {l, b}, {r, t}, {r, b}},
        {{r, t}, {r, b}, {l, t}, {l, b}},
        {{l, b}, {l, t}, {r, b}, {r, t}},
        {{r, b}, {r, t}, {l, b}, {l, t}},
        {{l, b}, {r, b}, {l, t}, {r, t}},
        {{r, t}, {l, t}, {r, b}, {l, b}},
    };
    const int row = flip <= 5 ? flip : 0;
    float* outs[4] = {topLeft, bottomLeft, topRight, bottomRight};
    for (int i = 0; i < 4; ++i)
    {
        if (outs[i] != nullptr)
        {
            outs[i][0] = table[row][i][0];
            outs[i][1] = table[row][i][1];
        }
    }
}

// ---------------------------------------------------------------------------
// 2D draws

int CTexture::DrawQuad(const float corners[4][2], float z, const float* src, uint32_t color, uint8_t flip)
{
    float uv[4][2]; // top-left, bottom-left, top-right, bottom-right
    GetCornerUVs(src, uv[0], uv[1], uv[2], uv[3], flip);
    // Vertex order top-left, top-right, bottom-right, bottom-left.
    const int uvOf[4] = {0, 2, 3, 1};
    TexturedScreenVertex vertices[4];
    for (int i = 0; i < 4; ++i)
        vertices[i] = {corners[i][0], corners[i][1], z, 1.0f, color, uv[uvOf[i]][0], uv[uvOf[i]][1]};
    s_graphics->SetTexture(m_texture.get());
    s_graphics->SetFVF(FVF_SCREEN);
    return s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, vertices, sizeof(TexturedScreenVertex));
}

int CTexture::Draw(float x, float y, const float* src, uint32_t color, uint8_t flip)
{
    return DrawImpl(x, y, 0.0f, src, color, flip, KVRDRAWANCHOR_DEFAULT);
}

int CTexture::DrawEx(float x, float y, const float* src, uint32_t color, uint8_t flip, uint8_t anchor)
{
    return DrawImpl(x, y, 0.0f, src, color, flip, anchor);
}

int CTexture::DrawZ(float x, float y, float z, const float* src, uint32_t color, uint8_t flip)
{
    return DrawImpl(x, y, z, src, color, flip, KVRDRAWANCHOR_DEFAULT);
}

int CTexture::DrawImpl(float x, float y, float z, const float* src, uint32_t color, uint8_t flip, uint8_t anchor)
{
    if (Device(s_graphics) == nullptr)
        return 0;
    float rect[4];
    SourceRect(src, rect);
    float w = rect[2] - rect[0];
    float h = rect[3] - rect[1];
    if (flip == 4 || flip == 5)
        std::swap(w, h);
    if (anchor & KVRDRAWANCHOR_HCENTER)
        x -= w / 2.0f;
    else if (anchor & KVRDRAWANCHOR_RIGHT)
        x -= w;
    if (anchor & KVRDRAWANCHOR_VCENTER)
        y -= h / 2.0f;
    else if (anchor & KVRDRAWANCHOR_BOTTOM)
        y -= h;
    float origin[2];
    s_graphics->GetViewportOrigin(&origin[0], &origin[1]);
    x += origin[0];
    y += origin[1];
    const float corners[4][2] = {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
    return DrawQuad(corners, z, src, color, flip);
}

int CTexture::DrawRect(const float* dst, const float* src, uint32_t color, uint8_t flip)
{
    GraphicsDevice* device = Device(s_graphics);
    if (device == nullptr)
        return 0;
    float target[4];
    if (dst != nullptr)
        std::copy_n(dst, 4, target);
    else
    {
        // The window's client area; without a window, the back buffer.
        const CSystem* system = s_graphics->GetSystem();
        target[0] = 0.0f;
        target[1] = 0.0f;
        target[2] = static_cast<float>(system != nullptr ? static_cast<uint32_t>(system->GetWidth())
                                                         : device->GetPresentParameters().backBufferWidth);
        target[3] = static_cast<float>(system != nullptr ? static_cast<uint32_t>(system->GetHeight())
                                                         : device->GetPresentParameters().backBufferHeight);
    }
    float origin[2];
    s_graphics->GetViewportOrigin(&origin[0], &origin[1]);
    const float l = target[0] + origin[0];
    const float t = target[1] + origin[1];
    const float r = target[2] + origin[0];
    const float b = target[3] + origin[1];
    const float corners[4][2] = {{l, t}, {r, t}, {r, b}, {l, b}};
    return DrawQuad(corners, 0.0f, src, color, flip);
}

int CTexture::DrawScaled(float x, float y, const float* src, float scale, uint32_t color, uint8_t flip, int center)
{
    return DrawScaledImpl(x, y, 0.0f, src, scale, scale, color, flip, center, center, KVRDRAWANCHOR_DEFAULT);
}

int CTexture::DrawScaledEx(float x, float y, const float* src, float scale, uint32_t color, uint8_t flip, int center,
                           uint8_t anchor)
{
    return DrawScaledImpl(x, y, 0.0f, src, scale, scale, color, flip, center, center, anchor);
}

int CTexture::DrawScaledZ(float x, float y, float z, const float* src, float scale, uint32_t color, uint8_t flip,
                          int center)
{
    return DrawScaledImpl(x, y, z, src, scale, scale, color, flip, center, center, KVRDRAWANCHOR_DEFAULT);
}

int CTexture::DrawScaledXY(float x, float y, const float* src, float sx, float sy, uint32_t color, uint8_t flip,
                           int cx, int cy)
{
    return DrawScaledImpl(x, y, 0.0f, src, sx, sy, color, flip, cx, cy, KVRDRAWANCHOR_DEFAULT);
}

int CTexture::DrawScaledXYEx(float x, float y, const float* src, float sx, float sy, uint32_t color, uint8_t flip,
                             int cx, int cy, uint8_t anchor)
{
    return DrawScaledImpl(x, y, 0.0f, src, sx, sy, color, flip, cx, cy, anchor);
}

int CTexture::DrawScaledXYZ(float x, float y, float z, const float* src, float sx, float sy, uint32_t color,
                            uint8_t flip, int cx, int cy)
{
    return DrawScaledImpl(x, y, z, src, sx, sy, color, flip, cx, cy, KVRDRAWANCHOR_DEFAULT);
}

namespace
{
// One axis of a scaled draw: the anchor places the unscaled image (size),
// the centre flag keeps its centre where it was; drawn is the scaled size
// after a quarter-turn swap.
float ScaledStart(float p, float size, float scale, float drawn, bool center, bool middle, bool far)
{
    if (middle)
        return p - drawn / 2.0f;
    if (far)
        return center ? p - size / 2.0f - (size / 2.0f) * scale : p - drawn;
    return center ? p + size / 2.0f - (size / 2.0f) * scale : p;
}
}

int CTexture::DrawScaledImpl(float x, float y, float z, const float* src, float sx, float sy, uint32_t color,
                             uint8_t flip, int cx, int cy, uint8_t anchor)
{
    if (Device(s_graphics) == nullptr)
        return 0;
    float rect[4];
    SourceRect(src, rect);
    const float W = rect[2] - rect[0];
    const float H = rect[3] - rect[1];
    float w = W * sx;
    float h = H * sy;
    if (flip == 4 || flip == 5)
        std::swap(w, h);
    float x0 = ScaledStart(x, W, sx, w, cx != 0, (anchor & KVRDRAWANCHOR_HCENTER) != 0,
                           (anchor & KVRDRAWANCHOR_RIGHT) != 0);
    float y0 = ScaledStart(y, H, sy, h, cy != 0, (anchor & KVRDRAWANCHOR_VCENTER) != 0,
                           (anchor & KVRDRAWANCHOR_BOTTOM) != 0);
    float origin[2];
    s_graphics->GetViewportOrigin(&origin[0], &origin[1]);
    x0 += origin[0];
    y0 += origin[1];
    const float corners[4][2] = {{x0, y0}, {x0 + w, y0}, {x0 + w, y0 + h}, {x0, y0 + h}};
    return DrawQuad(corners, z, src, color, flip);
}

int CTexture::DrawRotated(float x, float y, const float* src, float angle, uint32_t color, uint8_t flip)
{
    return DrawRotatedImpl(x, y, src, angle, 1.0f, 1.0f, color, flip, KVRDRAWANCHOR_ROTATED_DEFAULT);
}

int CTexture::DrawRotatedScaled(float x, float y, const float* src, float angle, float sx, float sy, uint32_t color,
                                uint8_t flip)
{
    return DrawRotatedImpl(x, y, src, angle, sx, sy, color, flip, KVRDRAWANCHOR_ROTATED_DEFAULT);
}

int CTexture::DrawRotatedImpl(float x, float y, const float* src, float angle, float sx, float sy, uint32_t color,
                              uint8_t flip, uint8_t anchor)
{
    if (Device(s_graphics) == nullptr)
        return 0;
    float rect[4];
    SourceRect(src, rect);
    float w = (rect[2] - rect[0]) * sx;
    float h = (rect[3] - rect[1]) * sy;
    if (flip == 4 || flip == 5)
        std::swap(w, h);
    // Corner offsets from the pivot: top-left, top-right, bottom-right,
    // bottom-left.
    float pivotX = x + w / 2.0f;
    float pivotY = y + h / 2.0f;
    float ox[4] = {-w / 2.0f, w / 2.0f, w / 2.0f, -w / 2.0f};
    float oy[4] = {-h / 2.0f, -h / 2.0f, h / 2.0f, h / 2.0f};
    if (anchor & KVRDRAWANCHOR_LEFT)
    {
        pivotX = x;
        const float o[4] = {0.0f, w, w, 0.0f};
        std::copy_n(o, 4, ox);
    }
    else if (anchor & KVRDRAWANCHOR_RIGHT)
    {
        pivotX = x + w;
        const float o[4] = {-w, 0.0f, 0.0f, -w};
        std::copy_n(o, 4, ox);
    }
    if (anchor & KVRDRAWANCHOR_TOP)
    {
        pivotY = y;
        const float o[4] = {0.0f, 0.0f, h, h};
        std::copy_n(o, 4, oy);
    }
    else if (anchor & KVRDRAWANCHOR_BOTTOM)
    {
        pivotY = y + h;
        const float o[4] = {-h, -h, 0.0f, 0.0f};
        std::copy_n(o, 4, oy);
    }
    float origin[2];
    s_graphics->GetViewportOrigin(&origin[0], &origin[1]);
    pivotX += origin[0];
    pivotY += origin[1];
    const float a = angle * kDegreeToRadian;
    const float c = std::cos(a);
    const float s = std::sin(a);
    float corners[4][2];
    for (int i = 0; i < 4; ++i)
    {
        corners[i][0] = ox[i] * c - oy[i] * s + pivotX;
        corners[i][1] = ox[i] * s + oy[i] * c + pivotY;
    }
    return DrawQuad(corners, 0.0f, src, color, flip);
}

int CTexture::DrawSector(float x, float y, float z, const float* src, float radius, float start, float end,
                         uint32_t color)
{
    if (Device(s_graphics) == nullptr)
        return 0;
    float rect[4];
    SourceRect(src, rect);
    float origin[2];
    s_graphics->GetViewportOrigin(&origin[0], &origin[1]);
    const float cx = x + origin[0];
    const float cy = y + origin[1];
    const float u0 = rect[0] / static_cast<float>(m_width);
    const float v0 = rect[1] / static_cast<float>(m_height);
    const float du = (rect[2] - rect[0]) / static_cast<float>(m_width);
    const float dv = (rect[3] - rect[1]) / static_cast<float>(m_height);
    g_sectorVertices[0] = {cx, cy, z, 1.0f, color, u0 + du / 2.0f, v0 + dv / 2.0f};
    for (int i = 0; i <= SECTOR_TRIANGLES; ++i)
    {
        const float degrees = start + static_cast<float>(i) * (end - start) / static_cast<float>(SECTOR_TRIANGLES);
        const float a = degrees * kDegreeToRadian;
        const float c = std::cos(a);
        const float s = std::sin(a);
        g_sectorVertices[i + 1] = {cx + radius * c, cy + radius * s, z, 1.0f, color,
                                   u0 + du / 2.0f + (du / 2.0f) * c, v0 + dv / 2.0f + (dv / 2.0f) * s};
    }
    s_graphics->SetTexture(m_texture.get());
    s_graphics->SetFVF(FVF_SCREEN);
    return s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, SECTOR_TRIANGLES, g_sectorVertices, sizeof(TexturedScreenVertex));
}

// ---------------------------------------------------------------------------
// World quads

int CTexture::DrawWorldQuad(const CkvrMatrix* world, float a, float b, const float* src, uint32_t color)
{
    if (Device(s_graphics) == nullptr || world == nullptr)
        return 0;
    s_graphics->SetWorldTransform(world);
    const uint32_t lighting = s_graphics->GetStateCache()->lighting;
    const uint32_t fog = s_graphics->GetStateCache()->fogEnable;
    s_graphics->SetLighting(0);
    s_graphics->SetFogEnable(0);
    float rect[4];
    SourceRect(src, rect);
    const float l = rect[0] / static_cast<float>(m_width);
    const float r = rect[2] / static_cast<float>(m_width);
    const float t = rect[1] / static_cast<float>(m_height);
    const float bt = rect[3] / static_cast<float>(m_height);
    const WorldVertex vertices[4] = {
        {-a, b, 0.0f, color, l, t},
        {a, b, 0.0f, color, r, t},
        {a, -b, 0.0f, color, r, bt},
        {-a, -b, 0.0f, color, l, bt},
    };
    s_graphics->SetTexture(m_texture.get());
    s_graphics->SetFVF(FVF_WORLD);
    const int result = s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, vertices, sizeof(WorldVertex));
    if (lighting != 0)
        s_graphics->SetLighting(1);
    if (fog != 0)
        s_graphics->SetFogEnable(1);
    return result;
}

int CTexture::DrawPolygon(const CkvrMatrix* world, const float* src, uint32_t color)
{
    return DrawWorldQuad(world, 0.5f, 0.5f, src, color);
}

int CTexture::DrawPolygonFit(const CkvrMatrix* world, const float* src, uint32_t color)
{
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    const float m = std::max(w, h);
    if (!(m > 0.0f))
        return 0;
    return DrawWorldQuad(world, (w / m) / 2.0f, (h / m) / 2.0f, src, color);
}

int CTexture::DrawWorld(const float* position, const float* scale, const float* rotation, const float* src,
                        uint32_t color)
{
    if (position == nullptr || scale == nullptr || rotation == nullptr)
        return 0;
    const CkvrVector3 p(position[0], position[1], position[2]);
    const CkvrVector3 s(scale[0], scale[1], scale[2]);
    CkvrMatrix scaling;
    scaling.SetScaling(&s);
    CkvrMatrix rotating;
    rotating.SetRotation(rotation[0], rotation[1], rotation[2]);
    CkvrMatrix translation;
    translation.SetTranslation(&p);
    const CkvrMatrix world = scaling * rotating * translation;
    return DrawPolygon(&world, src, color);
}

int CTexture::DrawBillboard(const CkvrMatrix* world, float bias, const float* src, uint32_t color)
{
    // Without a texture it draws in the vertex colour, as DrawPolygon does.
    if (s_graphics == nullptr || world == nullptr)
        return 0;
    CCamera* camera = s_graphics->GetCamera();
    if (camera == nullptr)
        return 0;

    float uv[4][2]; // top-left, bottom-left, top-right, bottom-right
    GetCornerUVs(src, uv[0], uv[1], uv[2], uv[3], 0);
    // Corners top-left, top-right, bottom-right, bottom-left of the unit quad.
    const float quad[4][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, -0.5f}, {-0.5f, -0.5f}};
    const int uvOf[4] = {0, 2, 3, 1};
    TexturedScreenVertex vertices[4];
    for (int i = 0; i < 4; ++i)
    {
        const CkvrVector3 corner = CkvrVector3(quad[i][0], quad[i][1], 0.0f).GetTransform(*world);
        const float point[3] = {corner.x, corner.y, corner.z};
        float x = 0.0f;
        float y = 0.0f;
        float depth = 0.0f;
        camera->WorldToScreen(point, &x, &y, &depth);
        depth += bias;
        // Behind the near plane or past the far plane: the whole quad goes.
        if (!(depth >= 0.0f && depth < 1.0f))
            return 0;
        // The projection already includes the viewport; no origin is added.
        vertices[i] = {x, y, depth, 1.0f, color, uv[uvOf[i]][0], uv[uvOf[i]][1]};
    }
    s_graphics->SetTexture(m_texture.get());
    s_graphics->SetFVF(FVF_SCREEN);
    return s_graphics->DrawPrimitiveUP(PT_TRIANGLEFAN, 2, vertices, sizeof(TexturedScreenVertex));
}
