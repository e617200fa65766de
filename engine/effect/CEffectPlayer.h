#pragma once

#include "engine/core/CKeyFrameList.h"
#include "engine/core/CObjectBase.h"
#include "engine/core/CResourceList.h"

#include <cstdint>
#include <cstdio>

class CEffectContainer;
class CEffectController;
class CSoundBuffer;
class CTexture;

// Where and how an effect player plays its container; stored as 320 bytes.
struct tag_KVREFFECTPLAYERPARAMETER
{
    CkvrVector3 position;
    CkvrVector3 direction;
    CkvrVector3 scale;
    CkvrVector4 color;
    float timeLimit;     // 0 = none
    uint32_t attachMode; // 0 absolute, 1 relative to the actor, 2 on a bone
    char boneName[260];  // NUL-terminated, for attach mode 2
};

// A stored instruction to play one effect container by name during a timed
// action: the placement block and the "Play" track whose key times are the
// moments to play. Game data embeds its record; the player itself draws and
// updates nothing.
//
// Record: u32 name length with the NUL (0 = none), the name, the 320-byte
// block, then the play track's keyframe-track record.
class CEffectPlayer : public CObjectBase
{
public:
    static constexpr uint32_t kParameterSize = 320;
    // Longest container name a record may hold.
    static constexpr uint32_t kMaxNameLength = 1u << 16;

    CEffectPlayer();
    explicit CEffectPlayer(const char* name);
    // Duplicates the container name and the play track.
    CEffectPlayer(const CEffectPlayer& other);
    CEffectPlayer& operator=(const CEffectPlayer&) = delete;
    ~CEffectPlayer() override;

    uint32_t Release() override;
    const char* GetClassName() const override { return "CEffectPlayer"; }
    int Create(uintptr_t) override { return 1; }
    int Update(uintptr_t) override { return 1; }
    int Render(uintptr_t) override { return 1; }

    // With a stream, reads or writes at its position and leaves it open;
    // without, opens path ("rb" / "wb") itself. 1/0. A record that fails to
    // read leaves the player as it was.
    int Load(const char* path, FILE* stream);
    int Save(const char* path, FILE* stream) const;

    // Finds the container by file name in the effects list (the other lists
    // are part of the shared resolve interface of game data).
    void ResolveContainer(const CResourceList<CResourceBase*>* meshes, const CResourceList<CTexture*>* textures,
                          const CResourceList<CSoundBuffer*>* sounds, const CResourceList<CResourceBase*>* effects);
    void SetContainer(CEffectContainer* container) { m_container = container; }
    // Replaces the stored container name (null clears it). 1/0.
    int SetContainerName(const char* name);

    CEffectContainer* GetContainer() const { return m_container; }
    CEffectController* GetController() const { return m_controller; }
    const char* GetContainerName() const { return m_containerName; }
    tag_KVREFFECTPLAYERPARAMETER* GetParameters() { return &m_parameters; }
    const tag_KVREFFECTPLAYERPARAMETER* GetParameters() const { return &m_parameters; }
    CKeyFrameList<float>* GetPlayTrack() const { return m_playTrack; }

    static void EncodeParameters(const tag_KVREFFECTPLAYERPARAMETER& block, uint8_t out[kParameterSize]);
    static void DecodeParameters(const uint8_t in[kParameterSize], tag_KVREFFECTPLAYERPARAMETER* block);

private:
    void Reset();
    int ReadRecord(FILE* file);
    int WriteRecord(FILE* file) const;

    char* m_containerName = nullptr;
    tag_KVREFFECTPLAYERPARAMETER m_parameters{};
    CKeyFrameList<float>* m_playTrack = nullptr;
    CEffectController* m_controller = nullptr;
    CEffectContainer* m_container = nullptr;
};
