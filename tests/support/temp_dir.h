#pragma once
// A folder of the test's own under the system's temporary folder, removed with all it holds.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace gg::test {

class TempDir {
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/gg-test-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool isValid() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string filePath(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace gg::test
