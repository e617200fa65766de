// The stand-in files of the start and the menu scenes.
#include "tools/datakit/GameSceneKit.h"

#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/MovieEncoder.h"
#include "tools/datakit/SheetCells.h"
#include "tools/datakit/SheetPainter.h"
#include "tools/datakit/SoundEncoder.h"

#include <cmath>
#include <cstdio>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 11025;
constexpr uint32_t kScreenWidth = 1024;
constexpr uint32_t kScreenHeight = 768;
// Music lasts past every loop point of the menus (7.058 s, 7.717 s).
constexpr double kTitleMusicSeconds = 10.5;
constexpr double kLogoMusicSeconds = 6.0;
constexpr int kMovieWidth = 320;
constexpr int kMovieHeight = 240;
constexpr int kMovieRate = 25;
// The record pages' characters, as the stand-in set names them.
constexpr const char* kRecordNames[GameSceneKit::kRecordPictures] = {"Aria", "Bram", "Cleo", "Dax", "Edda", "Finn"};

// A calm mono tune: one note every half second over a held fifth.
std::vector<int16_t> Tune(double seconds, double root)
{
    static const double steps[8] = {0, 7, 12, 7, 4, 7, 12, 16};
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kRate;
        const size_t note = static_cast<size_t>(t * 2.0);
        const double local = t - static_cast<double>(note) / 2.0;
        const double melody =
            std::exp(-local * 4.0) * std::sin(2.0 * kPi * root * std::pow(2.0, steps[note % 8] / 12.0) * t);
        const double drone = 0.3 * std::sin(2.0 * kPi * root * 0.5 * t) + 0.2 * std::sin(2.0 * kPi * root * 0.75 * t);
        samples[f] = static_cast<int16_t>(std::lround(0.3 * (melody + drone) * 32767.0));
    }
    return samples;
}

// A spoken-sounding call: a gliding tone with a syllable envelope.
std::vector<int16_t> Call(double seconds, double pitch)
{
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kRate;
        const double glide = pitch * (1.0 + 0.3 * std::sin(kPi * t / seconds));
        const double syllables = std::fabs(std::sin(3.0 * kPi * t / seconds));
        const double value =
            0.4 * syllables * std::sin(2.0 * kPi * glide * t) * (1.0 + 0.5 * std::sin(2.0 * kPi * 3.0 * glide * t));
        samples[f] = static_cast<int16_t>(std::lround(value / 1.5 * 32767.0));
    }
    return samples;
}

// A record page draws its picture over the menu frame and writes its
// figures from x 28 to 736 over both: the stand-in picture is a portrait
// right of the figures and between the frame's bands, and transparent
// elsewhere, so that the frame and its title show as on the totals page.
// Its edges fall on 4 x 4 blocks.
constexpr MenuCell kPortrait{.left = 744, .top = 104, .right = 1016, .bottom = 728};
constexpr float kPortraitNoteHeight = 24.0f;
constexpr float kPortraitMargin = 8.0f;

// A whole screen: a gradient of the hue with a big label and a small one.
std::vector<uint32_t> Screen(uint32_t hue, const std::string& label, const std::string& note)
{
    SheetPainter painter(kScreenWidth, kScreenHeight, hue);
    const SheetCells::SheetCell whole{"", MenuCell{.left = 0, .top = 0, .right = kScreenWidth, .bottom = kScreenHeight},
                                      note, SheetCells::CellKind::Picture};
    painter.Draw(whole);
    painter.Text(label, kScreenWidth * 0.5f, kScreenHeight * 0.4f, kScreenWidth * 0.8f, 120.0f);
    return painter.Pixels();
}

// A screen-sized picture, transparent but for a portrait of the hue with
// its name large and a small note at its foot.
std::vector<uint32_t> Portrait(uint32_t hue, const std::string& label, const std::string& note)
{
    SheetPainter painter(kScreenWidth, kScreenHeight, 0);
    painter.Draw({"", kPortrait, label, SheetCells::CellKind::Splash, hue});
    const float centreX = (kPortrait.left + kPortrait.right) * 0.5f;
    painter.Text(note, centreX, kPortrait.bottom - kPortraitMargin - kPortraitNoteHeight * 0.5f,
                 kPortrait.Width() - 2.0f * kPortraitMargin, kPortraitNoteHeight);
    return painter.Pixels();
}

