#include "game/battle/CReplay.h"

#include "engine/core/CByteReader.h"
#include "engine/core/CByteWriter.h"
#include "engine/core/FailureLog.h"
#include "engine/core/FileIo.h"
#include "engine/platform/FrameTimer.h"
#include "game/actor/CCharacter.h"
#include "game/battle/ReplaySettingBlock.h"
#include "game/battle/tag_TOLQBATTLESETTING.h"

#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace
{
constexpr const char* kTemporaryPattern = ".QorReplay_XXXXXX";

bool Exists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

// The folder part of a path, for flushing the rename to disk.
std::string FolderOf(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? std::string(path, static_cast<size_t>(slash - path + 1)) : std::string("./");
}

void SyncFolder(const std::string& folder)
{
    const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (descriptor < 0)
        return;
    fsync(descriptor);
    close(descriptor);
}
}

CReplay::CReplay() = default;

CReplay::~CReplay()
{
    CReplay::Release();
}

uint32_t CReplay::Release()
{
    CloseRecording(false);
    std::vector<uint8_t>().swap(m_buffer);
    std::vector<uint8_t>().swap(m_bytes);
    m_inputs.clear();
    return CResourceBase::Release();
}

int CReplay::Fail(const std::string& why)
{
    m_error = why;
    return 0;
}

int CReplay::OpenForRecord(const char* folder)
{
    if (m_file != nullptr)
        return Fail("a recording is already open");
    std::string pattern = std::string(folder != nullptr ? folder : "") + kTemporaryPattern;
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
    {
        LogFailure(("The replay can't be recorded in \"" + pattern + "\"").c_str(), ErrnoText());
        return Fail("the temporary file can't be made");
    }
    m_file = fdopen(descriptor, "wb");
    if (m_file == nullptr)
    {
        close(descriptor);
        unlink(pattern.c_str());
        return Fail("the temporary file can't be opened");
    }
    m_temporaryName = pattern;
    m_writeFailed = false;
    m_buffer.clear();
    m_buffer.reserve(kCapacity);
    CByteWriter leading;
    const char* name = GetName();
    const uint32_t length = name != nullptr && name[0] != '\0' ? static_cast<uint32_t>(std::strlen(name) + 1) : 0;
    leading.U32(length);
    leading.Bytes(name, length);
    if (!WriteBytes(m_file, leading.GetBytes().data(), leading.GetBytes().size()))
        m_writeFailed = true;
    return 1;
}

int CReplay::WriteHeader(const char* stageName, const char* characterName, uint32_t online)
{
    m_header = tag_TOLQREPLAYHEADER();
    m_header.version = tag_TOLQREPLAYHEADER::kVersion;
    std::snprintf(m_header.stageName, sizeof(m_header.stageName), "%s", stageName != nullptr ? stageName : "");
    std::snprintf(m_header.characterName, sizeof(m_header.characterName), "%s",
                  characterName != nullptr ? characterName : "");
    m_header.online = online != 0 ? 1 : 0;
    const std::time_t now = std::time(nullptr);
    std::tm utc = {};
    gmtime_r(&now, &utc);
    m_header.year = static_cast<uint16_t>(utc.tm_year + 1900);
    m_header.month = static_cast<uint8_t>(utc.tm_mon + 1);
    m_header.day = static_cast<uint8_t>(utc.tm_mday);
    CByteWriter writer;
    WriteReplayHeader(&writer, m_header);
    return Write(writer.GetBytes().data(), static_cast<uint32_t>(writer.GetBytes().size()));
}

int CReplay::WriteSetting(const tag_TOLQBATTLESETTING* setting)
{
    if (setting == nullptr)
        return 0;
    m_inputs.assign(setting->playerCount, tag_TOLQINPUTRECORD());
    CByteWriter writer;
    WriteReplaySettingBlock(&writer, *setting);
    const std::vector<uint8_t>& bytes = writer.GetBytes();
    // The block may pass the buffer's capacity: it goes in pieces.
    for (size_t done = 0; done < bytes.size();)
    {
        const uint32_t piece = static_cast<uint32_t>(bytes.size() - done < kCapacity ? bytes.size() - done : kCapacity);
        if (Write(bytes.data() + done, piece) == 0)
            return 0;
        done += piece;
    }
    return 1;
}

