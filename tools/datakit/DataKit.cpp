#include "tools/datakit/DataKit.h"

#include "engine/core/CSceneResource.h"
#include "engine/effect/CEffectContainer.h"
#include "engine/render/BuiltInEffects.h"
#include "engine/render/CConvertMesh.h"
#include "engine/render/CMesh.h"
#include "engine/render/CModelObject.h"
#include "engine/core/FileIo.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CResourceSaveJob.h"
#include "engine/resource/CSafeFileWriter.h"
#include "tools/datakit/ArenaLook.h"
#include "tools/datakit/CDataKitController.h"
#include "tools/datakit/FighterModels.h"
#include "tools/datakit/GameDataKit.h"
#include "tools/datakit/GameSceneKit.h"
#include "tools/datakit/GearLooks.h"
#include "tools/datakit/ImageEncoder.h"
#include "tools/datakit/ModelBuilding.h"
#include "tools/datakit/NamedFiles.h"
#include "tools/datakit/SoundEncoder.h"
#include "tools/datakit/StageObjectLooks.h"
#include "tools/datakit/StoryDataKit.h"
#include "tools/datakit/StorySceneKit.h"
#include "tools/datakit/WardrobeKit.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include <unistd.h>

namespace
{
constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 22050;
// The transparent colour key of the engine's images.
constexpr uint32_t kColorKey = 0xFF00FF00u;

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
        return folder + name;
    return folder + "\\" + name;
}

int WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error)
{
    CSafeFileWriter file;
    if (file.Open(path.c_str()) && file.Write(bytes.data(), bytes.size()) && file.Commit())
        return 1;
    *error = "\"" + path + "\" can't be written";
    return 0;
}

// A picture that shows which sheet it is: a diagonal gradient in the
// sheet's hue with a grid every 64 pixels, opaque.
std::vector<uint32_t> Sheet(uint32_t width, uint32_t height, uint32_t hue)
{
    std::vector<uint32_t> argb(static_cast<size_t>(width) * height);
    for (uint32_t y = 0; y < height; ++y)
    {
        for (uint32_t x = 0; x < width; ++x)
        {
            const uint32_t shade = 64 + ((x + y) * 191) / (width + height);
            const bool grid = (x % 64) == 0 || (y % 64) == 0;
            uint32_t r = (hue >> 16 & 0xFF) * shade / 255;
            uint32_t g = (hue >> 8 & 0xFF) * shade / 255;
            uint32_t b = (hue & 0xFF) * shade / 255;
            if (grid)
                r = g = b = 255;
            argb[static_cast<size_t>(y) * width + x] = 0xFF000000u | r << 16 | g << 8 | b;
        }
    }
    return argb;
}

// A soft round shadow: black with alpha falling off from the centre.
std::vector<uint32_t> Shadow(uint32_t size)
{
    std::vector<uint32_t> argb(static_cast<size_t>(size) * size);
    const double half = size / 2.0;
    for (uint32_t y = 0; y < size; ++y)
    {
        for (uint32_t x = 0; x < size; ++x)
        {
            const double d = std::hypot(x + 0.5 - half, y + 0.5 - half) / half;
            const uint32_t alpha = d >= 1.0 ? 0 : static_cast<uint32_t>(160.0 * (1.0 - d));
            argb[static_cast<size_t>(y) * size + x] = alpha << 24;
        }
    }
    return argb;
}

// A red disc on the opaque green colour key, which loads as transparent.
std::vector<uint32_t> KeyedDisc(uint32_t size)
{
    std::vector<uint32_t> argb(static_cast<size_t>(size) * size, kColorKey);
    const double half = size / 2.0;
    for (uint32_t y = 0; y < size; ++y)
        for (uint32_t x = 0; x < size; ++x)
            if (std::hypot(x + 0.5 - half, y + 0.5 - half) < half * 0.75)
                argb[static_cast<size_t>(y) * size + x] = 0xFFE02020u;
    return argb;
}

// A short blip: a sine with a fast decay.
std::vector<int16_t> Blip(double seconds, double frequency)
{
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kRate;
        const double value = 0.5 * std::exp(-t * 12.0) * std::sin(2.0 * kPi * frequency * t);
        samples[f] = static_cast<int16_t>(std::lround(value * 32767.0));
    }
    return samples;
}

