#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The stand-in files of the story scene: the selection voices the resource
// list names, and the story's two packs beside the packed set:
// "Data\StoryData.gpk" (the interface sheet, each route's picture and
// ending picture, and every picture the chapters name, each with its body
// and twelve faces) and "Data\StoryVoice.gpk" (every voice the chapters
// name). Pictures are labelled with what they are.
namespace StorySceneKit
{
struct ListedFile
{
    std::string name; // the record, e.g. "Sound\\Vo_plum_select.ogg"
    std::function<std::vector<uint8_t>()> make;
};

inline constexpr const char* kPicturePack = "Data\\StoryData.gpk";
inline constexpr const char* kVoicePack = "Data\\StoryVoice.gpk";

std::vector<ListedFile> ListedFiles();

// Pictures as ARGB pixels (rows top-down): a route's picture and ending
// picture (route from 0, 1024 x 768) and a chapter's picture by its file
// name (1024 x 1024).
std::vector<uint32_t> RoutePicture(uint32_t route);
std::vector<uint32_t> EndingPicture(uint32_t route);
std::vector<uint32_t> ChapterPicture(const std::string& name);
// The interface sheet's DDS bytes.
std::vector<uint8_t> InterfaceSheet();

// Both packs, at data names (kPicturePack and kVoicePack in the set's
// folder). 1/0 with the reason in error.
int WritePacks(const std::string& picturePack, const std::string& voicePack, std::string* error);
}
