#pragma once

#include "engine/core/FileIo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// One temporary file per fuzz process for the readers that take a path; it is
// removed when the process ends.
class FuzzTempFile
{
public:
    FuzzTempFile()
    {
        const char* folder = std::getenv("TMPDIR");
        std::string pattern = std::string(folder != nullptr ? folder : "/tmp") + "/kvr-fuzz-XXXXXX";
        const int descriptor = mkstemp(pattern.data());
        if (descriptor >= 0)
        {
            close(descriptor);
            m_path = pattern;
        }
    }

    ~FuzzTempFile()
    {
        if (!m_path.empty())
            unlink(m_path.c_str());
    }

    // The path holding exactly these bytes, or null.
    const char* Write(const uint8_t* data, size_t size)
    {
        if (m_path.empty())
            return nullptr;
        FileHandle file = OpenFile(m_path.c_str(), "wb");
        if (!file || !WriteBytes(file.get(), data, size) || !CloseWrittenFile(std::move(file)))
            return nullptr;
        return m_path.c_str();
    }

private:
    std::string m_path;
};
