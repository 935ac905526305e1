// Where glimmer-extract writes: the extracted icons under the window's names, and a thumbnail
// into the file it is given.
#pragma once

#include "icons/new_files.h"

#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>

namespace gg::tool {

struct WriteResult {
    bool written = false;
    std::string problem; // why not
    int error = 0;       // the system's error number behind it, where there is one
};

// Writes the bytes into the file at path itself (through a link to it), creating it when it is
// missing: the caller may hold the file open and read them back through its own handle. They go
// in from the start and the file is cut to their length. Anything but a regular file is refused
// untouched, and a write that fails puts back what the file held, so either the whole of the
// bytes is there or nothing changed.
WriteResult writeIntoFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Names after the source file, as the window saves them: the output folder, the file's name
// less its last dot and what follows, then base.ico, base1.ico, base2.ico, ... Without overwrite
// each icon takes the first name nothing holds (a run goes on where each sequence got to, rather
// than probing it from the start for every icon of a large library); with overwrite the icons of a
// run take the sequence in order and replace what is there.
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
    NewFiles newFiles_;
    std::unordered_map<std::string, std::uint64_t> next_; // with overwrite: base and suffix -> next number
};

} // namespace gg::tool