// Stereo music: a two-voice arpeggio, one note every quarter second, so
// that any loop point lands on a recognisable place.
std::vector<int16_t> Music(double seconds, double root)
{
    static const double steps[8] = {0, 4, 7, 12, 7, 4, 0, -5};
    const size_t frames = static_cast<size_t>(seconds * kRate);
    std::vector<int16_t> samples(frames * 2);
    for (size_t f = 0; f < frames; ++f)
    {
        const double t = static_cast<double>(f) / kRate;
        const size_t note = static_cast<size_t>(t * 4.0);
        const double local = t - static_cast<double>(note) / 4.0;
        const double frequency = root * std::pow(2.0, steps[note % 8] / 12.0);
        const double envelope = 0.35 * std::exp(-local * 6.0);
        const double left = envelope * std::sin(2.0 * kPi * frequency * t);
        const double right = envelope * std::sin(2.0 * kPi * frequency * 1.5 * t);
        samples[f * 2] = static_cast<int16_t>(std::lround(left * 32767.0));
        samples[f * 2 + 1] = static_cast<int16_t>(std::lround(right * 32767.0));
    }
    return samples;
}

struct FileMaker
{
    std::string name;
    std::function<std::vector<uint8_t>()> make;
};

// "Efc_hit": a burst of shadow-textured sparks that fade as they fly out,
// and the decide sound at its start. Its file is named after the container,
// as the controller saves it.
std::vector<uint8_t> HitEffect()
{
    CEffectContainer container("Efc_hit");
    CEffectObject* spark = new CEffectObject();
    spark->SetName("Spark");
    spark->SetResourceFile("Texture\\Shadow.dds", nullptr);
    spark->GetParameters()->length = 0.6f;
    spark->GetParameters()->sorted = 1;
    spark->GetParameters()->billboard = 2;
    spark->GetParameters()->blendMode = 2;
    spark->GetParameters()->size = 0.5f;
    // The whole 64-pixel shadow, as resolving the texture sets it.
    const CRect whole(0.0f, 64.0f, 0.0f, 64.0f);
    spark->GetRectTrack()->SetDefault(&whole);
    const KVRKEYFRAME<uint32_t> burst{0.0f, 0.0f, 12u};
    spark->GetParticleTrack()->Add(burst);
    tag_KVRPARTICLEPARAMETER* p = spark->GetParticleParameters();
    p->life = 0.5f;
    p->direction = CkvrVector3(0.0f, 1.0f, 0.0f);
    p->directionSpread = CkvrVector3(1.0f, 0.5f, 1.0f);
    p->speed = 4.0f;
    p->speedSpread = 1.0f;
    p->gravity = -9.8f;
    p->scaleDecay = CkvrVector3(1.0f, 1.0f, 1.0f);
    p->colorDecay = CkvrVector4(0.0f, 0.0f, 0.0f, 2.0f);
    container.AddObject(spark);
    CEffectObject* sound = new CEffectObject();
    sound->SetName("Sound");
    sound->SetResourceFile("Sound\\Se_decide.ogg", nullptr);
    const KVRKEYFRAME<float> play{0.0f, 0.0f, 1.0f};
    sound->GetPlayTrack()->Add(play);
    container.AddObject(sound);

    char* data = nullptr;
    size_t size = 0;
    FILE* stream = open_memstream(&data, &size);
    std::vector<uint8_t> bytes;
    if (stream == nullptr)
        return bytes;
    const int written = container.SaveToStream(stream);
    std::fclose(stream);
    if (written)
        bytes.assign(data, data + size);
    std::free(data);
    container.Release();
    return bytes;
}