// An opaque colour of the hue for a pixel picture.
uint32_t Hue(int index)
{
    static const uint32_t hues[] = {0xFF503070u, 0xFF305070u, 0xFF307050u, 0xFF705030u, 0xFF703050u, 0xFF505070u};
    return hues[index % 6];
}

int WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error)
{
    CSafeFileWriter file;
    if (!bytes.empty() && file.Open(path.c_str()) && file.Write(bytes.data(), bytes.size()) && file.Commit())
        return 1;
    *error = "\"" + path + "\" can't be written";
    return 0;
}

int WritePack(const std::string& path, std::string* error)
{
    if (GameSceneKit::WriteRecordPack(path))
        return 1;
    *error = "\"" + path + "\" can't be written";
    return 0;
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
        return folder + name;
    return folder + "\\" + name;
}
}

std::vector<GameSceneKit::ListedFile> GameSceneKit::ListedFiles()
{
    std::vector<ListedFile> files;
    for (const SheetCells::SheetSpec& sheet : SheetCells::Sheets())
        files.push_back({sheet.name, [sheet] { return PaintSheet(sheet, SheetCells::AllCells()); }});
    files.push_back(
        {"Bgm\\Bgm_circle.ogg", [] { return SoundEncoder::EncodeOgg(Tune(kLogoMusicSeconds, 330.0), 1, kRate); }});
    files.push_back(
        {"Bgm\\Bgm_title.ogg", [] { return SoundEncoder::EncodeOgg(Tune(kTitleMusicSeconds, 262.0), 1, kRate); }});
    for (int voice = 0; voice < 7; ++voice)
    {
        const double pitch = 220.0 + 30.0 * voice;
        files.push_back({std::string("Sound\\") + kTitleVoices[voice],
                         [pitch] { return SoundEncoder::EncodeOgg(Call(1.0, pitch), 1, kRate); }});
    }
    return files;
}

std::vector<uint32_t> GameSceneKit::RecordPicture(int page)
{
    char note[64];
    std::snprintf(note, sizeof note, "PlayMemory_%02d", page);
    return Portrait(Hue(page - 1), kRecordNames[(page - 1) % kRecordPictures], note);
}

int GameSceneKit::WriteRecordPack(const std::string& dataName)
{
    CResourcePackWriter pack;
    for (int page = 1; page <= kRecordPictures; ++page)
    {
        char name[64];
        std::snprintf(name, sizeof name, "Texture\\PlayMemory_%02d.dds", page);
        pack.Add(name, ImageEncoder::EncodeDdsDxt1(RecordPicture(page), kScreenWidth, kScreenHeight));
    }
    CSafeFileWriter file;
    return file.Open(dataName.c_str()) && pack.Write(file) && file.Commit() ? 1 : 0;
}

std::vector<uint8_t> GameSceneKit::OpeningMovie()
{
    constexpr int frames = kMovieSeconds * kMovieRate;
    // The titles stay; only the light moves over them.
    SheetPainter still(kMovieWidth, kMovieHeight, 0xFF101830u);
    still.Text("OPENING MOVIE", kMovieWidth * 0.5f, kMovieHeight * 0.45f, kMovieWidth * 0.9f, 36.0f);
    still.Text("QOR", kMovieWidth * 0.5f, kMovieHeight * 0.7f, kMovieWidth * 0.5f, 40.0f);
    return MovieEncoder::EncodeMpeg1(kMovieWidth, kMovieHeight, kMovieRate, frames, [&still](int frame) {
        SheetPainter painter(kMovieWidth, kMovieHeight, 0);
        painter.SetPixels(still.Pixels());
        const float x = static_cast<float>(frame) / static_cast<float>(frames) * (kMovieWidth + 120.0f) - 60.0f;
        const SheetCells::SheetCell light{
            "", MenuCell{.left = x - 60.0f, .top = 0, .right = x + 60.0f, .bottom = static_cast<float>(kMovieHeight)},
            "", SheetCells::CellKind::Light};
        painter.Draw(light);
        return painter.Pixels();
    });
}

int GameSceneKit::WriteLooseFiles(const std::string& folder, std::string* error)
{
    const std::vector<uint32_t> loading = Screen(0xFF202838u, "NOW LOADING", "QOR");
    return WriteFile(Join(folder, kLoadingPicture), ImageEncoder::EncodeDdsDxt1(loading, kScreenWidth, kScreenHeight),
                     error) &&
           WriteFile(Join(folder, kOpeningMovie), OpeningMovie(), error) && WritePack(Join(folder, kRecordPack), error);
}
