// Icons written again from their files: names in their files' sequences, each problem told once
// per file, and the caller deciding whether a problem ends the export.
#include "icon_test_files.h"

#include "icons/icon_export.h"
#include "icons/icon_groups.h"

#include "support/temp_dir.h"
#include <gtest/gtest.h>

#include <filesystem>

using namespace gg;
using namespace gg::test;

TEST(IconExport, WritesEachIconUnderItsFilesSequenceAndTellsEachProblemOnce)
{
    gg::test::TempDir out;
    const std::string folder = out.path();
    const std::string dll = dataPath("icons64.dll"), missing = folder + "/missing.dll";
    std::vector<ExportProblem> told;
    const IconExport::Written written = IconExport(ExportKind::Original).write(
        {{dll, 0}, {missing, 0}, {dll, 4}, {missing, 1}, {dll, 9}, {dll, 9}}, folder,
        [&](const ExportProblem& problem) {
            told.push_back(problem);
            return true;
        });
    EXPECT_EQ(written.names, (std::vector<std::string>{"icons64.ico", "icons641.ico"}));
    EXPECT_FALSE(written.stopped);
    Result<Bytes> fifth = rebuildIconFile(*IconSource::open(dll).group(4));
    ASSERT_TRUE(fifth.ok());
    EXPECT_EQ(readFile(folder + "/icons641.ico"), *fifth);
    // The missing file once; the number the file no longer holds once as well.
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].what, ExportProblem::What::Unreadable);
    EXPECT_EQ(told[0].error, ENOENT);
    EXPECT_EQ(told[1].what, ExportProblem::What::Gone);
    EXPECT_EQ(told[1].origin.number, 9);

    // A problem the caller will not go on after ends the export there.
    std::filesystem::remove_all(folder);
    const IconExport::Written stopped = IconExport(ExportKind::Picture).write(
        {{dll, 0}, {dll, 1}}, folder, [&](const ExportProblem& problem) {
            EXPECT_EQ(problem.what, ExportProblem::What::CannotWrite);
            return false;
        });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_TRUE(stopped.names.empty());
}
