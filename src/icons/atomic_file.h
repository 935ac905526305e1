#pragma once
// A file that is written in full before it gets its name, so that nobody ever sees it half
// written, and that, when it goes in as a new file, never takes the place of anything.
//
// Where the file system allows it (O_TMPFILE) the file has no name at all until it is complete,
// so a kill at any moment leaves nothing behind. Elsewhere it is written under a temporary name,
// ".glimmer-<pid>.<n>.tmp", which it keeps locked while it lives; removeStaleTemporaryFiles
// clears such names left behind by a process that was killed.
//
// Every call works relative to an open folder: a folder renamed or moved meanwhile is followed,
// and no path outside it is ever touched. A termination request waits while a file is open (see
// termination_signals.h).

#include "icons/termination_signals.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace gg {

// An open folder (O_PATH), closed when it goes.
class FolderHandle {
public:
    FolderHandle() = default;
    // Opens the folder at path; an invalid handle (errno set) when it cannot be opened.
    static FolderHandle open(const std::string& path);
    FolderHandle(FolderHandle&& other) noexcept;
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;
    ~FolderHandle();

    int fd() const { return fd_; }
    bool isValid() const { return fd_ >= 0; }

private:
    explicit FolderHandle(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Each call that can fail answers 0, or the errno of the failure after dropping the file.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // drops a file that was never put in place

    // Opens a new file in an open folder (a directory descriptor) that the caller keeps open until
    // the file is placed or dropped.
    int open(int folder);
    // Appends bytes; written() tells how many got in, those of a failed call included.
    int write(std::span<const std::uint8_t> bytes);
    // Puts the file under `name`, in place of whatever is there.
    int commitReplacing(const std::string& name);
    // Puts the file under the first name that nextName() gives and nothing holds at that moment;
    // nothing is ever replaced. EEXIST once nextName() has no more to give. name() tells the name.
    int commitAsNew(const std::function<std::optional<std::string>()>& nextName);
    // Closes and removes the file, if any.
    void discard() noexcept;

    bool isOpen() const { return fd_ >= 0; }
    std::size_t written() const { return written_; }
    // The name the file went in under, or the last one tried.
    const std::string& name() const { return name_; }
    // The file's temporary name, or "" while it has none.
    const std::string& temporaryName() const { return temporary_; }

private:
    int fail(int error);
    int createTemporary();
    int giveTemporaryName();
    int writeAll(std::span<const std::uint8_t> bytes, std::size_t& done);
    void close();

    int fd_ = -1;
    int folder_ = -1;
    std::size_t written_ = 0;
    std::string name_;
    std::string temporary_; // leaf name, empty while the file has no name
    std::optional<TerminationDeferral> deferral_;
};

// Reads the folder once and removes the temporary files of this program whose writer is gone (no
// one holds their lock); files of other programs and other users are left alone. Every other name
// is handed to otherName, if given. Returns how many files went.
int removeStaleTemporaryFiles(int folder, const std::function<void(std::string_view name)>& otherName = {});

} // namespace gg
