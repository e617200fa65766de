// The stand-in files of the story scene: selection voices and the packs.
#include "tools/datakit/StorySceneKit.h"

#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "game/scene/CStoryScene.h"
#include "game/scene/StorySheet.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/SheetCells.h"
#include "tools/datakit/SheetPainter.h"
#include "tools/datakit/SoundEncoder.h"
#include "tools/datakit/StoryDataKit.h"

#include <cmath>
#include <cstdio>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 11025;
constexpr uint32_t kScreenWidth = 1024;
constexpr uint32_t kScreenHeight = 768;
// A hue per route, for its pictures.
constexpr uint32_t kRouteHues[StorySheet::kMaxRoutes] = {0xFF804060u, 0xFF406080u, 0xFF408060u, 0xFF806040u,
                                                         0xFF604080u, 0xFF607040u, 0xFF705050u, 0xFF505050u};

std::string RouteName(uint32_t route)
{
    const std::string chapter = StoryDataKit::FirstChapter(route);
    return chapter.empty() ? "Route " + std::to_string(route + 1) : chapter.substr(0, chapter.find('_'));
}

// A spoken-sounding line: a voice-like tone rising and falling in
// syllables.
std::vector<int16_t> Line(double seconds, double pitch)
{
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kRate;
        const double glide = pitch * (1.0 + 0.2 * std::sin(2.0 * kPi * t / seconds));
        const double syllables = std::fabs(std::sin(5.0 * kPi * t / seconds));
        samples[f] = static_cast<int16_t>(std::lround(0.3 * syllables * std::sin(2.0 * kPi * glide * t) * 32767.0));
    }
    return samples;
}

// Where a whole screen's large label and its small one stand: their
// centre x, the large one's y and the small one's, and the room across.
struct ScreenLabels
{
    float x;
    float labelY;
    float noteY;
    float width;
};
// The ending's labels in the middle, over which the roll scrolls.
constexpr ScreenLabels kMiddleLabels{kScreenWidth * 0.5f, kScreenHeight * 0.4f, kScreenHeight * 0.7f,
                                     kScreenWidth * 0.7f};
// The route screen draws its lines and plates on the right from y 280 and
// fans its cards up from the bottom right: a route picture's labels keep
// to the upper left.
constexpr ScreenLabels kRouteLabels{352.0f, 300.0f, 400.0f, 600.0f};

// A whole screen of one hue with a large label and a small one.
std::vector<uint32_t> Screen(uint32_t hue, const std::string& label, const std::string& note, const ScreenLabels& place)
{
    SheetPainter painter(kScreenWidth, kScreenHeight, hue);
    painter.Text(label, place.x, place.labelY, place.width, 120.0f);
    painter.Text(note, place.x, place.noteY, place.width * 0.8f, 40.0f);
    return painter.Pixels();
}

std::string PictureEntry(const std::string& name)
{
    return "Texture\\" + name;
}

int WritePack(const std::string& path, const CResourcePackWriter& pack, std::string* error)
{
    CSafeFileWriter file;
    if (file.Open(path.c_str()) && pack.Write(file) && file.Commit())
        return 1;
    *error = "\"" + path + "\" can't be written";
    return 0;
}
}

std::vector<StorySceneKit::ListedFile> StorySceneKit::ListedFiles()
{
    std::vector<ListedFile> files;
    double pitch = 240.0;
    for (const char* voice : CStoryScene::kSelectionVoices)
    {
        files.push_back({std::string("Sound\\") + voice, [pitch] { return SoundEncoder::EncodeOgg(Line(1.2, pitch), 1, kRate); }});
        pitch += 25.0;
    }
    return files;
}

std::vector<uint32_t> StorySceneKit::RoutePicture(uint32_t route)
{
    char note[64];
    std::snprintf(note, sizeof note, "Story_Chara%02u  route %u", route + 1, route + 1);
    return Screen(kRouteHues[route % StorySheet::kMaxRoutes], RouteName(route), note, kRouteLabels);
}

std::vector<uint32_t> StorySceneKit::EndingPicture(uint32_t route)
{
    char note[64];
    std::snprintf(note, sizeof note, "Ending_%02u", route + 1);
    const uint32_t hue = kRouteHues[route % StorySheet::kMaxRoutes];
    // Brighter than the route's picture, so the two are told apart.
    const uint32_t light = 0xFF000000u | ((hue & 0x00FEFEFEu) + 0x00303030u);
    return Screen(light, RouteName(route) + " ENDING", note, kMiddleLabels);
}

std::vector<uint32_t> StorySceneKit::ChapterPicture(const std::string& name)
{
    using SheetCells::CellKind;
    const std::string person = name.substr(name.find('_') + 1, name.rfind('.') - name.find('_') - 1);
    SheetPainter painter(StorySheet::kPictureSize, StorySheet::kPictureSize, 0x00000000u);
    // The name low on the body, where no face covers it.
    painter.Draw({"", StorySheet::kBody, name, CellKind::Picture});
    const MenuCell& body = StorySheet::kBody;
    painter.Text(person, (body.left + body.right) * 0.5f, body.top + body.Height() * 0.62f, body.Width() * 0.8f, 120.0f);
    for (uint32_t face = 0; face < StorySheet::kFaces; ++face)
        painter.Draw({"", StorySheet::FaceCell(face), person + " " + std::to_string(face), CellKind::Label});
    return painter.Pixels();
}

std::vector<uint8_t> StorySceneKit::InterfaceSheet()
{
    const SheetCells::SheetSpec sheet{"Texture\\Story_01.dds", StorySheet::kSheetSize, StorySheet::kSheetSize,
                                      0x00000000u};
    return PaintSheet(sheet, SheetCells::StoryCells());
}

int StorySceneKit::WritePacks(const std::string& picturePack, const std::string& voicePack, std::string* error)
{
    CResourcePackWriter pictures;
    bool added = pictures.Add(CStoryScene::kSheetName, InterfaceSheet()) != 0;
    for (uint32_t route = 0; route < StorySheet::kMaxRoutes; ++route)
    {
        char name[64];
        std::snprintf(name, sizeof name, CStoryScene::kRoutePictureName, route + 1);
        added = added && pictures.Add(name, ImageEncoder::EncodeDdsDxt1(RoutePicture(route), kScreenWidth,
                                                                        kScreenHeight));
        std::snprintf(name, sizeof name, CStoryScene::kEndingPictureName, route + 1);
        added = added && pictures.Add(name, ImageEncoder::EncodeDdsDxt1(EndingPicture(route), kScreenWidth,
                                                                        kScreenHeight));
    }
    for (const std::string& picture : StoryDataKit::Pictures())
        added = added && pictures.Add(PictureEntry(picture).c_str(),
                                      ImageEncoder::EncodeDdsArgb(ChapterPicture(picture), StorySheet::kPictureSize,
                                                                  StorySheet::kPictureSize));
    CResourcePackWriter voices;
    double pitch = 200.0;
    for (const std::string& voice : StoryDataKit::Voices())
    {
        added = added && voices.Add(("Sound\\" + voice).c_str(), SoundEncoder::EncodeOgg(Line(1.0, pitch), 1, kRate));
        pitch = pitch > 500.0 ? 200.0 : pitch + 15.0;
    }
    if (!added)
    {
        *error = "the story's packs can't be made";
        return 0;
    }
    return WritePack(picturePack, pictures, error) && WritePack(voicePack, voices, error);
}
