#pragma once
// The free names of the sequences base + suffix, base + "1" + suffix, base + "2" + suffix, ... in
// the folders new files go into. Anything that exists under a name holds it, a dangling link
// included, so no file of the user's is ever replaced.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace gg {

// The names of one run of new files. For each folder and sequence the probe goes on from the
// name after the one its last file took, so a run costs one look per file plus one per name
// already taken, however many files share a sequence; names seen by readFolder() cost no look.
class FreeNames {
public:
    // Reads the folder (a directory descriptor) once: clears what a killed writer left there and
    // notes the names it holds. The last folder read is the one remembered.
    void readFolder(int folder);

    // The candidates for one file of a sequence.
    class Probe {
    public:
        // The next name of the sequence that nothing holds in the folder (a directory
        // descriptor); each call goes one further.
        std::string operator()(int folder);
        // The name this file's sequence goes on from in the folder, without looking at the names.
        std::string first(int folder);
        // The file went in under the last name given: the sequence's next file starts after it.
        void taken();

    private:
        friend class FreeNames;
        Probe(FreeNames& names, std::string base, std::string suffix)
            : names_(names), base_(std::move(base)), suffix_(std::move(suffix))
        {
        }
        std::string candidate(std::uint64_t number) const;
        void start(int folder);

        FreeNames& names_;
        std::string base_;
        std::string suffix_;
        std::string folder_; // the folder's identity
        std::string key_;    // the folder's identity and the sequence
        std::uint64_t number_ = 0;
        std::uint64_t given_ = 0;
        bool started_ = false;
    };

    Probe probe(std::string base, std::string suffix) { return Probe(*this, std::move(base), std::move(suffix)); }

private:
    std::unordered_map<std::string, std::uint64_t> resumeAt_;
    std::string readFolder_; // identity of the folder read last
    std::unordered_set<std::string> readNames_;
};

// The base of a file's sequence: its name less the last dot and what follows ("my.icons.icl" gives
// "my.icons"); a name without a dot is taken whole.
std::string sequenceBase(const std::string& fileName);

// The first name of base's sequence that nothing holds in the folder at path; nullopt when the
// folder cannot be opened.
std::optional<std::string> firstFreeName(const std::string& folder, const std::string& base, const std::string& suffix);

} // namespace gg
