// Where glimmer-extract writes: every file it makes goes through writeOutputFile, and the names
// of extracted icons follow the window's rule.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>

namespace gg::tool {

enum class Written { Yes, NameTaken, Failed };

struct WriteResult {
    Written outcome = Written::Failed;
    std::string problem; // why it failed
    int error = 0;       // the system's error number behind it, where there is one
};

// The one place that creates files; either way the file is written in full before it gets its
// name. Without replace it goes in only where nothing holds the name (not even a dangling link),
// and NameTaken comes back otherwise; with replace it is renamed over what is there.
WriteResult writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes, bool replace);

// Writes the bytes into the file at path itself (through a link to it), creating it when it is
// missing: the caller may hold the file open and read them back through its own handle. They go
// in from the start and the file is cut to their length. Anything but a regular file is refused
// untouched, and a write that fails puts back what the file held, so either the whole of the
// bytes is there or nothing changed.
WriteResult writeIntoFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Writes a new file into the folder and gives it the first name of nextName()'s sequence that
// nothing holds at that moment; the sequence ends with nullopt (NameTaken).
struct Placed {
    std::string name; // the leaf name it went in under
    WriteResult result;
};
Placed writeNewFile(const std::string& folder, std::span<const std::uint8_t> bytes,
                    const std::function<std::optional<std::string>()>& nextName);

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

private:
    std::string folder_; // ends in a separator unless empty
    bool overwrite_;
    std::unordered_map<std::string, std::uint64_t> next_; // base and suffix -> next number to try
};

} // namespace gg::tool
