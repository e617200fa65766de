#pragma once

#include "engine/core/CResourceBase.h"
#include "engine/core/CResourceList.h"
#include "engine/resource/ResourceKindLoader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CkvrPackFile;
class CResourceSaveJob;
class CSceneResource;
class CShader;
class CSoundBuffer;
class CSystem;
class CTexture;

// Owns every engine resource loaded by name: packs, models, textures,
// shaders, sound buffers, effect containers and scene resources, each kind
// in its own list. Loads one file or a whole resource list (.grc), finds
// resources by name, writes the set back as a list with one pack per kind,
// and releases everything in a fixed order. The game's controller derives
// from it and adds its own data through the virtual hooks.
//
// Paths: a list's records are relative to the list file's folder (the
// program folder for "GameResource.grc"), and Save writes every file
// relative to the folder of the list it writes, so a saved set loads back
// from wherever it was saved. Records that would leave that folder
// (absolute, a drive, "..") fail the load.
//
// Models and effect containers are made through per-kind loaders (see
// tag_KVRKINDLOADER) so that their modules plug in without this class
// depending on them; until one is installed, files of that kind fail.
class CResourceController : public CResourceBase
{
public:
    // List kinds of GetList.
    enum : uint8_t
    {
        LIST_PACKS = 0,
        LIST_MESHES = 1,
        LIST_TEXTURES = 2,
        LIST_SHADERS = 3,
        LIST_SOUNDS = 4,
        LIST_EFFECTS = 5,
        LIST_SCENES = 6,
        LIST_COUNT = 7,
    };
    // Sound creation flags the controller chooses (numbers of CSoundBuffer).
    static constexpr uint32_t SOUND_MUSIC_NOTIFY = 0x100; // streamed by worker threads
    static constexpr uint32_t SOUND_PAN = 0x42;           // static, panned
    static constexpr uint32_t SOUND_3D = 0x12;            // static, 3D
    static constexpr uint32_t SOUND_LOOSE = 0x02;         // static
    static constexpr uint32_t kDefaultVoicesPerSound = 10;

    CResourceController();
    explicit CResourceController(uint32_t id);
    CResourceController(uint32_t id, uint32_t checkId);
    // Five u32 in order: id, check id, pan sounds, music without
    // notification, voices per sound.
    explicit CResourceController(const uint32_t* settings);
    CResourceController(const CResourceController&) = delete;
    CResourceController& operator=(const CResourceController&) = delete;
    // Releases through this class's Release: a subclass whose ReleaseOther
    // frees its own lists calls Release from its own destructor.
    ~CResourceController() override;

    // Releases every element in the order packs, meshes, textures, shaders,
    // sounds, effects, scenes, then ReleaseOther, then the base.
    uint32_t Release() override;

    // A .grc path loads the whole list; any other path loads that one file
    // by its kind. 1/0; what loaded before a failure stays in the lists
    // (the caller releases it, as after any failed load).
    virtual int Load(const char* path, uint32_t loadContents);
    // A name no built-in loader takes. The base loads nothing: 1.
    virtual int LoadOther(CkvrPackFile* pack, const char* name, uint32_t loadContents);
    // Writes the set to the controller's name, asking for a path with the
    // save dialog when it has none or askPath is set. 0 for a null system.
    virtual int Save(CSystem* system, uint32_t askPath);
    // Adds the subclass's files to a save: create them with
    // CResourceSaveJob::CreateFile and add their records. 1/0; 0 fails the
    // whole save, and nothing of it is put in place.
    virtual int SaveOther(CResourceSaveJob& job);
    // Called at the end of Release, after the engine lists.
    virtual void ReleaseOther();
    // Drops the run-time state of the subclass's objects.
    virtual void ReleaseInstances();
    // The list of a kind (LIST_*) as its base class; null for other kinds.
    virtual CResourceBase* GetList(uint8_t kind);

    // Save without a dialog: writes the set so that listPath is its list,
    // and takes listPath as the controller's name. Crash-safe: every file is
    // written under a temporary name and renamed into place only when the
    // whole set is complete; any failure leaves the old files as they were.
    int SaveTo(const char* listPath);

    // Per-kind loaders, each (pack or null, name) → 1/0.
    int LoadTexture(CkvrPackFile* pack, const char* name);
    int LoadMesh(CkvrPackFile* pack, const char* name);
    int LoadSound(CkvrPackFile* pack, const char* name);
    int LoadShader(CkvrPackFile* pack, const char* name);
    int LoadEffect(const char* path, uint32_t loadContents);
    int LoadScene(const char* path);
    int LoadPack(const char* path, uint32_t loadContents);

    void SetMeshLoader(const tag_KVRKINDLOADER& loader) { m_meshLoader = loader; }
    void SetEffectLoader(const tag_KVRKINDLOADER& loader) { m_effectLoader = loader; }

