// Putting files in place: never over anything, never half written, never a stray file, and
// nothing outside the folder touched; kills, termination requests and size limits.

#include "encoder_test_support.h"
#include "icons/atomic_file.h"
#include "icons/new_files.h"
#include "icons/termination_signals.h"
#include "support/child_process.h"
#include "support/failing_calls.h"

#include "support/temp_dir.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/resource.h>
#include <thread>

using namespace gg;
using namespace gg::test;
namespace fs = std::filesystem;

namespace {

enum class Naming { Nameless, Named };

// An open folder for the *at() calls, closed at the end of the test.
struct Folder {
    explicit Folder(const fs::path& p) : path(p), handle(FolderHandle::open(p.string())) {}
    int fd() const { return handle.fd(); }
    fs::path path;
    FolderHandle handle;
};

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

using When = FailingCall::When;
constexpr std::uint32_t kTmpfile = O_TMPFILE & ~O_DIRECTORY;
const FailingCall kNoTmpfile{SYS_openat, EOPNOTSUPP, When::AnyBitOf, 2, kTmpfile};

// Makes the calling thread write as on a file system without O_TMPFILE: under a temporary name
// from the start. False where calls cannot be made to fail.
bool writeNamed(Naming naming)
{
    return naming == Naming::Nameless || failCalls({kNoTmpfile});
}

// Opens the file in a thread of its own that writes as `naming` says; false where it cannot.
bool openIn(AtomicFile& file, int folder, Naming naming)
{
    bool opened = false;
    std::thread([&] { opened = writeNamed(naming) && file.open(folder) == 0; }).join();
    return opened;
}

std::string committed(AtomicFile& file, const std::function<std::optional<std::string>()>& names)
{
    return file.commitAsNew(names) == 0 ? file.name() : "(failed)";
}

// n.ico, n1.ico, n2.ico, ... from the start on every call: every saver fights for every name.
struct NaiveNames {
    int next = 0;
    std::string operator()() { return next == 0 ? (++next, "n.ico") : "n" + std::to_string(next++) + ".ico"; }
};

std::map<std::string, std::vector<std::uint8_t>> folderContents(const fs::path& folder)
{
    std::map<std::string, std::vector<std::uint8_t>> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        contents[entry.path().filename().string()] = readBytes(entry.path().string());
    return contents;
}

} // namespace

TEST(AtomicFile, TwoSaversRacingForTheSameNamesNeverReplaceAFile)
{
    for (Naming naming : {Naming::Nameless, Naming::Named}) {
        SCOPED_TRACE(naming == Naming::Named ? "named" : "nameless");
        gg::test::TempDir dir;
        const Folder folder(dir.path());
        {
            AtomicFile users;
            users.open(folder.fd());
            users.write(bytesOf("the user's own"));
            EXPECT_EQ(committed(users, NaiveNames{}), "n.ico");
        }
        constexpr int kEach = 150;
        std::atomic<int> failures{0};
        std::atomic<bool> skipped{false};
        auto saver = [&](char who) {
            if (!writeNamed(naming)) {
                skipped = true;
                return;
            }
            NaiveNames names;
            for (int i = 0; i < kEach; ++i) {
                AtomicFile file;
                // Each save starts over at n.ico, like a window that knows nothing of the other.
                names.next = 0;
                if (file.open(folder.fd()) != 0 || file.write(bytesOf(std::string(1, who) + std::to_string(i))) != 0
                    || file.commitAsNew(names) != 0)
                    ++failures;
            }
        };
        std::thread a(saver, 'a'), b(saver, 'b');
        a.join();
        b.join();
        if (skipped)
            GTEST_SKIP() << "system calls cannot be made to fail here";
        EXPECT_EQ(failures.load(), 0);

        const auto contents = folderContents(folder.path);
        EXPECT_EQ(contents.size(), 1u + 2 * kEach) << "no temporary file is left and nothing was replaced";
        EXPECT_EQ(contents.at("n.ico"), bytesOf("the user's own"));
        std::set<std::string> saved;
        for (const auto& [name, bytes] : contents)
            saved.insert(std::string(bytes.begin(), bytes.end()));
        for (int i = 0; i < kEach; ++i) {
            EXPECT_TRUE(saved.contains("a" + std::to_string(i))) << i;
            EXPECT_TRUE(saved.contains("b" + std::to_string(i))) << i;
        }
    }
}

