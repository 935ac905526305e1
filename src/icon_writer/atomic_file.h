#pragma once
// Writes a file under a temporary name beside its target and renames it over the target only
// once every byte is written, so a failed save never costs the file that was there before.

#include <cstdint>
#include <span>
#include <string>

namespace gg {

class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // discards a file that was never committed

    // Creates the temporary file in the target's folder. Throws StepFailure on failure.
    void open(const std::string& target);
    // Appends bytes. Throws StepFailure on failure; the file stays open until discarded.
    void write(std::span<const std::uint8_t> bytes);
    // Closes the file and renames it over the target. Throws StepFailure on failure, after
    // removing the temporary file.
    void commit();
    // Closes and removes the temporary file, if any.
    void discard() noexcept;

    bool isOpen() const { return fd_ >= 0; }
    const std::string& temporaryPath() const { return temporary_; }

private:
    int fd_ = -1;
    std::string target_;
    std::string temporary_;
};

} // namespace gg
