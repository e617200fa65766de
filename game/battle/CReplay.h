#pragma once

#include "engine/core/CResourceBase.h"
#include "game/actor/tag_TOLQINPUTRECORD.h"
#include "game/battle/tag_TOLQREPLAYHEADER.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class CCharacter;
class CInput;
struct tag_TOLQBATTLESETTING;

// Records a battle into a replay file and plays one back. A replay holds
// the battle setting (with its seed) and, for every battle frame that ran,
// the frame time and the input record each human fighter acted on; playing
// it rebuilds the battle from the setting and feeds the same records and
// times into the same frame order.
//
// File: u32 length and the leading name (0: none), the 300-byte header, the
// setting block (ReplaySettingBlock.h), then frames to the end of the file:
// u32 milliseconds and 15 bytes per human fighter, in entry order.
//
// Recording writes to a temporary file made in the folder of the final
// name, so that Finish only renames it; a recording never finished is
// deleted by Release. Playback reads the whole file first and trusts none
// of it: a refused file leaves a reason in GetError.
class CReplay : public CResourceBase
{
public:
    static constexpr uint32_t kCapacity = 6000;
    // The longest frame a replay holds, recorded and played alike. Real
    // frames can be long (the first after a slow set-up, a stall): they
    // play back, held to their length. A battle that records steps a longer
    // one (a laptop suspended and woken) by this much only, and records
    // that (LimitFrameTime), so that its replay plays whole and alike; a
    // longer frame in a file is no frame a battle ran: the file is corrupt.
    static constexpr uint32_t kMaxFrameMilliseconds = 60000;
    static constexpr uint32_t LimitFrameTime(uint32_t milliseconds)
    {
        return milliseconds < kMaxFrameMilliseconds ? milliseconds : kMaxFrameMilliseconds;
    }
    // Frames shorter than this are paced by the program's own frame limiter.
    static constexpr uint32_t kPacedFrameMilliseconds = 20;
    // The largest replay read: over ten hours of eight human fighters.
    static constexpr uint64_t kMaxFileSize = 256u << 20;
    static constexpr uint32_t kMaxLeadingName = 4096;

    CReplay();
    ~CReplay() override;
    const char* GetClassName() const override { return "CReplay"; }
    // Writes out and closes an open recording (deleting it when it was never
    // finished) and frees the buffers.
    uint32_t Release() override;

    // Recording. OpenForRecord makes the temporary file in folder (a native
    // path ending in '/', the folder the replay will be saved in) and writes
    // the leading name; 0 when the file can't be made, and nothing else can
    // be written then.
    int OpenForRecord(const char* folder);
    // Names are cut to fit the header with their NUL.
    int WriteHeader(const char* stageName, const char* characterName, uint32_t online);
    int WriteSetting(const tag_TOLQBATTLESETTING* setting);
    // The frame time (limited to kMaxFrameMilliseconds), then the last
    // record each human fighter (CPlayer) of players acted on.
    int RecordFrame(CCharacter* const* players, uint32_t count, uint32_t milliseconds);
    int Write(const void* data, uint32_t size);
    // Writes out, flushes to disk, closes and renames the recording to
    // finalName (replacing a file of that name). 1 without a recording; 0
    // when a write failed (the recording is deleted then).
    int Finish(const char* finalName);
    bool IsRecording() const { return m_file != nullptr; }
    const std::string& GetTemporaryName() const { return m_temporaryName; }

    // Playback. OpenForPlay reads the file, its leading name and its header
    // (0 with a reason for a file that can't be read or ends early);
    // ReadHeader answers whether a header was read; ReadSetting reads the
    // setting block into setting (0 with a reason for a refused block).
    int OpenForPlay(const char* fileName);
    int ReadHeader() const { return m_headerRead ? 1 : 0; }
    int ReadSetting(tag_TOLQBATTLESETTING* setting);
    // Playback is paced to the recorded times without waiting in it: the
    // program's frame loop runs on (drawing, taking keys) while a frame's
    // time runs, and the battle plays the next frame once it is due, that
    // is once the time of the frame before has run. Frames shorter than
    // kPacedFrameMilliseconds, and every frame when pacing is off, are due
    // at once. A frame's time runs from when the frame was due, so that
    // frames played a loop frame late don't add up to a slower playback.
    bool IsFrameDue() const;
    // At the start of a battle frame: installs this frame's time as the
    // frame period and applies each human fighter's record (fighters whose
    // battle data has local input 0). At the end of the file, or at a
    // corrupt frame, the playback ends: those fighters get empty records
    // from then on and the frame time stays. 1 while frames play.
    int PlayFrame(CCharacter* const* players, uint32_t count, CInput* input);
    bool HasEnded() const { return m_ended; }

    const tag_TOLQREPLAYHEADER& GetHeader() const { return m_header; }
    const std::string& GetError() const { return m_error; }

    // Pacing to the recorded times (on by default), by the frame timer's
    // clock (FrameTimer.h).
    void SetPacing(bool paced) { m_paced = paced; }

    // The name a finished battle's replay is saved under in folder: the
    // first "QorReplay_NN.rep" (NN from 01 to replayCount) that does not
    // exist yet, else "QorReplay_New.rep".
    static std::string MakeFileName(const char* folder, uint32_t replayCount);

private:
    int Fail(const std::string& why);
    bool FlushBuffer();
    void CloseRecording(bool keep);
    void StartFrameTime();
    void ApplyEmptyRecords(CCharacter* const* players, uint32_t count, CInput* input);

    // Recording.
    std::vector<uint8_t> m_buffer; // capacity reserved when recording starts
    FILE* m_file = nullptr;
    std::string m_temporaryName;
    bool m_writeFailed = false;
    // Both.
    uint32_t m_frameTime = 0;
    uint32_t m_lastTime = 0; // when the current frame's time began to run
    tag_TOLQREPLAYHEADER m_header;
    std::vector<tag_TOLQINPUTRECORD> m_inputs; // one per player entry
    // Playback.
    std::vector<uint8_t> m_bytes;
    size_t m_offset = 0;
    bool m_headerRead = false;
    bool m_ended = false;
    bool m_paced = true;
    std::string m_error;
};
