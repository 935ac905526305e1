#pragma once
// Names for saved icons: the base path from the output folder and a caption, and the free names
// of the sequence base.ico, base1.ico, base2.ico, ...

#include <QString>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace gg {

// The output folder joined with the caption less its last dot and what follows. A folder typed
// without a separator at the end gets one; a caption without a dot is taken whole.
QString SaveBasePath(const QString& outputFolder, const QString& caption);

// The free names of one save run. Anything that exists under a name holds it, so no file of the
// user's is ever replaced. For each base the probe goes on from the name after the one its last
// icon took in that folder, so a run costs one look per icon plus one per name already taken,
// however many icons share a base; names seen by readFolder() cost no look at all.
class FreeIconNames {
public:
    // Reads the folder (a directory descriptor) once: clears what a killed save left there and
    // notes the names it holds. The last folder read is the one remembered.
    void readFolder(int folder);

    // The candidates for one icon of a base (a file name without ".ico").
    class Probe {
    public:
        // The next name of the sequence that nothing holds in the folder (a directory
        // descriptor); each call goes one further.
        std::string operator()(int folder);
        // The icon went in under the last name given: the base's next icon starts after it.
        void taken();

    private:
        friend class FreeIconNames;
        Probe(FreeIconNames& names, std::string base) : names_(names), base_(std::move(base)) {}
        std::string candidate(std::uint64_t number) const;

        FreeIconNames& names_;
        std::string base_;
        std::string folder_; // the folder's identity
        std::string key_;    // the folder's identity and the base
        std::uint64_t number_ = 0;
        std::uint64_t given_ = 0;
        bool started_ = false;
    };

    Probe probe(std::string base) { return Probe(*this, std::move(base)); }

private:
    std::unordered_map<std::string, std::uint64_t> resumeAt_;
    std::string readFolder_; // identity of the folder read last
    std::unordered_set<std::string> readNames_;
};

// True for a failure that every further icon of the run would meet as well: the folder is full,
// read-only, not ours to write, gone, failing, or the names are too long for it.
bool FailsForEveryIcon(int error);

} // namespace gg
