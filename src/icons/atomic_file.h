#pragma once
// A file that is written in full before it gets its name, so that nobody ever sees it half
// written, and that, when it goes in as a new file, never takes the place of anything.
//
// Where the file system allows it (O_TMPFILE) the file has no name at all until it is complete,
// so a kill at any moment leaves nothing behind. Elsewhere it is written under a temporary name,
// ".glimmer-<pid>.<n>.tmp", which it keeps locked while it lives; RemoveStaleTemporaryFiles
// clears such names left behind by a process that was killed.
//
// Every call works relative to an open folder: a folder renamed or moved meanwhile is followed,
// and no path outside it is ever touched. A termination request waits while a file is open (see
// platform/termination_signals.h).

#include "runtime/termination_signals.h"
#include "runtime/error_trap.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace gg {

// A failed system call: the errno behind the message, and for a write the bytes that got in.
class FileFailure : public StepFailure {
public:
    explicit FileFailure(int error, std::size_t written = 0);
    int error() const { return error_; }
    std::size_t written() const { return written_; }

private:
    int error_;
    std::size_t written_;
};

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

class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // drops a file that was never put in place

    // Opens a new file in the folder of target, for commitReplacing(). Throws FileFailure.
    void open(const std::string& target);
    // Opens a new file in the folder at that path, for commitAsNew(). Throws FileFailure.
    void openInFolder(const std::string& folder);
    // Opens a new file in an open folder that the caller keeps open until the file is placed or
    // dropped, for commitAsNew(). Throws FileFailure.
    void open(int folder);
    // Opens the file under a temporary name from the start, as on a file system without O_TMPFILE.
    void openNamed(int folder);
    // Appends bytes. Throws FileFailure, after dropping the file.
    void write(std::span<const std::uint8_t> bytes);
    // Puts the file under the target's name, in place of whatever was there. Throws FileFailure,
    // after dropping the file.
    void commitReplacing();
    // Puts the file under the first name that nextName() gives and nothing holds at that moment;
    // nothing is ever replaced. Returns that name. Throws FileFailure, after dropping the file.
    std::string commitAsNew(const std::function<std::string()>& nextName);
    // Closes and removes the file, if any.
    void discard() noexcept;

    bool isOpen() const { return fd_ >= 0; }
    // The folder the file is in (a directory descriptor), while it is open.
    int folder() const { return folder_; }
    // The file's temporary name, or "" while it has none.
    const std::string& temporaryName() const { return temporary_; }

private:
    [[noreturn]] void fail(int error, std::size_t written = 0);
    int createTemporary();
    int giveTemporaryName();
    void close();

    int fd_ = -1;
    int folder_ = -1;
    FolderHandle ownFolder_;
    std::string target_;    // leaf name, for commitReplacing()
    std::string temporary_; // leaf name, empty while the file has no name
    std::optional<TerminationDeferral> deferral_;
};

// Reads the folder once and removes the temporary files of this program whose writer is gone (no
// one holds their lock); files of other programs and other users are left alone. Every other name
// is handed to otherName, if given. Returns how many files went.
int RemoveStaleTemporaryFiles(int folder, const std::function<void(std::string_view name)>& otherName = {});

} // namespace gg