int CReplay::RecordFrame(CCharacter* const* players, uint32_t count, uint32_t milliseconds)
{
    if (m_file == nullptr)
        return 0;
    milliseconds = LimitFrameTime(milliseconds);
    m_frameTime = milliseconds;
    uint8_t time[4] = {uint8_t(milliseconds), uint8_t(milliseconds >> 8), uint8_t(milliseconds >> 16),
                       uint8_t(milliseconds >> 24)};
    Write(time, sizeof(time));
    for (uint32_t i = 0; i < count; ++i)
    {
        if (players[i] == nullptr || !players[i]->IsPlayer())
            continue;
        if (i < m_inputs.size())
            m_inputs[i] = *players[i]->GetLastInputRecord();
        Write(players[i]->GetLastInputRecord()->bytes, tag_TOLQINPUTRECORD::kSize);
    }
    return m_writeFailed ? 0 : 1;
}

int CReplay::Write(const void* data, uint32_t size)
{
    if (m_file == nullptr || size > kCapacity)
        return 0;
    if (m_buffer.size() + size > kCapacity && !FlushBuffer())
        return 0;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
    return 1;
}

bool CReplay::FlushBuffer()
{
    if (m_file == nullptr)
        return false;
    if (!m_buffer.empty() && !WriteBytes(m_file, m_buffer.data(), m_buffer.size()))
        m_writeFailed = true;
    if (std::fflush(m_file) != 0)
        m_writeFailed = true;
    m_buffer.clear();
    return !m_writeFailed;
}

int CReplay::Finish(const char* finalName)
{
    if (m_temporaryName.empty())
        return 1;
    if (finalName == nullptr)
        return 0;
    bool written = FlushBuffer() && fsync(fileno(m_file)) == 0;
    written = std::fclose(m_file) == 0 && written;
    m_file = nullptr;
    if (!written || std::rename(m_temporaryName.c_str(), finalName) != 0)
    {
        LogFailure(("The replay can't be saved as \"" + std::string(finalName) + "\"").c_str(), ErrnoText());
        unlink(m_temporaryName.c_str());
        m_temporaryName.clear();
        return Fail("the recording can't be written");
    }
    SyncFolder(FolderOf(finalName));
    m_temporaryName.clear();
    return 1;
}

void CReplay::CloseRecording(bool keep)
{
    if (m_file != nullptr)
    {
        FlushBuffer();
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!keep && !m_temporaryName.empty())
        unlink(m_temporaryName.c_str());
    m_temporaryName.clear();
}

int CReplay::OpenForPlay(const char* fileName)
{
    m_bytes.clear();
    m_offset = 0;
    m_headerRead = false;
    m_ended = false;
    m_frameTime = 0;
    m_lastTime = 0;
    if (fileName == nullptr)
        return Fail("no file named");
    const NativeReadResult read = ReadNativeFile(fileName, kMaxFileSize, &m_bytes);
    if (read == NativeReadResult::Missing)
        return Fail("the file does not exist");
    if (read != NativeReadResult::Read)
        return Fail("the file can't be read or is larger than a replay can be");
    CByteReader reader(m_bytes.data(), m_bytes.size());
    const uint32_t length = reader.U32();
    if (reader.Failed())
        return Fail("the file ends before its header");
    if (length > kMaxLeadingName || !reader.CanRead(length, 1))
        return Fail("a leading name of " + std::to_string(length) + " bytes");
    if (length > 0)
    {
        std::string name(length, '\0');
        reader.Bytes(name.data(), length);
        SetName(name.c_str());
    }
    ReadReplayHeader(&reader, &m_header);
    if (reader.Failed())
        return Fail("the file ends inside its header");
    m_offset = m_bytes.size() - reader.GetRemaining();
    m_headerRead = true;
    return 1;
}

