#include "engine/resource/CResourceController.h"

#include "engine/core/AlignedMemory.h"
#include "engine/core/CPathResolver.h"
#include "engine/core/CSceneResource.h"
#include "engine/core/CkvrPackFile.h"
#include "engine/core/TextEncoding.h"
#include "engine/platform/sound/CSoundBuffer.h"
#include "engine/platform/CSystem.h"
#include "engine/render/CShader.h"
#include "engine/render/CTexture.h"
#include "engine/resource/CResourceListFile.h"
#include "engine/resource/CResourcePackWriter.h"
#include "engine/resource/CResourceSaveJob.h"
#include "engine/resource/CSafeFileWriter.h"
#include "engine/resource/ResourceKind.h"

#include <cstring>
#include <filesystem>
#include <map>

namespace
{
// Length of the folder part of a data name: up to and including its last
// separator. A Shift-JIS trail byte equal to '\' is not a separator.
size_t FolderLength(const char* path)
{
    size_t length = 0;
    for (size_t i = 0; path[i] != '\0'; ++i)
    {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsShiftJisLeadByte(c) && path[i + 1] != '\0')
        {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/')
            length = i + 1;
    }
    return length;
}

std::string FolderOf(const char* path)
{
    return std::string(path, FolderLength(path));
}

const char* FileNameOf(const char* path)
{
    return path + FolderLength(path);
}

std::string Quoted(const char* text)
{
    return std::string("\"") + (text != nullptr ? text : "") + "\"";
}

// The elements of a list as their base class, for the save code that
// treats every kind alike.
template <class T>
std::vector<CResourceBase*> ElementsOf(const CResourceList<T*>& list)
{
    std::vector<CResourceBase*> elements;
    elements.reserve(list.GetCount());
    for (uint32_t i = 0; i < list.GetCount(); ++i)
        elements.push_back(list.GetItem(i));
    return elements;
}

std::string CanonicalDataPath(const std::string& dataName)
{
    const std::string path = CPathResolver::Resolve(dataName.c_str());
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

// Restores the folder that names are opened in when a list load ends.
class LoadFolderScope
{
public:
    LoadFolderScope(std::string* folder, std::string value) : m_folder(folder), m_saved(std::move(*folder))
    {
        *m_folder = std::move(value);
    }
    ~LoadFolderScope() { *m_folder = std::move(m_saved); }
    LoadFolderScope(const LoadFolderScope&) = delete;
    LoadFolderScope& operator=(const LoadFolderScope&) = delete;

private:
    std::string* m_folder;
    std::string m_saved;
};

// Text of the save dialog, in the program's Shift-JIS.
std::string SaveDialogTitle()
{
    return ConvertUtf8ToShiftJis("ゲームリソースコントローラーを保存");
}

std::string SaveDialogFilter()
{
    std::string filter = ConvertUtf8ToShiftJis("ゲームリソースコントローラー(*.grc)");
    filter += '\0';
    filter += "*.grc";
    filter += '\0';
    filter += '\0';
    return filter;
}
}

CResourceController::CResourceController() : CResourceController(0u, 0u) {}

CResourceController::CResourceController(uint32_t id) : CResourceController(id, 1u) {}

CResourceController::CResourceController(uint32_t id, uint32_t checkId) : m_id(id), m_checkId(checkId) {}

CResourceController::CResourceController(const uint32_t* settings)
{
    if (settings == nullptr)
        return;
    m_id = settings[0];
    m_checkId = settings[1];
    m_panSounds = settings[2];
    m_musicWithoutNotification = settings[3];
    m_voicesPerSound = settings[4];
}

CResourceController::~CResourceController()
{
    CResourceController::Release();
}

template <class T>
void CResourceController::ReleaseList(CResourceList<T*>& list)
{
    for (uint32_t i = 0; i < list.GetCount(); ++i)
    {
        T** slot = list.GetAt(i);
        if (*slot == nullptr)
            continue;
        (*slot)->Release();
        delete *slot;
        *slot = nullptr;
    }
    list.Release();
}

uint32_t CResourceController::Release()
{
    ReleaseList(m_packs);
    ReleaseList(m_meshes);
    ReleaseList(m_textures);
    ReleaseList(m_shaders);
    ReleaseList(m_sounds);
    ReleaseList(m_effects);
    ReleaseList(m_scenes);
    m_sources.clear();
    ReleaseOther();
    return CResourceBase::Release();
}

CResourceBase* CResourceController::GetList(uint8_t kind)
{
    switch (kind)
    {
    case LIST_PACKS:
        return &m_packs;
    case LIST_MESHES:
        return &m_meshes;
    case LIST_TEXTURES:
        return &m_textures;
    case LIST_SHADERS:
        return &m_shaders;
    case LIST_SOUNDS:
        return &m_sounds;
    case LIST_EFFECTS:
        return &m_effects;
    case LIST_SCENES:
        return &m_scenes;
    default:
        return nullptr;
    }
}

int CResourceController::LoadOther(CkvrPackFile*, const char*, uint32_t)
{
    return 1;
}

int CResourceController::SaveOther(CResourceSaveJob&)
{
    return 1;
}

void CResourceController::ReleaseOther() {}

void CResourceController::ReleaseInstances() {}

int CResourceController::Fail(const std::string& what, const char* why)
{
    m_lastError = what + ": " + why;
    return 0;
}

std::string CResourceController::GetLoadPath(const char* name) const
{
    return m_loadFolder + (name != nullptr ? name : "");
}

template <class T>
int CResourceController::Keep(CResourceList<T*>& list, T* object, Source source)
{
    if (!list.Add(object))
    {
        object->Release();
        delete object;
        return Fail("Load", "out of memory");
    }
    m_sources[object] = std::move(source);
    return 1;
}

// ---------------------------------------------------------------- loading

int CResourceController::Load(const char* path, uint32_t loadContents)
{
    m_lastError.clear();
    if (path == nullptr)
        return Fail("Load", "no path given");
    if (IsResourceKind(path, ResourceKind::List))
        return LoadList(path, loadContents);
    return LoadSingle(path, loadContents);
}

int CResourceController::LoadList(const char* path, uint32_t loadContents)
{
    CResourceListFile list;
    if (!list.Open(GetLoadPath(path).c_str()))
        return Fail(Quoted(path), "the resource list can't be opened");
    if (m_checkId != 0 && list.GetId() != m_id)
        return Fail(Quoted(path), "the resource list belongs to another resource set");

    const std::string listPath = GetLoadPath(path);
    LoadFolderScope scope(&m_loadFolder, FolderOf(listPath.c_str()));
    char record[CResourceListFile::kRecordSize];
    for (;;)
    {
        const int read = list.ReadRecord(record);
        if (read == CResourceListFile::RECORD_END)
            break;
        if (read == CResourceListFile::RECORD_MISSING)
            return Fail(Quoted(path), "the resource list ends without its \"EOF\" record");
        if (!CPathResolver::IsInsideCurrentFolder(record))
            return Fail(Quoted(record), "the record leaves the program folder");
        if (!LoadRecord(record, loadContents))
            return 0;
    }
    SetName(path);
    return 1;
}

// Names of a list: with loadContents 0 the device resources (images,
// models, sounds, shaders) go to LoadOther, which the game's controller
// uses to skip them.
int CResourceController::EntryDone(int result)
{
    if (result == 0)
        return 0;
    ++m_loadedEntries;
    if (m_entryHook)
        m_entryHook(m_loadedEntries);
    return result;
}

uint32_t CResourceController::CountEntries(const char* path, uint32_t loadContents) const
{
    if (path == nullptr || !IsResourceKind(path, ResourceKind::List))
        return path != nullptr ? 1 : 0;
    CResourceListFile list;
    if (!list.Open(GetLoadPath(path).c_str()))
        return 0;
    const std::string folder = FolderOf(GetLoadPath(path).c_str());
    uint32_t count = 0;
    char record[CResourceListFile::kRecordSize];
    while (list.ReadRecord(record) == CResourceListFile::RECORD_NAME)
    {
        CkvrPackFile pack;
        if (loadContents != 0 && IsResourceKind(record, ResourceKind::Pack) &&
            pack.Open((folder + record).c_str()))
            count += pack.GetCount();
        else
            ++count;
    }
    return count;
}

int CResourceController::LoadRecord(const char* record, uint32_t loadContents)
{
    // A pack counts by its entries when they load, else as one file.
    if (IsResourceKind(record, ResourceKind::Pack))
    {
        const int loaded = LoadPack(record, loadContents);
        return loadContents != 0 ? loaded : EntryDone(loaded);
    }
    return EntryDone(LoadRecordKind(record, loadContents));
}

int CResourceController::LoadRecordKind(const char* record, uint32_t loadContents)
{
    if (loadContents != 0)
    {
        if (IsResourceKind(record, ResourceKind::Image))
            return LoadTexture(nullptr, record);
        if (IsResourceKind(record, ResourceKind::Model))
            return LoadMesh(nullptr, record);
        if (IsResourceKind(record, ResourceKind::Sound))
            return LoadSound(nullptr, record);
        if (IsResourceKind(record, ResourceKind::Shader))
            return LoadShader(nullptr, record);
    }
    if (IsResourceKind(record, ResourceKind::EffectContainer))
        return LoadEffect(record, loadContents);
    if (IsResourceKind(record, ResourceKind::SceneResource))
        return LoadScene(record);
    if (!LoadOther(nullptr, record, loadContents))
        return m_lastError.empty() ? Fail(Quoted(record), "the game data can't be loaded") : 0;
    return 1;
}

int CResourceController::LoadSingle(const char* path, uint32_t loadContents)
{
    if (IsResourceKind(path, ResourceKind::Image))
        return LoadTexture(nullptr, path);
    if (IsResourceKind(path, ResourceKind::XModel))
        return ConvertAndLoadModel(path);
    if (IsResourceKind(path, ResourceKind::Model))
        return LoadMesh(nullptr, path);
    if (IsResourceKind(path, ResourceKind::Sound))
        return LoadSound(nullptr, path);
    if (IsResourceKind(path, ResourceKind::Shader))
        return LoadShader(nullptr, path);
    if (IsResourceKind(path, ResourceKind::EffectContainer))
        return LoadEffect(path, loadContents);
    if (IsResourceKind(path, ResourceKind::SceneResource))
        return LoadScene(path);
    if (IsResourceKind(path, ResourceKind::Pack))
        return LoadPack(path, loadContents);
    if (!LoadOther(nullptr, path, loadContents))
        return m_lastError.empty() ? Fail(Quoted(path), "the file can't be loaded") : 0;
    return 1;
}

// ship.x becomes ship.mdl beside it.
int CResourceController::ConvertAndLoadModel(const char* path)
{
    const size_t length = std::strlen(path);
    if (length < 2)
        return Fail(Quoted(path), "not a model file name");
    if (!m_meshLoader.convert)
        return Fail(Quoted(path), "X files can't be converted: no model loader is installed");
    const std::string output = std::string(path, length - 2) + ".mdl";
    if (!m_meshLoader.convert(path, output.c_str()))
        return Fail(Quoted(path), "the X file can't be converted");
    return LoadMesh(nullptr, output.c_str());
}

int CResourceController::LoadTexture(CkvrPackFile* pack, const char* name)
{
    if (name == nullptr)
        return Fail("LoadTexture", "no name given");
    if (m_textures.FindByName(name) != nullptr)
        return 1;
    CTexture* texture = new CTexture();
    Source source;
    int loaded = 0;
    if (pack != nullptr)
    {
        loaded = texture->CreateFromPack(pack, name);
        source = Source{pack->GetName(), name};
    }
    else
    {
        source = Source{std::string(), GetLoadPath(name)};
        loaded = texture->CreateFromFile(source.path.c_str());
    }
    if (!loaded)
    {
        texture->Release();
        delete texture;
        return Fail(Quoted(name), "the image can't be loaded");
    }
    texture->SetName(name);
    return Keep(m_textures, texture, std::move(source));
}

int CResourceController::LoadShader(CkvrPackFile* pack, const char* name)
{
    if (name == nullptr)
        return Fail("LoadShader", "no name given");
    if (m_shaders.FindByName(name) != nullptr)
        return 1;
    CShader* shader = new CShader();
    Source source;
    int loaded = 0;
    if (pack != nullptr)
    {
        const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
        uint8_t* data = entry != nullptr ? pack->LoadFile(name) : nullptr;
        // The shader keeps its own copy: the entry's bytes go at once,
        // whether the effect was made or not.
        if (data != nullptr)
            loaded = shader->CreateFromMemory(data, name, entry->size, 0, 1);
        AlignedFree(data);
        source = Source{pack->GetName(), name};
    }
    else
    {
        source = Source{std::string(), GetLoadPath(name)};
        loaded = shader->CreateFromFile(source.path.c_str(), 0);
    }
    if (!loaded)
    {
        shader->Release();
        delete shader;
        return Fail(Quoted(name), "the effect file can't be loaded");
    }
    shader->SetName(name);
    return Keep(m_shaders, shader, std::move(source));
}

// Music ("Bgm" anywhere in the name) plays through one streamed voice;
// every other sound through voices-per-sound static voices.
void CResourceController::SoundSettings(const char* name, uint32_t* voices, uint32_t* flags) const
{
    if (std::strstr(name, "Bgm") != nullptr)
    {
        *voices = 1;
        *flags = m_musicWithoutNotification != 0 ? 0 : SOUND_MUSIC_NOTIFY;
        return;
    }
    *voices = m_voicesPerSound;
    *flags = m_panSounds != 0 ? SOUND_PAN : SOUND_3D;
}

int CResourceController::LoadSound(CkvrPackFile* pack, const char* name)
{
    if (name == nullptr)
        return Fail("LoadSound", "no name given");
    if (m_sounds.FindByName(name) != nullptr)
        return 1;
    CSoundBuffer* sound = new CSoundBuffer();
    Source source;
    int loaded = 0;
    if (pack != nullptr)
    {
        uint32_t voices = 0;
        uint32_t flags = 0;
        SoundSettings(name, &voices, &flags);
        const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
        uint8_t* data = entry != nullptr ? pack->LoadFile(name) : nullptr;
        // LoadFromMemory copies what a stream keeps reading, so the sound
        // outlives the pack and this buffer.
        if (data != nullptr)
            loaded = sound->LoadFromMemory(data, name, entry->size, voices, flags);
        AlignedFree(data);
        source = Source{pack->GetName(), name};
    }
    else
    {
        // A loose sound gets the voices of any other sound: with none it
        // could never play.
        source = Source{std::string(), GetLoadPath(name)};
        loaded = sound->Load(source.path.c_str(), m_voicesPerSound, SOUND_LOOSE);
    }
    if (!loaded)
    {
        sound->Release();
        delete sound;
        return Fail(Quoted(name), "the sound can't be loaded");
    }
    sound->SetName(name);
    return Keep(m_sounds, sound, std::move(source));
}

CResourceBase* CResourceController::LoadKindObject(const tag_KVRKINDLOADER& loader, CkvrPackFile* pack,
                                                   const char* name, uint32_t loadContents)
{
    if (pack == nullptr)
        return loader.loadFile ? loader.loadFile(*this, GetLoadPath(name).c_str(), loadContents) : nullptr;
    if (!loader.loadMemory)
        return nullptr;
    const tag_KVRPACKENTRY* entry = pack->FindEntry(name);
    uint8_t* data = entry != nullptr ? pack->LoadFile(name) : nullptr;
    if (data == nullptr)
        return nullptr;
    CResourceBase* object = loader.loadMemory(*this, data, entry->size, name);
    AlignedFree(data);
    return object;
}

int CResourceController::LoadMesh(CkvrPackFile* pack, const char* name)
{
    if (name == nullptr)
        return Fail("LoadMesh", "no name given");
    if (m_meshes.FindByName(name) != nullptr)
        return 1;
    if (!m_meshLoader.loadFile)
        return Fail(Quoted(name), "models can't be loaded: no model loader is installed");
    CResourceBase* mesh = LoadKindObject(m_meshLoader, pack, name, 1);
    if (mesh == nullptr)
        return Fail(Quoted(name), "the model can't be loaded");
    mesh->SetName(name);
    Source source = pack != nullptr ? Source{pack->GetName(), name} : Source{std::string(), GetLoadPath(name)};
    return Keep(m_meshes, mesh, std::move(source));
}

// Effect containers carry their name inside the file and may repeat.
int CResourceController::LoadEffect(const char* path, uint32_t loadContents)
{
    if (path == nullptr)
        return Fail("LoadEffect", "no path given");
    if (!m_effectLoader.loadFile)
        return Fail(Quoted(path), "effect containers can't be loaded: no effect loader is installed");
    CResourceBase* effect = LoadKindObject(m_effectLoader, nullptr, path, loadContents);
    if (effect == nullptr)
        return Fail(Quoted(path), "the effect container can't be loaded");
    return Keep(m_effects, effect, Source{std::string(), GetLoadPath(path)});
}

int CResourceController::LoadScene(const char* path)
{
    if (path == nullptr)
        return Fail("LoadScene", "no path given");
    CSceneResource* scene = new CSceneResource();
    if (!scene->Load(GetLoadPath(path).c_str()))
    {
        scene->Release();
        delete scene;
        return Fail(Quoted(path), "the scene resource can't be loaded");
    }
    return Keep(m_scenes, scene, Source{std::string(), GetLoadPath(path)});
}

int CResourceController::LoadPack(const char* path, uint32_t loadContents)
{
    if (path == nullptr)
        return Fail("LoadPack", "no path given");
    CkvrPackFile* pack = new CkvrPackFile();
    if (!pack->Open(GetLoadPath(path).c_str()))
    {
        pack->Release();
        delete pack;
        return Fail(Quoted(path), "the pack can't be opened");
    }
    if (!Keep(m_packs, pack, Source{}))
        return 0;
    if (loadContents == 0)
        return 1;
    for (uint32_t i = 0; i < pack->GetCount(); ++i)
    {
        if (!LoadPackEntry(pack, pack->GetEntry(i)->name, loadContents))
            return 0;
    }
    return 1;
}

int CResourceController::LoadPackEntry(CkvrPackFile* pack, const char* name, uint32_t loadContents)
{
    return EntryDone(LoadPackEntryKind(pack, name, loadContents));
}

int CResourceController::LoadPackEntryKind(CkvrPackFile* pack, const char* name, uint32_t loadContents)
{
    if (IsResourceKind(name, ResourceKind::Image))
        return LoadTexture(pack, name);
    if (IsResourceKind(name, ResourceKind::Model))
        return LoadMesh(pack, name);
    if (IsResourceKind(name, ResourceKind::Sound))
        return LoadSound(pack, name);
    if (IsResourceKind(name, ResourceKind::Shader))
        return LoadShader(pack, name);
    if (!LoadOther(pack, name, loadContents))
        return m_lastError.empty() ? Fail(Quoted(name), "the pack entry can't be loaded") : 0;
    return 1;
}

// ----------------------------------------------------------------- saving

int CResourceController::Save(CSystem* system, uint32_t askPath)
{
    if (system == nullptr)
        return 0;
    if (GetName() == nullptr || askPath != 0)
    {
        char path[kPathBufferSize] = {};
        if (GetName() != nullptr)
            std::strncpy(path, GetName(), sizeof(path) - 1);
        const std::string title = SaveDialogTitle();
        const std::string filter = SaveDialogFilter();
        if (!system->GetSaveFileName(path, title.c_str(), filter.c_str(), "grc"))
            return 0;
        SetName(path);
    }
    const std::string listPath = GetName();
    return SaveTo(listPath.c_str());
}

int CResourceController::SaveTo(const char* listPath)
{
    m_lastError.clear();
    m_moved.clear();
    if (listPath == nullptr || *FileNameOf(listPath) == '\0')
        return Fail("Save", "no list path given");
    CResourceSaveJob job(FolderOf(listPath));
    if (!SaveTexturePack(job) || !SaveShaderPack(job) || !SaveMeshPack(job) || !SaveSoundPack(job) ||
        !SaveEffects(job) || !SaveScenes(job))
        return 0;
    if (!SaveOther(job))
        return m_lastError.empty() ? Fail("Save", "the game data can't be saved") : 0;

    CSafeFileWriter* list = job.CreateFile(FileNameOf(listPath));
    if (list == nullptr)
        return Fail(Quoted(listPath), job.GetError().c_str());
    bool written = CResourceListFile::WriteHeader(*list, m_id) != 0;
    for (const std::string& record : job.GetRecords())
        written = written && CResourceListFile::WriteRecord(*list, record.c_str()) != 0;
    written = written && CResourceListFile::WriteEnd(*list) != 0;
    if (!written)
        return Fail(Quoted(listPath), "the resource list can't be written");
    if (!job.CommitAll())
        return Fail("Save", job.GetError().c_str());
    SetName(listPath);
    AfterSave(job);
    return 1;
}

// Once the new files are in place, the packs this controller holds open
// by name may have been replaced: they read their directory again, and the
// saved elements now come from the new packs.
void CResourceController::AfterSave(const CResourceSaveJob& job)
{
    for (uint32_t i = 0; i < m_packs.GetCount(); ++i)
    {
        CkvrPackFile* pack = m_packs.GetItem(i);
        if (pack == nullptr || pack->GetName() == nullptr)
            continue;
        const std::string name = pack->GetName();
        if (job.GetCommittedPaths().count(CanonicalDataPath(name)) != 0)
            pack->Open(name.c_str());
    }
    for (const Moved& moved : m_moved)
        m_sources[moved.element] = Source{moved.pack, moved.entry};
    m_moved.clear();
}

int CResourceController::ReadElement(CResourceSaveJob& job, const CResourceBase* element,
                                     std::vector<uint8_t>* bytes)
{
    const auto found = m_sources.find(element);
    if (found == m_sources.end())
        return CResourceSaveJob::ReadFile(element->GetName(), bytes);
    const Source& source = found->second;
    if (!source.pack.empty())
        return job.ReadPackEntry(source.pack, source.path, bytes);
    return CResourceSaveJob::ReadFile(source.path, bytes);
}

// One pack of a kind: every element under "<kind word>\<file name>", its
// bytes taken from where it was loaded (or, for models, written by the
// model saver).
int CResourceController::BuildPack(CResourceSaveJob& job, const std::vector<CResourceBase*>& elements,
                                   const char* kindWord, const char* packRecord, const tag_KVRKINDLOADER* saver)
{
    CResourcePackWriter writer;
    std::map<std::string, const char*> owners;
    std::vector<Moved> moved;
    for (const CResourceBase* element : elements)
    {
        if (element == nullptr)
            continue;
        const char* name = element->GetName();
        const char* fileName = name != nullptr ? FileNameOf(name) : "";
        if (*fileName == '\0')
            return Fail(Quoted(name), "a resource without a file name can't be packed");
        const std::string entry = std::string(kindWord) + "\\" + fileName;
        const auto taken = owners.emplace(entry, name);
        if (!taken.second)
            return Fail(Quoted(packRecord),
                        ("save refused: " + Quoted(taken.first->second) + " and " + Quoted(name) +
                         " would both be stored as " + Quoted(entry.c_str()))
                            .c_str());
        std::vector<uint8_t> bytes;
        if (saver != nullptr)
        {
            if (!saver->saveFile)
                return Fail(Quoted(name), "models can't be saved: no model loader is installed");
            CSafeFileWriter scratch;
            const std::string scratchName = job.GetPath(std::string(kindWord) + "\\" + fileName);
            if (!scratch.Open(scratchName.c_str()) || !scratch.Close() ||
                !saver->saveFile(*element, scratch.GetTempPath().c_str()) ||
                !CResourceSaveJob::ReadFile(scratch.GetTempPath(), &bytes))
                return Fail(Quoted(name), "the model can't be written");
        }
        else if (!ReadElement(job, element, &bytes))
            return Fail(Quoted(name), "its data can't be read for the pack");
        if (!writer.Add(entry.c_str(), std::move(bytes)))
            return Fail(Quoted(entry.c_str()), "too long for a pack entry name");
        moved.push_back(Moved{element, job.GetPath(packRecord), entry});
    }
    CSafeFileWriter* file = job.CreateFile(packRecord);
    if (file == nullptr)
        return Fail(Quoted(packRecord), job.GetError().c_str());
    if (!writer.Write(*file) || !file->Close())
        return Fail(Quoted(job.GetPath(packRecord).c_str()), "the pack can't be written");
    job.AddRecord(packRecord);
    m_moved.insert(m_moved.end(), moved.begin(), moved.end());
    return 1;
}

int CResourceController::SaveTexturePack(CResourceSaveJob& job)
{
    return BuildPack(job, ElementsOf(m_textures),
                     "Texture", "Data\\Texture.gpk", nullptr);
}

// Only a set that has shaders lists a shader pack.
int CResourceController::SaveShaderPack(CResourceSaveJob& job)
{
    if (m_shaders.GetCount() == 0)
        return 1;
    return BuildPack(job, ElementsOf(m_shaders),
                     "Shader", "Data\\Shader.gpk", nullptr);
}

int CResourceController::SaveMeshPack(CResourceSaveJob& job)
{
    return BuildPack(job, ElementsOf(m_meshes), "Mesh", "Data\\Mesh.gpk", &m_meshLoader);
}

int CResourceController::SaveSoundPack(CResourceSaveJob& job)
{
    return BuildPack(job, ElementsOf(m_sounds),
                     "Sound", "Data\\Sound.gpk", nullptr);
}

// Objects that name themselves: one file each, "<folder>\<name><extension>".
int CResourceController::WriteObjectFiles(CResourceSaveJob& job, const std::vector<CResourceBase*>& elements,
                                          const char* folder, const char* extension,
                                          const tag_KVRKINDLOADER* saver)
{
    for (const CResourceBase* element : elements)
    {
        if (element == nullptr)
            continue;
        const char* name = element->GetName() != nullptr ? element->GetName() : "";
        const std::string record = std::string(folder) + "\\" + name + extension;
        CSafeFileWriter* file = job.CreateFile(record);
        if (file == nullptr)
            return Fail(Quoted(name), ("save refused: " + job.GetError()).c_str());
        if (!file->Close())
            return Fail(Quoted(record.c_str()), "can't be written");
        int written = 0;
        if (saver != nullptr)
            written = saver->saveFile ? saver->saveFile(*element, file->GetTempPath().c_str()) : 0;
        else
            written = static_cast<const CSceneResource*>(element)->Save(file->GetTempPath().c_str());
        if (!written)
            return Fail(Quoted(record.c_str()), "can't be written");
        job.AddRecord(record);
    }
    return 1;
}

int CResourceController::SaveEffects(CResourceSaveJob& job)
{
    if (m_effects.GetCount() > 0 && !m_effectLoader.saveFile)
        return Fail("Save", "effect containers can't be saved: no effect loader is installed");
    return WriteObjectFiles(job, ElementsOf(m_effects), "Effect", ".efc", &m_effectLoader);
}

int CResourceController::SaveScenes(CResourceSaveJob& job)
{
    return WriteObjectFiles(job, ElementsOf(m_scenes),
                            "Scene", ".sce", nullptr);
}