    CResourceList<CkvrPackFile*>& GetPackList() { return m_packs; }
    CResourceList<CResourceBase*>& GetMeshList() { return m_meshes; }
    CResourceList<CTexture*>& GetTextureList() { return m_textures; }
    CResourceList<CShader*>& GetShaderList() { return m_shaders; }
    CResourceList<CSoundBuffer*>& GetSoundList() { return m_sounds; }
    CResourceList<CResourceBase*>& GetEffectList() { return m_effects; }
    CResourceList<CSceneResource*>& GetSceneList() { return m_scenes; }

    uint32_t GetId() const { return m_id; }
    uint32_t GetCheckId() const { return m_checkId; }
    uint32_t GetPanSounds() const { return m_panSounds; }
    uint32_t GetMusicWithoutNotification() const { return m_musicWithoutNotification; }
    uint32_t GetVoicesPerSound() const { return m_voicesPerSound; }

    // Why the last Load or Save failed ("" after a success).
    const std::string& GetLastError() const { return m_lastError; }

    // Progress of a load: the hook hears the count after every entry taken
    // in (a file of the list, or each entry of a pack loaded with its
    // contents); it runs on the loading thread. CountEntries tells the
    // count a load of that path would reach, reading only the list and the
    // packs' directories (0 when the list can't be read).
    using EntryHook = std::function<void(uint32_t loadedEntries)>;
    void SetEntryHook(EntryHook hook) { m_entryHook = std::move(hook); }
    uint32_t GetLoadedEntryCount() const { return m_loadedEntries; }
    uint32_t CountEntries(const char* path, uint32_t loadContents) const;

    // The path a name of the list being loaded is opened at: the list's
    // folder followed by the name (the name itself outside a list load).
    std::string GetLoadPath(const char* name) const;

protected:
    int Fail(const std::string& what, const char* why);

    // The pack builders of Save, in the order Save runs them.
    int SaveTexturePack(CResourceSaveJob& job);
    int SaveShaderPack(CResourceSaveJob& job);
    int SaveMeshPack(CResourceSaveJob& job);
    int SaveSoundPack(CResourceSaveJob& job);
    int SaveEffects(CResourceSaveJob& job);
    int SaveScenes(CResourceSaveJob& job);

private:
    // Where an element's bytes came from: an entry of a pack, or a file.
    struct Source
    {
        std::string pack;
        std::string path;
    };
    // An element that a save put into a pack, for pointing its source at
    // the new pack once the save is in place.
    struct Moved
    {
        const void* element;
        std::string pack;
        std::string entry;
    };

    int LoadList(const char* path, uint32_t loadContents);
    int LoadRecord(const char* record, uint32_t loadContents);
    int LoadRecordKind(const char* record, uint32_t loadContents);
    int LoadSingle(const char* path, uint32_t loadContents);
    int LoadPackEntry(CkvrPackFile* pack, const char* name, uint32_t loadContents);
    int LoadPackEntryKind(CkvrPackFile* pack, const char* name, uint32_t loadContents);
    // One more entry is in: 1 when it loaded (result), after the hook ran.
    int EntryDone(int result);
    int ConvertAndLoadModel(const char* path);
    CResourceBase* LoadKindObject(const tag_KVRKINDLOADER& loader, CkvrPackFile* pack, const char* name,
                                  uint32_t loadContents);
    void SoundSettings(const char* name, uint32_t* voices, uint32_t* flags) const;

    int BuildPack(CResourceSaveJob& job, const std::vector<CResourceBase*>& elements, const char* kindWord,
                  const char* packRecord, const tag_KVRKINDLOADER* saver);
    int ReadElement(CResourceSaveJob& job, const CResourceBase* element, std::vector<uint8_t>* bytes);
    int WriteObjectFiles(CResourceSaveJob& job, const std::vector<CResourceBase*>& elements, const char* folder,
                         const char* extension, const tag_KVRKINDLOADER* saver);
    void AfterSave(const CResourceSaveJob& job);

    template <class T>
    int Keep(CResourceList<T*>& list, T* object, Source source);
    template <class T>
    static void ReleaseList(CResourceList<T*>& list);

    CResourceList<CkvrPackFile*> m_packs;
    CResourceList<CResourceBase*> m_meshes;
    CResourceList<CTexture*> m_textures;
    CResourceList<CShader*> m_shaders;
    CResourceList<CSoundBuffer*> m_sounds;
    CResourceList<CResourceBase*> m_effects;
    CResourceList<CSceneResource*> m_scenes;
    uint32_t m_id = 0;
    uint32_t m_checkId = 0;
    uint32_t m_panSounds = 0;
    uint32_t m_musicWithoutNotification = 0;
    uint32_t m_voicesPerSound = kDefaultVoicesPerSound;

    tag_KVRKINDLOADER m_meshLoader;
    tag_KVRKINDLOADER m_effectLoader;
    std::unordered_map<const void*, Source> m_sources;
    std::vector<Moved> m_moved;
    std::string m_loadFolder;
    std::string m_lastError;
    EntryHook m_entryHook;
    uint32_t m_loadedEntries = 0;
};
