#include "engine/resource/CSafeFileWriter.h"

#include "engine/core/CPathResolver.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<int64_t> g_writesBeforeFailure{-1};

// True when the simulated failure strikes this write.
bool SimulatedFailure()
{
    int64_t left = g_writesBeforeFailure.load();
    while (left >= 0)
    {
        if (left == 0)
            return true;
        if (g_writesBeforeFailure.compare_exchange_weak(left, left - 1))
            return false;
    }
    return false;
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}

void CSafeFileWriter::SetFailAfterWrites(int64_t writes)
{
    g_writesBeforeFailure.store(writes < 0 ? -1 : writes);
}

CSafeFileWriter::~CSafeFileWriter()
{
    if (!m_committed)
        Discard();
}

int CSafeFileWriter::Open(const char* dataName)
{
    Discard();
    m_committed = false;
    m_failed = false;
    if (dataName == nullptr || *dataName == '\0' || !CPathResolver::CreateFolders(dataName))
        return 0;
    m_target = CPathResolver::Resolve(dataName);
    if (m_target.empty() || m_target.back() == '/')
        return 0;
    // A dot name keeps the temporary file out of the way of anything that
    // lists the folder for data files.
    std::string pattern = FolderOf(m_target) + "." + FileOf(m_target) + ".XXXXXX";
    const int descriptor = mkstemp(pattern.data());
    if (descriptor < 0)
        return 0;
    m_temp = pattern;
    // mkstemp makes the file private to its owner; a data file is not.
    fchmod(descriptor, 0644);
    m_file = fdopen(descriptor, "wb");
    if (m_file == nullptr)
    {
        close(descriptor);
        Discard();
        return 0;
    }
    return 1;
}

int CSafeFileWriter::Write(const void* bytes, size_t size)
{
    if (m_file == nullptr || m_failed)
        return 0;
    if (SimulatedFailure() || (size > 0 && std::fwrite(bytes, 1, size, m_file) != size))
    {
        m_failed = true;
        return 0;
    }
    return 1;
}

int CSafeFileWriter::WriteU32(uint32_t value)
{
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return Write(bytes, sizeof(bytes));
}

int CSafeFileWriter::Close()
{
    if (m_file == nullptr)
        return m_temp.empty() || m_failed ? 0 : 1;
    bool ok = !m_failed && std::fflush(m_file) == 0 && fsync(fileno(m_file)) == 0;
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
    if (!ok)
        m_failed = true;
    return ok ? 1 : 0;
}

int CSafeFileWriter::Commit()
{
    if (m_committed)
        return 1;
    if (m_temp.empty() || !Close() || !SyncTemp() || std::rename(m_temp.c_str(), m_target.c_str()) != 0)
    {
        Discard();
        return 0;
    }
    m_temp.clear();
    m_committed = true;
    return 1;
}

// Savers of other classes write the temporary file through their own
// streams after Close: its bytes reach the disk here, before the rename.
int CSafeFileWriter::SyncTemp() const
{
    const int descriptor = open(m_temp.c_str(), O_RDONLY);
    if (descriptor < 0)
        return 0;
    const bool synced = fsync(descriptor) == 0;
    close(descriptor);
    return synced ? 1 : 0;
}

void CSafeFileWriter::Discard()
{
    if (m_file != nullptr)
    {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty())
    {
        unlink(m_temp.c_str());
        m_temp.clear();
    }
}