// A model built by the engine's X-file converter from a text X file and
// written by its model writer; with grid cells, each object gets a block
// grid of cells x 1 x cells, which the hit tests walk instead of every
// triangle.
std::vector<uint8_t> ConvertModel(const std::string& xText, uint16_t gridCells = 0)
{
    char folder[] = "/tmp/datakit-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return {};
    const std::string xPath = std::string(folder) + "/Model.x";
    CConvertMesh converter;
    CkvrXModel model;
    CMesh mesh;
    bool built = WriteFileAtomically(xPath.c_str(), xText.data(), xText.size()) &&
                 converter.Parse(&model, xPath.c_str()) && CConvertMesh::BuildMesh(&model, &mesh);
    std::remove(xPath.c_str());
    rmdir(folder);
    CResourceList<CModelObject*>* objects = mesh.GetObjectList();
    for (uint32_t i = 0; built && gridCells != 0 && i < objects->GetCount(); ++i)
        built = objects->GetItem(i)->CreateBlocks(gridCells, 1, gridCells) != 0;
    if (!built)
        return {};
    return ModelBuilding::WriteModel(&mesh);
}

// "Box": a flat white quad.
std::vector<uint8_t> BoxModel()
{
    return ConvertModel("xof 0303txt 0032\n"
                        "Frame Box { FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\n"
                        "Mesh { 4; -1;0;-1;, 1;0;-1;, 1;0;1;, -1;0;1;; 1; 4;0,3,2,1;;\n"
                        "MeshNormals { 1; 0;1;0;; 1; 4;0,0,0,0;; }\n"
                        "MeshTextureCoords { 4; 0;1;, 1;1;, 1;0;, 0;0;; }\n"
                        "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } } }\n");
}

std::vector<uint8_t> SceneFile(const char* sceneName, const std::string& scratch, std::string* error)
{
    CSceneResource scene(sceneName);
    CSafeFileWriter file;
    std::vector<uint8_t> bytes;
    if (!file.Open(scratch.c_str()) || !file.Close() || !scene.Save(file.GetTempPath().c_str()) ||
        !CResourceSaveJob::ReadFile(file.GetTempPath(), &bytes))
        *error = "the scene resource can't be written";
    return bytes;
}

std::vector<FileMaker> Files()
{
    std::vector<FileMaker> files = {
        {"Texture\\Network_01.dds",
         [] { return ImageEncoder::EncodeDdsDxt1(Sheet(1024, 1024, 0x8040C0), 1024, 1024); }},
        {"Texture\\Shadow.dds", [] { return ImageEncoder::EncodeDdsArgb(Shadow(64), 64, 64); }},
        {"Texture\\ColorKey_01.png", [] { return ImageEncoder::EncodePng(KeyedDisc(64), 64, 64); }},
        {"Texture\\Map_arena.dds", [] { return ImageEncoder::EncodeDdsDxt1(Sheet(256, 256, 0x60A060), 256, 256); }},
        {"Shader\\Default.fx", [] { return BuiltInEffects::GetDefaultImage(); }},
        // Models resolve their textures and effects by name: they follow them.
        {"Model\\Box.mdl", [] { return BoxModel(); }},
        {"Model\\Arena_ground.mdl", [] { return ConvertModel(GameDataKit::ArenaGroundX(), 8); }},
        {"Model\\Arena_hit.mdl", [] { return ConvertModel(GameDataKit::ArenaHitX(), 8); }},
        {"Sound\\Se_cancel.ogg", [] { return SoundEncoder::EncodeOgg(Blip(0.25, 330.0), 1, kRate); }},
        {"Sound\\Se_decide.ogg", [] { return SoundEncoder::EncodeOgg(Blip(0.25, 880.0), 1, kRate); }},
        {"Sound\\Se_select.ogg", [] { return SoundEncoder::EncodeOgg(Blip(0.15, 660.0), 1, kRate); }},
        {"Sound\\Se_announce.wav", [] { return SoundEncoder::EncodeWave(Blip(0.5, 440.0), 1, kRate); }},
        {"Bgm\\Bgm_option.ogg", [] { return SoundEncoder::EncodeOgg(Music(DataKit::kMusicSeconds, 220.0), 2, kRate); }},
        {"Bgm\\Bgm_custom.ogg", [] { return SoundEncoder::EncodeOgg(Music(DataKit::kMusicSeconds, 262.0), 2, kRate); }},
    };
    files.push_back({ArenaLook::kRecord, [] { return ArenaLook::Model(); }});
    for (FighterModels::ModelFile& file : FighterModels::Files(GameDataKit::kCharacters))
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    for (WardrobeKit::ModelFile& file : WardrobeKit::Models())
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    for (GearLooks::ModelFile& file : GearLooks::Models())
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    for (StageObjectLooks::ModelFile& file : StageObjectLooks::Models(GameDataKit::Files()))
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    for (NamedFiles::NamedFile& file : NamedFiles::Sounds())
        files.push_back({file.name, std::move(file.make)});
    // The sheets, menu music and title voices of the start and menu scenes.
    for (GameSceneKit::ListedFile& file : GameSceneKit::ListedFiles())
        files.push_back({file.name, std::move(file.make)});
    for (StorySceneKit::ListedFile& file : StorySceneKit::ListedFiles())
        files.push_back({file.name, std::move(file.make)});
    // Effects resolve their textures and sounds by name: they follow them.
    files.push_back({"Effect\\Efc_hit.efc", [] { return HitEffect(); }});
    for (NamedFiles::NamedFile& file : NamedFiles::Effects())
        files.push_back({file.name, std::move(file.make)});
    // The game data refers to the files above by name: it follows them.
    for (GameDataKit::GameFile& file : GameDataKit::Files())
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    // The story chapters and missions name the game data: they follow it.
    for (StoryDataKit::ScriptFile& file : StoryDataKit::Files())
        files.push_back({file.name, [bytes = std::move(file.bytes)] { return bytes; }});
    // The game's fonts 0 and 1 are chosen by face name, one a line;
    // machines without the face fall back to IPA Gothic.
    files.push_back({"Font\\FontFace.txt", [] { return NamedFiles::FontFaces(); }});
    return files;
}
}

