#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The stand-in files of the game's start and menu scenes: the texture
// sheets drawn from their cell tables, the menus' music and the title
// voices (all named by the resource list), and the files the game opens by
// path beside the packed set: the loading picture, the opening movie and
// the record pages' pictures.
namespace GameSceneKit
{
struct ListedFile
{
    std::string name; // the record, e.g. "Texture\\Select_01.dds"
    std::function<std::vector<uint8_t>()> make;
};

// The title's voices, in the order the title draws them.
inline constexpr const char* kTitleVoices[7] = {"Vo_plum_title.ogg",   "Vo_noce_title.ogg",     "Vo_aprico_title.ogg",
                                                "Vo_lierre_title.ogg", "Vo_alptraum_title.ogg", "Vo_cyneria_title.ogg",
                                                "Vo_limone_title.ogg"};
inline constexpr const char* kLoadingPicture = "Texture\\Loading_01.dds";
inline constexpr const char* kOpeningMovie = "Movie\\OP.mpg";
inline constexpr const char* kRecordPack = "Data\\RecordData.gpk";
inline constexpr int kRecordPictures = 6;
inline constexpr int kMovieSeconds = 3;

std::vector<ListedFile> ListedFiles();
// Writes the loose files under folder (a data name). 1/0 with the reason.
int WriteLooseFiles(const std::string& folder, std::string* error);

// One record page's picture (page from 1) as ARGB pixels, and the opening
// movie's bytes.
std::vector<uint32_t> RecordPicture(int page);
std::vector<uint8_t> OpeningMovie();
// The record pages' pack, written at a data name. 1/0.
int WriteRecordPack(const std::string& dataName);
}
