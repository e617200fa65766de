#pragma once

// The story scene's files for tests: the story's two packs with pictures
// of plain, known colours (so that pixels can be checked), a long voice,
// and the whole stand-in set for the tests that play a route from the
// title.

#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/scene/CStoryScene.h"
#include "game/scene/StorySheet.h"
#include "tests/game/scene/SceneFiles.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/StorySceneKit.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace story_test
{
// The red, green and blue of two colours differ by at most tolerance.
inline bool Near(uint32_t actual, uint32_t expected, int tolerance = 12)
{
    for (int shift : {16, 8, 0})
    {
        const int a = static_cast<int>((actual >> shift) & 0xFF);
        const int e = static_cast<int>((expected >> shift) & 0xFF);
        if (std::abs(a - e) > tolerance)
            return false;
    }
    return true;
}

// The test pictures: a body of one colour, and every face its own colour.
constexpr uint32_t kRed = 0xFFE00000u;
constexpr uint32_t kBlue = 0xFF0000E0u;
constexpr uint32_t kWhite = 0xFFFFFFFFu;
inline uint32_t FaceColor(uint32_t face)
{
    static const uint32_t colors[StorySheet::kFaces] = {0xFF00E000u, 0xFFE0E000u, 0xFF00E0E0u, 0xFFE000E0u,
                                                        0xFF808000u, 0xFF008080u, 0xFF800080u, 0xFF804000u,
                                                        0xFF408000u, 0xFF004080u, 0xFF800040u, 0xFF404040u};
    return colors[face % StorySheet::kFaces];
}

inline std::vector<uint8_t> Picture(uint32_t body)
{
    const uint32_t size = StorySheet::kPictureSize;
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, 0u);
    auto fill = [&](const MenuCell& cell, uint32_t argb) {
        for (uint32_t y = static_cast<uint32_t>(cell.top); y < static_cast<uint32_t>(cell.bottom); ++y)
            for (uint32_t x = static_cast<uint32_t>(cell.left); x < static_cast<uint32_t>(cell.right); ++x)
                pixels[static_cast<size_t>(y) * size + x] = argb;
    };
    fill(StorySheet::kBody, body);
    for (uint32_t face = 0; face < StorySheet::kFaces; ++face)
        fill(StorySheet::FaceCell(face), FaceColor(face));
    return ImageEncoder::EncodeDdsArgb(pixels, size, size);
}

inline std::vector<uint8_t> Screen(uint32_t argb)
{
    return ImageEncoder::EncodeDdsArgb(std::vector<uint32_t>(1024u * 768u, argb), 1024, 768);
}

inline bool WritePack(const std::string& name, const CResourcePackWriter& pack)
{
    CSafeFileWriter file;
    return file.Open(name.c_str()) && pack.Write(file) && file.Commit();
}

// The packs: the interface sheet, the first route's pictures, "Red.dds",
// "Blue.dds" and "White.dds", and a voice "Vo_long.ogg" of three seconds.
inline bool WriteTestPacks()
{
    CResourcePackWriter pictures;
    char name[64];
    std::snprintf(name, sizeof name, CStoryScene::kRoutePictureName, 1u);
    bool added = pictures.Add(CStoryScene::kSheetName, StorySceneKit::InterfaceSheet()) != 0 &&
                 pictures.Add(name, Screen(0xFF203040u)) != 0;
    std::snprintf(name, sizeof name, CStoryScene::kEndingPictureName, 1u);
    added = added && pictures.Add(name, Screen(0xFF406080u)) != 0 &&
            pictures.Add("Texture\\Red.dds", Picture(kRed)) != 0 &&
            pictures.Add("Texture\\Blue.dds", Picture(kBlue)) != 0 &&
            pictures.Add("Texture\\White.dds", Picture(kWhite)) != 0;
    CResourcePackWriter voices;
    added = added && voices.Add("Sound\\Vo_long.ogg", game_test::OggTone(3.0, 300.0)) != 0;
    return added && WritePack(CStoryScene::kPicturePack, pictures) && WritePack(CStoryScene::kVoicePack, voices);
}

// The packed stand-in set the build wrote, linked into the test's folder
// (the current one) in place of the files written there.
inline bool LinkStandInSet()
{
    std::error_code error;
    for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(KVR_STAND_IN_SET))
    {
        const std::filesystem::path name = entry.path().filename();
        if (name == "Source")
            continue;
        std::filesystem::remove_all(name, error);
        std::filesystem::create_symlink(entry.path(), name, error);
        if (error)
            return false;
    }
    return true;
}
}
