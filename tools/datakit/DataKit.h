#pragma once

#include <string>
#include <vector>

// The stand-in data set that tests and both programs run on, made with the
// engine's own writers (the repository holds no data files of its own):
//
//   <folder>/Source/GameResource.grc   the loose set: textures (DDS, PNG),
//   <folder>/Source/...                sounds (WAVE, Ogg), effect files,
//                                      the font face names, a scene resource
//   <folder>/GameResource.grc          the same set packed by
//   <folder>/Data/*.gpk, ...           CResourceController::SaveTo
namespace DataKit
{
constexpr const char* kListName = "GameResource.grc";
constexpr const char* kSourceFolder = "Source";
// Music lasts this long so that loop points such as 7.058 s and 7.717 s
// lie inside it.
constexpr double kMusicSeconds = 10.5;

// The records of the loose list, in order.
std::vector<std::string> LooseRecords();

// Writes the loose set under folder (a data name; "" for the current
// folder): every file, then its list. 1/0 with the reason in error.
int WriteLooseSet(const std::string& folder, std::string* error);

// Loads the loose list with contents and saves it packed at packedList.
// Needs the graphics object and the sound device to exist. 1/0.
int PackSet(const std::string& looseList, const std::string& packedList, std::string* error);

// Both, into folder, as laid out above. Needs the devices as PackSet does.
int MakeDataSet(const std::string& folder, std::string* error);
}
