#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <system_error>

// A fresh folder under the system's temporary folder that the test works in
// (it becomes the current folder) and that is removed afterwards.
class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvr-test-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
        m_previous = std::filesystem::current_path();
        std::filesystem::current_path(m_path);
    }

    ~TempFolder()
    {
        std::error_code error;
        std::filesystem::current_path(m_previous, error);
        std::filesystem::remove_all(m_path, error);
    }

    const std::filesystem::path& Path() const { return m_path; }

    static void Write(const std::filesystem::path& path, const std::string& bytes)
    {
        if (path.has_parent_path())
            std::filesystem::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Read through the stream buffer in blocks: a byte at a time is slow
    // for the data set's packs in the sanitizer build.
    static std::string Read(const std::filesystem::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return {};
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

private:
    std::filesystem::path m_path;
    std::filesystem::path m_previous;
};
