#pragma once
// Putting bytes on disk: a whole file or none, and a new file never in the place of anything.
// Every program and command that saves writes through here.
//
//   NewFiles files;
//   FileOutcome saved = files.write("/out", "shell32", ".ico", bytes);   // shell32.ico, shell321.ico, ...
//   if (!saved.ok()) ... saved.failedStep, saved.error (an errno), saved.written
//
// Folders are paths as bytes. A termination request waits while a file is being written (see
// termination_signals.h).

#include "icons/free_names.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace gg {

// The steps of writing one file.
enum class FileStep { None, Open, Write, Place };

struct FileOutcome {
    FileStep failedStep = FileStep::None;
    int error = 0;           // the errno of the failed step
    std::size_t written = 0; // the bytes that got in, those of a failed write included
    // The name the file went in under; after a failure the name it was to have, or the last tried.
    std::string name;

    bool ok() const { return failedStep == FileStep::None; }
};

// New files under the free names of their sequences, for one run of saves: each sequence goes on
// where its last file went in. The first file into a folder clears what a killed writer of ours
// left there.
class NewFiles {
public:
    // Writes bytes into the folder under the first name of base + suffix, base + "1" + suffix, ...
    // that nothing holds.
    FileOutcome write(const std::string& folder, const std::string& base, const std::string& suffix,
                      std::span<const std::uint8_t> bytes);

private:
    FreeNames names_;
    std::string readFolder_; // the folder cleared and read last
};

// Writes bytes as a new file at path; EEXIST when something holds its name.
FileOutcome writeNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Writes bytes in place of whatever is at path, or as a new file where there is nothing.
FileOutcome replaceFile(const std::string& path, std::span<const std::uint8_t> bytes);

// True for a failure that every further file into the same folder would meet as well: the folder
// is full, read-only, not ours to write, gone, failing, or the names are too long for it.
bool failsForEveryFile(int error);

} // namespace gg