TEST(AtomicFile, KillsAtRandomMomentsLeaveOnlyWholeFiles)
{
    // A picture's bytes, written again and again by a child that is killed at a random moment.
    const std::vector<std::uint8_t> whole(3266, 0x5A);
    std::mt19937 random(20240611);
    for (Naming naming : {Naming::Nameless, Naming::Named})
        for (int signal : {SIGKILL, SIGTERM}) {
            SCOPED_TRACE(std::string(naming == Naming::Named ? "named, " : "nameless, ") + strsignal(signal));
            gg::test::TempDir dir;
            const Folder folder(dir.path());
            for (int round = 0; round < 12; ++round) {
                const pid_t child = startChild([&] {
                    installTerminationHandling();
                    if (!writeNamed(naming))
                        std::_Exit(77);
                    NaiveNames names{1 + round * 100000}; // clear of the names earlier rounds took
                    for (;;) {
                        AtomicFile file;
                        file.open(folder.fd());
                        file.write(std::span(whole).first(1000));
                        file.write(std::span(whole).subspan(1000));
                        file.commitAsNew(std::ref(names));
                    }
                });
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
                ::kill(child, signal);
                const int status = waitForChild(child);
                if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
                    GTEST_SKIP() << "system calls cannot be made to fail here";
                ASSERT_TRUE(WIFSIGNALED(status));
                EXPECT_EQ(WTERMSIG(status), signal);
                // A termination request lets the file in hand finish: not even a temporary one stays.
                if (signal == SIGKILL)
                    removeStaleTemporaryFiles(folder.fd());
                for (const auto& [name, bytes] : folderContents(folder.path)) {
                    ASSERT_TRUE(name.ends_with(".ico")) << name;
                    ASSERT_EQ(bytes, whole) << name;
                }
            }
        }
}

TEST(AtomicFile, EveryFallbackPlacesTheFileWithoutReplacingAnything)
{
    // Each way a file system or a kernel may refuse the usual path, made real by failing its calls
    // in a child process (the writer keeps what it learns about linking for the process's life).
    const FailingCall noTmpfile = kNoTmpfile;
    const FailingCall noNoReplace{SYS_renameat2, EINVAL, When::AnyBitOf, 4, RENAME_NOREPLACE};
    std::vector<FailingCall> noProc{{SYS_linkat, ENOENT, When::AnyBitOf, 4, AT_EMPTY_PATH},
                                    {SYS_linkat, ENOENT, When::AnyBitOf, 4, AT_SYMLINK_FOLLOW},
                                    {SYS_faccessat, ENOENT}};
#ifdef SYS_access
    noProc.push_back({SYS_access, ENOENT});
#endif
#ifdef SYS_faccessat2
    noProc.push_back({SYS_faccessat2, ENOENT});
#endif
    const struct {
        const char* what;
        std::vector<FailingCall> calls;
    } refusals[] = {
        {"a file system without O_TMPFILE", {noTmpfile}},
        {"a kernel from before O_TMPFILE", {{SYS_openat, EISDIR, When::AnyBitOf, 2, kTmpfile}}},
        {"O_TMPFILE refused as invalid", {{SYS_openat, EINVAL, When::AnyBitOf, 2, kTmpfile}}},
        {"a descriptor that may not be linked", {{SYS_linkat, EPERM, When::AnyBitOf, 4, AT_EMPTY_PATH}}},
        {"an unprivileged process without /proc", noProc},
        {"no RENAME_NOREPLACE", {noTmpfile, noNoReplace}},
        {"neither RENAME_NOREPLACE nor hard links",
         {noTmpfile, noNoReplace, {SYS_linkat, EPERM, When::NoBitOf, 4, AT_EMPTY_PATH | AT_SYMLINK_FOLLOW}}},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        gg::test::TempDir dir;
        const Folder folder(dir.path());
        std::ofstream(folder.path / "n.ico") << "the user's own";
        std::ofstream(folder.path / "r.ico") << "replace me";
        const int status = runInChild([&] {
            if (!failCalls(refusal.calls))
                std::_Exit(77);
            AtomicFile added;
            if (added.open(folder.fd()) != 0 || added.write(bytesOf("added")) != 0)
                std::_Exit(3);
            if (committed(added, NaiveNames{}) != "n1.ico")
                std::_Exit(2);
            AtomicFile replacing;
            if (replacing.open(folder.fd()) != 0 || replacing.write(bytesOf("replaced")) != 0
                || replacing.commitReplacing("r.ico") != 0)
                std::_Exit(4);
        });
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77)
            GTEST_SKIP() << "system calls cannot be made to fail here";
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(folderContents(folder.path), (std::map<std::string, std::vector<std::uint8_t>>{
                                                   {"n.ico", bytesOf("the user's own")},
                                                   {"n1.ico", bytesOf("added")},
                                                   {"r.ico", bytesOf("replaced")}}));
    }
}

TEST(AtomicFile, ATerminationRequestWaitsUntilTheFileIsInPlace)
{
    gg::test::TempDir dir;
    const Folder folder(dir.path());
    const std::vector<std::uint8_t> whole(3266, 0x21);
    const int status = runInChild([&] {
        installTerminationHandling();
        AtomicFile file;
        file.open(folder.fd());
        ::kill(::getpid(), SIGTERM);
        file.write(whole);
        file.commitAsNew([] { return std::string("late.ico"); });
        std::_Exit(3); // not reached: the request is acted on once the file is in place
    });
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(folderContents(folder.path), (std::map<std::string, std::vector<std::uint8_t>>{{"late.ico", whole}}));
}