std::vector<std::string> DataKit::LooseRecords()
{
    std::vector<std::string> records;
    for (const FileMaker& file : Files())
        records.push_back(file.name);
    records.push_back("Scene\\Title.sce");
    return records;
}

int DataKit::WriteLooseSet(const std::string& folder, std::string* error)
{
    for (const FileMaker& file : Files())
    {
        const std::vector<uint8_t> bytes = file.make();
        if (bytes.empty())
        {
            *error = std::string("\"") + file.name + "\" can't be encoded";
            return 0;
        }
        if (!WriteFile(Join(folder, file.name), bytes, error))
            return 0;
    }
    const std::string scenePath = Join(folder, "Scene\\Title.sce");
    const std::vector<uint8_t> scene = SceneFile("Title", scenePath, error);
    if (scene.empty() || !WriteFile(scenePath, scene, error))
        return 0;

    CSafeFileWriter list;
    bool written = list.Open(Join(folder, kListName).c_str()) &&
                   CResourceListFile::WriteHeader(list, CResourceListFile::kGameResourceId);
    for (const std::string& record : LooseRecords())
        written = written && CResourceListFile::WriteRecord(list, record.c_str());
    written = written && CResourceListFile::WriteEnd(list) && list.Commit();
    if (!written)
        *error = "the resource list can't be written";
    return written ? 1 : 0;
}

int DataKit::PackSet(const std::string& looseList, const std::string& packedList, std::string* error)
{
    CDataKitController controller(CResourceListFile::kGameResourceId);
    if (!controller.Load(looseList.c_str(), 1))
    {
        *error = "loading the loose set: " + controller.GetLastError();
        return 0;
    }
    if (!controller.SaveTo(packedList.c_str()))
    {
        *error = "saving the packed set: " + controller.GetLastError();
        return 0;
    }
    return 1;
}

int DataKit::MakeDataSet(const std::string& folder, std::string* error)
{
    const std::string source = Join(folder, kSourceFolder);
    if (!WriteLooseSet(source, error))
        return 0;
    if (!PackSet(Join(source, kListName), Join(folder, kListName), error))
        return 0;
    if (!StoryDataKit::WriteStaffRoll(folder, error) ||
        !StorySceneKit::WritePacks(Join(folder, StorySceneKit::kPicturePack), Join(folder, StorySceneKit::kVoicePack),
                                   error))
        return 0;
    // What the game opens by path beside the packed set.
    return GameSceneKit::WriteLooseFiles(folder, error);
}
