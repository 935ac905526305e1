// The walk over an in-memory file system: order, the filters, the drop rule, the limits.
#include <gtest/gtest.h>

#include "sources/folder_scan.h"
#include "sources/sources_support.h"

namespace {

using gg::ListError;
using gg::test::MemoryLister;
using gg::test::RecordingReporter;
using Folders = std::vector<std::string>;

struct Scan {
    MemoryLister fs;
    RecordingReporter reporter;
    int events = 0;

    Folders run(Folders given, bool recurse = true)
    {
        const std::function<void()> doEvents = [this] { ++events; };
        gg::scanFolderTree(given, recurse, fs, reporter, doEvents);
        return given;
    }
};

TEST(FolderScan, BreadthFirstGroupedByParentInListingOrder)
{
    Scan s;
    for (const char* path : {"A/", "A/C/", "A/B/", "A/B/D/", "A/C/E/", "A/B/D/F/"})
        s.fs.add(path);
    // The walk keeps the listing order (C before B here); it does not sort.
    EXPECT_EQ(s.run({"A/"}), (Folders{"A/", "A/C/", "A/B/", "A/C/E/", "A/B/D/", "A/B/D/F/"}));
    EXPECT_TRUE(s.reporter.reports.empty());
    // The window had its turn at least once per folder.
    EXPECT_GE(s.events, 6);
}

TEST(FolderScan, WithoutRecursionOnlyTheFirstLevelIsAdded)
{
    Scan s;
    for (const char* path : {"A/", "A/B/", "A/B/D/", "A/C/"})
        s.fs.add(path);
    EXPECT_EQ(s.run({"A/"}, false), (Folders{"A/", "A/B/", "A/C/"}));
}

TEST(FolderScan, HiddenSystemFoldersAreNeitherListedNorAddedUnlessGivenOrRoot)
{
    Scan s;
    for (const char* path : {"A/", "A/H/", "A/H/X/", "A/N/"})
        s.fs.add(path);
    s.fs.nodes["A/H/"].hidden = true;
    EXPECT_EQ(s.run({"A/"}), (Folders{"A/", "A/N/"}));
    EXPECT_EQ(std::count(s.fs.listed.begin(), s.fs.listed.end(), "A/H/"), 0);

    // A given hidden folder stays in the collection but is not looked into.
    Scan given;
    given.fs.add("P/").hidden = true;
    given.fs.add("P/Q/");
    EXPECT_EQ(given.run({"P/"}), (Folders{"P/"}));
    EXPECT_TRUE(given.fs.listed.empty());

    // The root is looked into whatever it lies on.
    Scan root;
    root.fs.add("//").hidden = true;
    root.fs.add("//usr/");
    EXPECT_EQ(root.run({"//"}), (Folders{"//", "//usr/"}));
}

TEST(FolderScan, BadNamesAreLeftOutWithEverythingBelowThem)
{
    Scan s;
    s.fs.add("A/");
    for (const std::string name : {std::string("tab\there"), std::string("del\x7f"), std::string("c1\xc2\x85"),
                                   std::string("latin1\xe9"), std::string("\xff\xfe"), std::string("."),
                                   std::string("..")})
        s.fs.addChild("A/", name).children.push_back("below");
    s.fs.addChild("A/", "what?");
    s.fs.addChild("A/", "\xc3\xbcn\xc3\xaf" "code \xe8\x87\xaa");
    // The longest name a file system holds, and one byte more.
    const std::string longest(255, 'n');
    s.fs.addChild("A/", longest);
    s.fs.addChild("A/", std::string(256, 'm')).children.push_back("below");
    const Folders kept{"A/", "A/what?/", "A/\xc3\xbcn\xc3\xaf" "code \xe8\x87\xaa/", "A/" + longest + "/"};
    EXPECT_EQ(s.run({"A/"}), kept);
    EXPECT_EQ(s.fs.listed, kept);
}

TEST(FolderScan, LinksToFoldersAreAddedButNeverEntered)
{
    Scan s;
    for (const char* path : {"A/", "A/L/", "A/L/inside/", "A/R/"})
        s.fs.add(path);
    s.fs.nodes["A/L/"].isLink = true;
    s.fs.nodes["A/L/"].hidden = true; // even to a kernel pseudo file system's folder
    EXPECT_EQ(s.run({"A/"}), (Folders{"A/", "A/L/", "A/R/"}));
    EXPECT_EQ(std::count(s.fs.listed.begin(), s.fs.listed.end(), "A/L/"), 0);
}

TEST(FolderScan, FoldersThatCannotBeListedAreDropped)
{
    // The chosen folder itself: nothing at all comes back.
    for (ListError error : {ListError::PermissionDenied, ListError::PathNotFound}) {
        Scan s;
        s.fs.add("A/").error = error;
        s.fs.add("A/B/");
        EXPECT_EQ(s.run({"A/"}), Folders{});
        EXPECT_TRUE(s.reporter.reports.empty());
    }
    // Deeper down: the folder goes, its siblings and their sub-folders stay.
    Scan deep;
    for (const char* path : {"A/", "A/B/", "A/B/X/", "A/C/", "A/C/Y/"})
        deep.fs.add(path);
    deep.fs.nodes["A/B/"].error = ListError::PermissionDenied;
    EXPECT_EQ(deep.run({"A/"}), (Folders{"A/", "A/C/", "A/C/Y/"}));
    EXPECT_TRUE(deep.reporter.reports.empty());
}

TEST(FolderScan, OtherListingFailuresKeepTheFolderUnreported)
{
    Scan s;
    for (const char* path : {"A/", "A/B/", "A/B/X/", "A/C/"})
        s.fs.add(path);
    s.fs.nodes["A/B/"].error = ListError::Other;
    s.fs.nodes["A/C/"].throwOnList = true;
    EXPECT_EQ(s.run({"A/"}), (Folders{"A/", "A/B/", "A/C/"}));
    EXPECT_TRUE(s.reporter.reports.empty());
}

TEST(FolderScan, SubFoldersSeenBeforeADenialStay)
{
    Scan s;
    for (const char* path : {"A/", "A/B/", "A/C/"})
        s.fs.add(path);
    s.fs.nodes["A/"].error = ListError::PermissionDenied;
    s.fs.nodes["A/"].failAfter = 1;
    EXPECT_EQ(s.run({"A/"}), (Folders{"A/B/"}));
}

TEST(FolderScan, FailureBeforeTheFirstListingIsReportedAndTheWalkGoesOn)
{
    Scan s;
    s.fs.add("A/").throwOnFacts = true;
    s.fs.add("A/B/");
    s.fs.add("Z/");
    s.fs.add("Z/Y/");
    // A failing "is it a folder" test counts as true: A is passed over, but kept.
    EXPECT_EQ(s.run({"A/", "Z/"}), (Folders{"A/", "Z/", "Z/Y/"}));
    ASSERT_EQ(s.reporter.reports.size(), 1u);
    EXPECT_EQ(s.reporter.reports[0].label, "in DunvellTitle2021/08/31.AddFolder.GetSubDirectories2016 ");
    EXPECT_EQ(s.reporter.reports[0].line, 108);
    EXPECT_EQ(s.reporter.reports[0].description, "Path not found");

    // Once a listing has begun on a level, the same failure passes without a report.
    Scan later;
    later.fs.add("Z/");
    later.fs.add("Z/Y/");
    later.fs.add("A/").throwOnFacts = true;
    EXPECT_EQ(later.run({"Z/", "A/"}), (Folders{"Z/", "A/", "Z/Y/"}));
    EXPECT_TRUE(later.reporter.reports.empty());
}

TEST(FolderScan, FoldersGoneOrNotFoldersAreKeptWhenGivenAndLeftOutWhenFound)
{
    Scan s;
    for (const char* path : {"A/", "A/B/", "A/C/"})
        s.fs.add(path);
    s.fs.nodes["A/B/"].exists = false;
    EXPECT_EQ(s.run({"A/", "gone/"}), (Folders{"A/", "gone/", "A/C/"}));
}

TEST(FolderScan, PathsAtThePlatformLimitAreNotListed)
{
    // A given folder that long stays, unlisted.
    const std::string longest(gg::kLongestListedPath - 1, 'a');
    Scan s;
    s.fs.add(longest + "/");
    s.fs.add(longest + "/b/");
    EXPECT_TRUE(s.run({longest + "/"}) == Folders{longest + "/"});
    EXPECT_TRUE(s.fs.listed.empty());

    // A folder found at the limit is added; nothing below it is looked for.
    const std::string parent(gg::kLongestListedPath - 6, 'p'); // parent + "/" + "cdef" + "/" is the limit
    Scan found;
    found.fs.add(parent + "/");
    found.fs.add(parent + "/cdef/");
    found.fs.add(parent + "/cdef/g/");
    EXPECT_TRUE(found.run({parent + "/"}) == (Folders{parent + "/", parent + "/cdef/"}));
    EXPECT_TRUE(found.fs.listed == Folders{parent + "/"});
}

TEST(hasBadChars, ControlCharactersAndInvalidUtf8AreBad)
{
    EXPECT_FALSE(gg::hasBadChars(""));
    EXPECT_FALSE(gg::hasBadChars("Program Files (x86)"));
    EXPECT_FALSE(gg::hasBadChars("what?"));               // an ordinary character here
    EXPECT_FALSE(gg::hasBadChars("\xc2\xa0nbsp"));        // U+00A0, just past the C1 range
    EXPECT_FALSE(gg::hasBadChars("\xf0\x9f\x98\x80"));    // outside the BMP
    EXPECT_TRUE(gg::hasBadChars(std::string_view("nul\0", 4)));
    EXPECT_TRUE(gg::hasBadChars("\x1f"));
    EXPECT_TRUE(gg::hasBadChars("\x7f"));
    EXPECT_TRUE(gg::hasBadChars("\xc2\x80"));              // U+0080
    EXPECT_TRUE(gg::hasBadChars("\xc2\x9f"));              // U+009F
    EXPECT_TRUE(gg::hasBadChars("\xc0\xaf"));              // over-long "/"
    EXPECT_TRUE(gg::hasBadChars("\xed\xa0\x80"));          // a surrogate
    EXPECT_TRUE(gg::hasBadChars("\xf4\x90\x80\x80"));      // past U+10FFFF
    EXPECT_TRUE(gg::hasBadChars("cut\xe2\x82"));           // cut short
    EXPECT_TRUE(gg::hasBadChars("\x80lone"));
}

TEST(EventPacer, LetsEventsThroughOncePerSlice)
{
    using namespace std::chrono_literals;
    gg::EventPacer::Clock::time_point now{};
    int rounds = 0;
    gg::EventPacer pacer([&] { ++rounds; }, 20ms, [&] { return now; });
    pacer();
    now += 19ms;
    pacer();
    EXPECT_EQ(rounds, 0);
    now += 1ms;
    pacer();
    pacer();
    EXPECT_EQ(rounds, 1);
    now += 500ms; // a long step still gives just one round when it ends
    pacer();
    EXPECT_EQ(rounds, 2);
}

} // namespace

namespace {

TEST(FolderScan, ADenialTakesTheFirstEntryWithThatText)
{
    // X is listed twice; the second listing is denied, and the first X leaves the list.
    struct DeniedSecondTime : MemoryLister {
        int xListings = 0;
        ListError listSubFolders(const std::string& path, const SubFolderSink& sink) override
        {
            if (path == "X/" && ++xListings == 2)
                return ListError::PermissionDenied;
            return MemoryLister::listSubFolders(path, sink);
        }
    } fs;
    fs.add("X/");
    fs.add("Y/");
    RecordingReporter reporter;
    Folders folders{"X/", "Y/", "X/"};
    gg::scanFolderTree(folders, true, fs, reporter, [] {});
    EXPECT_EQ(folders, (Folders{"Y/", "X/"}));
}

} // namespace