int CReplay::ReadSetting(tag_TOLQBATTLESETTING* setting)
{
    if (!m_headerRead)
        return Fail("no replay is open");
    CByteReader reader(m_bytes.data() + m_offset, m_bytes.size() - m_offset);
    std::string reason;
    if (!ReadReplaySettingBlock(&reader, setting, &reason))
        return Fail("the setting is refused: " + reason);
    m_offset = m_bytes.size() - reader.GetRemaining();
    m_inputs.assign(setting->playerCount, tag_TOLQINPUTRECORD());
    return 1;
}

bool CReplay::IsFrameDue() const
{
    if (!m_paced || m_ended || m_frameTime < kPacedFrameMilliseconds)
        return true;
    return GetFrameClockMilliseconds() - m_lastTime >= m_frameTime;
}

void CReplay::StartFrameTime()
{
    const uint32_t now = GetFrameClockMilliseconds();
    const uint32_t due = m_lastTime + m_frameTime;
    // Played within a frame's time after it was due: the next frame's time
    // runs from then. Later (a pause, a machine too slow for the frames),
    // or before (unpaced): from now, with no time to make up.
    const bool onTime = m_paced && m_frameTime >= kPacedFrameMilliseconds && now - due < m_frameTime;
    m_lastTime = onTime ? due : now;
}

int CReplay::PlayFrame(CCharacter* const* players, uint32_t count, CInput* input)
{
    if (players == nullptr || input == nullptr)
        return 0;
    StartFrameTime();
    uint32_t humans = 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        const CCharacter* fighter = players[i];
        if (fighter != nullptr && fighter->GetBattleData() != nullptr && fighter->GetBattleData()->localInput == 0)
            ++humans;
    }
    CByteReader reader(m_bytes.data() + m_offset, m_bytes.size() - m_offset);
    const uint32_t milliseconds = reader.U32();
    if (!m_ended && reader.Failed())
    {
        m_ended = true;
        if (reader.GetRemaining() > 0 || m_offset < m_bytes.size())
            m_error = "the file ends inside a frame";
    }
    if (!m_ended && milliseconds > kMaxFrameMilliseconds)
    {
        m_ended = true;
        m_error = "a frame of " + std::to_string(milliseconds) + " ms";
    }
    if (!m_ended && !reader.CanRead(humans, tag_TOLQINPUTRECORD::kSize))
    {
        m_ended = true;
        m_error = "the file ends inside a frame";
    }
    if (m_ended)
    {
        ApplyEmptyRecords(players, count, input);
        return 0;
    }
    m_frameTime = milliseconds;
    SetFrameTime(milliseconds);
    for (uint32_t i = 0; i < count; ++i)
    {
        CCharacter* fighter = players[i];
        if (fighter == nullptr || fighter->GetBattleData() == nullptr || fighter->GetBattleData()->localInput != 0)
            continue;
        tag_TOLQINPUTRECORD record;
        reader.Bytes(record.bytes, tag_TOLQINPUTRECORD::kSize);
        if (i < m_inputs.size())
            m_inputs[i] = record;
        fighter->ApplyInputRecord(&record, input);
    }
    m_offset = m_bytes.size() - reader.GetRemaining();
    return 1;
}

void CReplay::ApplyEmptyRecords(CCharacter* const* players, uint32_t count, CInput* input)
{
    const tag_TOLQINPUTRECORD empty;
    for (uint32_t i = 0; i < count; ++i)
    {
        CCharacter* fighter = players[i];
        if (fighter != nullptr && fighter->GetBattleData() != nullptr && fighter->GetBattleData()->localInput == 0)
            fighter->ApplyInputRecord(&empty, input);
    }
}

std::string CReplay::MakeFileName(const char* folder, uint32_t replayCount)
{
    const std::string base = folder != nullptr ? folder : "";
    for (uint32_t n = 1; n <= replayCount; ++n)
    {
        char name[32];
        std::snprintf(name, sizeof(name), "QorReplay_%2.2u.rep", n);
        if (!Exists(base + name))
            return base + name;
    }
    return base + "QorReplay_New.rep";
}