TEST(AtomicFile, UnderAFileSizeLimitTheWriteFailsOnceInsteadOfEndingTheProgram)
{
    gg::test::TempDir dir;
    const std::string folder = dir.path();
    const std::vector<std::uint8_t> whole(3266, 0x42);
    // Child exit codes: 0 as wanted, else which check failed.
    const int status = runInChild([&] {
        installTerminationHandling();
        rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        NewFiles files;
        const FileOutcome outcome = files.write(folder, "big", ".ico", whole);
        if (outcome.failedStep != FileStep::Write || outcome.error != EFBIG)
            std::_Exit(2);
        if (outcome.written != 1000)
            std::_Exit(3);
    });
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST(AtomicFile, AMovedFolderIsFollowedAndItsOldPathNeverTouched)
{
    gg::test::TempDir dir;
    const fs::path root = dir.path();
    fs::create_directory(root / "out");
    const Folder folder(root / "out");

    AtomicFile dropped, placed;
    if (!openIn(dropped, folder.fd(), Naming::Named))
        GTEST_SKIP() << "system calls cannot be made to fail here";
    dropped.write(bytesOf("dropped"));
    placed.open(folder.fd());
    placed.write(bytesOf("placed"));
    const std::string temporary = dropped.temporaryName();
    ASSERT_FALSE(temporary.empty());

    // The folder goes away mid-save and another takes its path, holding the same names.
    fs::rename(root / "out", root / "moved");
    fs::create_directory(root / "out");
    for (const std::string& name : {temporary, std::string("n.ico"), std::string(".glimmer-1.1.tmp")})
        std::ofstream(root / "out" / name) << "someone else's";
    std::ofstream(root / "moved" / ".glimmer-1.1.tmp") << "stale";

    dropped.discard();
    EXPECT_EQ(committed(placed, NaiveNames{}), "n.ico");
    EXPECT_EQ(removeStaleTemporaryFiles(folder.fd()), 1);

    EXPECT_EQ(folderContents(root / "moved"),
              (std::map<std::string, std::vector<std::uint8_t>>{{"n.ico", bytesOf("placed")}}));
    EXPECT_EQ(folderContents(root / "out").size(), 3u);
    for (const auto& [name, bytes] : folderContents(root / "out"))
        EXPECT_EQ(bytes, bytesOf("someone else's")) << name;
}

TEST(AtomicFile, OnlyThisProgramsAbandonedTemporaryFilesAreCleared)
{
    gg::test::TempDir dir, outside;
    const fs::path root = dir.path();
    const Folder folder(root);
    auto put = [&](const std::string& name) { std::ofstream(root / name) << "x"; };
    put(".glimmer-12.3.tmp");         // abandoned
    put(".shell32.ico.4242-7.tmp");   // abandoned by an earlier version of the program
    put(".glimmer-x.tmp");            // not one of our names
    std::ofstream(root / ".glimmer-8.8.tmp") << std::string(100000, 'x'); // larger than any file of ours
    put(".other.tmp");
    put("keep.ico");
    fs::create_directory(root / ".glimmer-5.5.tmp");
    const fs::path target = fs::path(outside.path()) / "target";
    std::ofstream(target) << "outside";
    fs::create_symlink(target, root / ".glimmer-6.6.tmp");
    AtomicFile live; // a save under way holds its temporary file
    if (!openIn(live, folder.fd(), Naming::Named))
        GTEST_SKIP() << "system calls cannot be made to fail here";
    if (::geteuid() == 0) {
        put(".glimmer-7.7.tmp");
        ASSERT_EQ(::chown((root / ".glimmer-7.7.tmp").c_str(), 4321, 4321), 0); // another user's
    }

    std::set<std::string> others;
    EXPECT_EQ(removeStaleTemporaryFiles(folder.fd(), [&](std::string_view name) { others.emplace(name); }), 2);

    std::set<std::string> left;
    for (const auto& entry : fs::directory_iterator(root))
        left.insert(entry.path().filename().string());
    EXPECT_FALSE(left.contains(".glimmer-12.3.tmp"));
    EXPECT_FALSE(left.contains(".shell32.ico.4242-7.tmp"));
    for (const char* kept : {".glimmer-x.tmp", ".glimmer-8.8.tmp", ".other.tmp", "keep.ico", ".glimmer-5.5.tmp",
                             ".glimmer-6.6.tmp"})
        EXPECT_TRUE(left.contains(kept)) << kept;
    EXPECT_TRUE(left.contains(live.temporaryName()));
    if (::geteuid() == 0)
        EXPECT_TRUE(left.contains(".glimmer-7.7.tmp"));
    EXPECT_EQ(readBytes(target.string()), bytesOf("outside"));
    EXPECT_TRUE(others.contains("keep.ico"));
    EXPECT_FALSE(others.contains(".glimmer-12.3.tmp"));
}
