#include "sources/folder_scan.h"

#include <algorithm>
#include <utility>

#include "runtime/directory_lister.h"
#include "runtime/error_trap.h"
#include "runtime/report_labels.h"

namespace gg {

namespace {

// Line numbers of the walk's steps, as its error report names them.
constexpr int kLineIsFolder = 108;
constexpr int kLineOpen = 112;
constexpr int kLineAttributes = 114;
constexpr int kLineCheck = 134;
constexpr int kLineEvents = 136;
constexpr int kLineQualifies = 138;
constexpr int kLineAppend = 140;

struct Entry {
    std::string path;
    bool isLink = false;
    bool dropped = false;
};

bool acceptableName(std::string_view name)
{
    return !name.empty() && name.size() <= kLongestFolderName && name != "." && name != ".."
        && !hasBadChars(name);
}

// Outcome of working on one folder of the first pass.
enum class Listing { NotStarted, Listed, Denied };

class Walk {
public:
    Walk(DirectoryLister& lister, ErrorReporter& reporter, const std::function<void()>& doEvents)
        : lister_(lister), doEvents_(doEvents),
          trap_(reporter, trapLabel(labels::kScanFolderTree))
    {
    }

    // First pass over one level: lists each folder's sub-folders into next.
    void listLevel(std::vector<Entry>& level, std::vector<Entry>& next)
    {
        // Until a level's first listing begins, failures get the standard report; from then on
        // they quietly end the work on that folder.
        bool dropRule = false;
        for (size_t i = 0; i < level.size(); ++i) {
            Listing outcome = Listing::NotStarted;
            if (!dropRule) {
                outcome = openAndList(level[i], next, dropRule, true);
            } else {
                try {
                    outcome = openAndList(level[i], next, dropRule, false);
                } catch (...) {
                }
            }
            if (outcome == Listing::Denied)
                drop(level, i);
        }
    }

    // Second pass: whether a folder found below still qualifies at the end of the walk.
    bool qualifies(const Entry& entry)
    {
        FolderFacts facts;
        if (!trap_.test(kLineCheck, [&] {
                facts = lister_.facts(entry.path);
                return facts.isFolder;
            }))
            return false;
        trap_.step(kLineEvents, doEvents_);
        return trap_.test(kLineQualifies,
                          [&] { return entry.isLink || isRootFolder(entry.path) || !facts.hiddenSystem; });
    }

    Trap& trap() { return trap_; }

    // Only a folder given twice puts the same path twice on a level.
    bool sameTextTwice = false;

private:
    Listing openAndList(const Entry& folder, std::vector<Entry>& next, bool& dropRule, bool reported)
    {
        // Runs one step: under the report before the drop rule, bare (throwing) after it.
        auto run = [&](int line, auto&& f) {
            if (reported)
                return trap_.test(line, f);
            return static_cast<bool>(f());
        };
        FolderFacts facts;
        if (run(kLineIsFolder, [&] {
                facts = lister_.facts(folder.path);
                return !facts.isFolder || folder.path.size() >= kLongestListedPath;
            }))
            return Listing::NotStarted;
        // A link is kept as an entry but never entered, so no loop of links can trap the walk.
        if (folder.isLink)
            return Listing::NotStarted;
        run(kLineOpen, [&] {
            doEvents_();
            return true;
        });
        if (run(kLineAttributes, [&] { return !isRootFolder(folder.path) && facts.hiddenSystem; }))
            return Listing::NotStarted;

        dropRule = true;
        ListError error = ListError::None;
        try {
            error = lister_.listSubFolders(folder.path, [&](const SubFolder& sub) {
                doEvents_();
                if (!acceptableName(sub.name))
                    return;
                std::string path;
                path.reserve(folder.path.size() + sub.name.size() + 1);
                path.append(folder.path).append(sub.name).push_back('/');
                next.push_back(Entry{std::move(path), sub.isLink, false});
            });
        } catch (...) {
            // Not a matter of access: unreported, and the folder stays.
            return Listing::Listed;
        }
        if (error == ListError::PermissionDenied || error == ListError::PathNotFound)
            return Listing::Denied;
        return Listing::Listed;
    }

    // Removes the first entry of the level that still has the text of entry i.
    void drop(std::vector<Entry>& level, size_t i) const
    {
        if (sameTextTwice) {
            for (size_t k = 0; k <= i; ++k) {
                if (!level[k].dropped && level[k].path == level[i].path) {
                    level[k].dropped = true;
                    return;
                }
            }
        }
        level[i].dropped = true;
    }

    DirectoryLister& lister_;
    const std::function<void()>& doEvents_;
    Trap trap_;
};

} // namespace

bool hasBadChars(std::string_view name)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    const size_t size = name.size();
    size_t i = 0;
    while (i < size) {
        const unsigned lead = bytes[i];
        if (lead < 0x80) {
            if (lead < 32 || lead == 127)
                return true;
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned code = 0;
        unsigned smallest = 0;
        if ((lead & 0xe0) == 0xc0) {
            length = 2, code = lead & 0x1f, smallest = 0x80;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3, code = lead & 0x0f, smallest = 0x800;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4, code = lead & 0x07, smallest = 0x10000;
        } else {
            return true; // a stray continuation byte or an impossible lead byte
        }
        if (size - i < length)
            return true;
        for (size_t k = 1; k < length; ++k) {
            const unsigned next = bytes[i + k];
            if ((next & 0xc0) != 0x80)
                return true;
            code = (code << 6) | (next & 0x3f);
        }
        // Over-long forms, surrogates and code points past Unicode are not UTF-8.
        if (code < smallest || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
            return true;
        if (code >= 127 && code <= 159)
            return true;
        i += length;
    }
    return false;
}

bool isRootFolder(std::string_view path)
{
    return !path.empty() && path.find_first_not_of('/') == std::string_view::npos;
}

void scanFolderTree(std::vector<std::string>& folders, bool recurse, DirectoryLister& lister,
                           ErrorReporter& reporter, const std::function<void()>& doEvents)
{
    Walk walk(lister, reporter, doEvents);

    // One level at a time instead of one nested call per level: the same order, without
    // re-examining every deeper folder once per level above it.
    std::vector<std::vector<Entry>> levels(1);
    levels[0].reserve(folders.size());
    for (const std::string& folder : folders)
        levels[0].push_back(Entry{folder, false, false});
    std::vector<std::string> sorted = folders;
    std::sort(sorted.begin(), sorted.end());
    walk.sameTextTwice = std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end();
    for (size_t depth = 0; depth < levels.size(); ++depth) {
        std::vector<Entry> next;
        walk.listLevel(levels[depth], next);
        if (!next.empty())
            levels.push_back(std::move(next));
        if (!recurse)
            break;
    }

    std::vector<std::string> result;
    for (Entry& given : levels[0])
        if (!given.dropped)
            result.push_back(std::move(given.path));
    for (size_t depth = 1; depth < levels.size(); ++depth) {
        for (Entry& found : levels[depth]) {
            if (found.dropped || !walk.qualifies(found))
                continue;
            walk.trap().step(kLineAppend, [&] { result.push_back(std::move(found.path)); });
        }
    }
    folders = std::move(result);
}

EventPacer::EventPacer(std::function<void()> processEvents, std::chrono::nanoseconds slice,
                       std::function<Clock::time_point()> now)
    : processEvents_(std::move(processEvents)), slice_(slice), now_(std::move(now)), last_(now_())
{
}

void EventPacer::operator()()
{
    if (now_() - last_ < slice_)
        return;
    processEvents_();
    last_ = now_();
}

} // namespace gg
