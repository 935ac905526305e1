// The files service: free names, a whole file or none, nothing replaced that is not asked for,
// and which step failed with which error.

#include "encoder_test_support.h"
#include "icons/new_files.h"

#include "support/temp_dir.h"
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace gg;
using namespace gg::test;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> folderEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

// Lowers the file-size limit for one test so that writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

} // namespace

TEST(NewFiles, EachFailureNamesItsStepAndLeavesNothingBehind)
{
    gg::test::TempDir dir;
    const fs::path root = dir.path();
    const std::vector<std::uint8_t> bytes(3266, 7);

    // A folder that is not there: the open, and no folder made.
    NewFiles files;
    FileOutcome outcome = files.write((root / "missing").string(), "icon", ".ico", bytes);
    EXPECT_EQ(outcome.failedStep, FileStep::Open);
    EXPECT_EQ(outcome.error, ENOENT);
    EXPECT_EQ(outcome.name, "icon.ico") << "the name it was to have";

    // A write past the size limit: the old file stays as it was.
    writeBytes((root / "old.ico").string(), bytesOf("old"));
    {
        FileSizeLimit limit(1000);
        outcome = replaceFile((root / "old.ico").string(), bytes);
    }
    EXPECT_EQ(outcome.failedStep, FileStep::Write);
    EXPECT_EQ(outcome.error, EFBIG);
    EXPECT_EQ(outcome.written, 1000u);
    EXPECT_EQ(readBytes((root / "old.ico").string()), bytesOf("old"));

    // A folder in the target's place: the placing.
    fs::create_directories(root / "taken.ico" / "keep");
    outcome = replaceFile((root / "taken.ico").string(), bytes);
    EXPECT_EQ(outcome.failedStep, FileStep::Place);
    EXPECT_EQ(outcome.error, EISDIR);
    EXPECT_TRUE(fs::is_directory(root / "taken.ico" / "keep"));

    // A name that turned up: not replaced.
    outcome = writeNewFile((root / "old.ico").string(), bytes);
    EXPECT_EQ(outcome.failedStep, FileStep::Place);
    EXPECT_EQ(outcome.error, EEXIST);
    EXPECT_EQ(readBytes((root / "old.ico").string()), bytesOf("old"));

    EXPECT_EQ(folderEntries(root), (std::vector<std::string>{"old.ico", "taken.ico"})) << "no stray file";
}

TEST(NewFiles, ReplacingKeepsOnlyTheLastBytesAndALongNameStillFits)
{
    gg::test::TempDir dir;
    const fs::path root = dir.path();
    ASSERT_TRUE(replaceFile((root / "same.ico").string(), bytesOf("first")).ok());
    ASSERT_TRUE(replaceFile((root / "same.ico").string(), bytesOf("second")).ok());
    EXPECT_EQ(readBytes((root / "same.ico").string()), bytesOf("second"));

    // The temporary name stays within the limit however long the name is.
    const std::string base(251, 'n');
    NewFiles files;
    const FileOutcome outcome = files.write(root.string(), base, ".ico", bytesOf("long"));
    ASSERT_TRUE(outcome.ok()) << outcome.error;
    EXPECT_EQ(outcome.name, base + ".ico");
    EXPECT_EQ(folderEntries(root), (std::vector<std::string>{base + ".ico", "same.ico"}));
}

TEST(FreeNames, TheProbeSkipsEveryTakenNameAndGoesOnWhereTheSequenceLeftOff)
{
    gg::test::TempDir dir;
    const int folder = ::open(dir.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    auto touch = [&](const char* name) { ::close(::openat(folder, name, O_CREAT | O_WRONLY | O_CLOEXEC, 0644)); };
    touch("x.ico");
    ::symlinkat("nowhere", folder, "x1.ico"); // a dangling link holds its name too
    touch("x3.ico");

    // The names the folder held when it was read count as held; another folder's are its own.
    FreeNames names;
    names.readFolder(folder);
    auto first = names.probe("x", ".ico");
    EXPECT_EQ(first(folder), "x2.ico");
    EXPECT_EQ(first(folder), "x4.ico") << "asked again when x2.ico was taken meanwhile";
    first.taken();

    // A name freed behind the probe stays behind it for the rest of the run; another sequence
    // and another folder start from their own beginning.
    ::unlinkat(folder, "x.ico", 0);
    auto second = names.probe("x", ".ico");
    EXPECT_EQ(second(folder), "x5.ico");
    auto third = names.probe("x", ".ico");
    EXPECT_EQ(third(folder), "x5.ico") << "the file before was not written, so it took no name";
    EXPECT_EQ(names.probe("y", ".ico")(folder), "y.ico");
    EXPECT_EQ(names.probe("x", ".png")(folder), "x.png");
    gg::test::TempDir elsewhere;
    const int otherFolder = ::open(elsewhere.path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    EXPECT_EQ(names.probe("x", ".ico")(otherFolder), "x.ico");
    ::close(otherFolder);
    ::close(folder);

    EXPECT_EQ(sequenceBase("shell32.dll"), "shell32");
    EXPECT_EQ(sequenceBase("my.icons.icl"), "my.icons");
    EXPECT_EQ(sequenceBase("trailing."), "trailing");
    EXPECT_EQ(sequenceBase("noext"), "noext");
}

TEST(NewFiles, TwoRunsIntoOneFolderKeepEveryFileAndTheUsersOwn)
{
    gg::test::TempDir out;
    const std::string folder = out.path();
    writeBytes(folder + "/a.ico", bytesOf("mine"));
    constexpr int kEach = 200;
    // Each run knows nothing of the other: its own names.
    auto run = [&](int who, int& failures) {
        NewFiles files;
        for (int i = 0; i < kEach; ++i)
            failures += files.write(folder, "a", ".ico", bytesOf(std::to_string(who * 1000 + i))).ok() ? 0 : 1;
    };
    int failuresA = 0, failuresB = 0;
    std::thread a(run, 1, std::ref(failuresA)), b(run, 2, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA + failuresB, 0);

    const std::vector<std::string> written = folderEntries(folder);
    EXPECT_EQ(written.size(), std::size_t{1 + 2 * kEach});
    std::set<std::vector<std::uint8_t>> contents;
    for (const std::string& name : written)
        contents.insert(readBytes(folder + "/" + name));
    EXPECT_EQ(contents.size(), written.size()) << "every file of both runs has its own name";
    EXPECT_EQ(readBytes(folder + "/a.ico"), bytesOf("mine"));
}
