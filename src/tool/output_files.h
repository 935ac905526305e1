// Where glimmer-extract writes: every file it makes goes through writeOutputFile, and the names
// of extracted icons follow the window's rule.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

namespace gg::tool {

enum class Written { Yes, NameTaken, Failed };

struct WriteResult {
    Written outcome = Written::Failed;
    std::string problem; // why it failed
};

// The one place that creates files. Without replace the file is created exclusively (O_EXCL):
// whatever holds the name already, even a dangling link, is left alone and NameTaken comes back.
// With replace the bytes go to a temporary file beside the target, which is then renamed over it,
// so the target is whole at every moment.
WriteResult writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace);

// Names after the source file, as the window saves them: the output folder, the file's name
// less its last dot and what follows (SaveBasePath), then base.ico, base1.ico, base2.ico, ...
// Without overwrite each icon takes the first name nothing holds yet (the run remembers how far
// each sequence got, rather than probing it from the start for every icon of a large library);
// with overwrite the icons of a run take the sequence in order and replace what is there.
class OutputNames {
public:
    OutputNames(std::string folder, bool overwrite);

    struct Saved {
        std::string path; // the name written, or the one that failed
        WriteResult result;
    };
    Saved save(const std::string& sourcePath, const std::string& suffix, std::span<const std::uint8_t> bytes);

    // Whether the folder can take a new file at all; when it cannot, every further icon would fail.
    bool folderTakesNewFiles() const;

private:
    std::string folder_; // ends in a separator unless empty
    bool overwrite_;
    std::unordered_map<std::string, std::uint64_t> next_; // base and suffix -> next number to try
};

} // namespace gg::tool
