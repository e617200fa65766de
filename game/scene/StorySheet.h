#pragma once

#include "game/menu/MenuRect.h"

#include <cstdint>

// Where the story's pictures lie: the route screen's pieces and the message
// window in "Texture\Story_01.dds", the parts of every picture a chapter
// shows, and the whole-screen pictures of the routes and endings. The data
// kit draws the stand-in pictures from the same table.
namespace StorySheet
{
// The routes the tables below hold: the play data's most selectable
// characters.
inline constexpr uint32_t kMaxRoutes = 8;

// "Texture\Story_01.dds".
inline constexpr uint32_t kSheetSize = 1024;
inline constexpr MenuCell kTopStrip{.left = 160, .top = 36, .right = 164, .bottom = 60};
inline constexpr MenuCell kUnderHeadingStrip{.left = 168, .top = 36, .right = 172, .bottom = 60};
inline constexpr MenuCell kBottomStrip{.left = 152, .top = 36, .right = 156, .bottom = 72};
inline constexpr MenuCell kHeading{.left = 176, .top = 4, .right = 736, .bottom = 52};
inline constexpr MenuCell kRoutePanel{.left = 4, .top = 412, .right = 380, .bottom = 636};
inline constexpr MenuCell kUpperLine{.left = 176, .top = 56, .right = 500, .bottom = 60};
inline constexpr MenuCell kLowerLine{.left = 176, .top = 64, .right = 500, .bottom = 68};
// The two plates of a route, chosen by the character's definition.
inline constexpr uint32_t kPlatesA = 3;
inline constexpr MenuCell kPlateA[kPlatesA] = {
    {.left = 740, .top = 4, .right = 852, .bottom = 24},
    {.left = 740, .top = 28, .right = 852, .bottom = 48},
    {.left = 740, .top = 52, .right = 852, .bottom = 72},
};
inline constexpr const char* kPlateANames[kPlatesA] = {"Close range", "All round", "Long range"};
inline constexpr uint32_t kPlatesB = 6;
inline constexpr MenuCell kPlateB[kPlatesB] = {
    {.left = 856, .top = 4, .right = 1020, .bottom = 28},    {.left = 856, .top = 32, .right = 1020, .bottom = 56},
    {.left = 856, .top = 60, .right = 1020, .bottom = 84},   {.left = 856, .top = 88, .right = 1020, .bottom = 112},
    {.left = 856, .top = 116, .right = 1020, .bottom = 140}, {.left = 856, .top = 144, .right = 1020, .bottom = 168},
};
inline constexpr const char* kPlateBNames[kPlatesB] = {"Fire", "Water", "Wind", "Earth", "Light", "Dark"};
// The ring's cards, by route: routes 0-2 along the first row, 3-5 along
// the second, 6 and 7 at the end of each row.
inline constexpr MenuCell kRouteCards[kMaxRoutes] = {
    {.left = 4, .top = 640, .right = 144, .bottom = 828},   {.left = 148, .top = 640, .right = 288, .bottom = 828},
    {.left = 292, .top = 640, .right = 432, .bottom = 828}, {.left = 4, .top = 832, .right = 144, .bottom = 1020},
    {.left = 148, .top = 832, .right = 288, .bottom = 1020}, {.left = 292, .top = 832, .right = 432, .bottom = 1020},
    {.left = 436, .top = 640, .right = 576, .bottom = 828}, {.left = 436, .top = 832, .right = 576, .bottom = 1020},
};
inline constexpr MenuCell kArrow{.left = 4, .top = 112, .right = 80, .bottom = 144};
inline constexpr MenuCell kLitArrow{.left = 4, .top = 148, .right = 80, .bottom = 180};
// The message window's frame: nine 36 x 36 pieces cut from one drawn
// window, its corners kept and its edges and middle stretched.
inline constexpr float kFramePiece = 36.0f;
inline constexpr MenuCell kFrameWindow{.left = 4, .top = 4, .right = 108, .bottom = 108};
inline constexpr MenuCell kNextPage{.left = 112, .top = 4, .right = 140, .bottom = 32};

// Every picture a chapter shows: the body, and twelve faces that a
// chapter lays over it at one of seven places.
inline constexpr uint32_t kPictureSize = 1024;
inline constexpr MenuCell kBody{.left = 4, .top = 4, .right = 600, .bottom = 772};
inline constexpr uint32_t kFaces = 12;
inline constexpr float kFaceSize = 180.0f;
inline constexpr MenuCell FaceCell(uint32_t face)
{
    if (face < 8)
    {
        const float x = face % 2 == 0 ? 604.0f : 788.0f;
        const float y = 4.0f + 184.0f * static_cast<float>(face / 2);
        return {.left = x, .top = y, .right = x + kFaceSize, .bottom = y + kFaceSize};
    }
    const float x = 4.0f + 184.0f * static_cast<float>((face - 8) % 4);
    return {.left = x, .top = 776.0f, .right = x + kFaceSize, .bottom = 776.0f + kFaceSize};
}
// Where each face position lays the face, from the body's corner.
inline constexpr uint32_t kFacePositions = 7;
inline constexpr MenuPoint kFaceOffsets[kFacePositions] = {
    {206.0f, 140.0f}, {277.0f, 148.0f}, {248.0f, 144.0f}, {206.0f, 140.0f},
    {304.0f, 140.0f}, {236.0f, 152.0f}, {264.0f, 164.0f},
};

// The routes' own pictures and the ending pictures, a whole screen each.
inline constexpr MenuCell kWholeScreen{.left = 0, .top = 0, .right = 1024, .bottom = 768};
// The logo after the staff roll, in "CircleLogo_01.dds".
inline constexpr MenuCell kLogo{.left = 4, .top = 4, .right = 484, .bottom = 236};
}
