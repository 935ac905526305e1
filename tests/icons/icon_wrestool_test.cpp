// Our count of icons in each PE and NE fixture equals the group icons icoutils' wrestool lists.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace gg;
using namespace gg::test;

TEST(WrestoolCrossCheck, SameNumberOfGroupIcons)
{
    if (std::system("command -v wrestool >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "wrestool (icoutils) is not installed";
    int modules = 0;
    for (const auto& entry : std::filesystem::directory_iterator(GG_TEST_DATA)) {
        const std::string suffix = entry.path().extension().string();
        if (suffix != ".dll" && suffix != ".exe" && suffix != ".icl")
            continue;
        ++modules;
        SCOPED_TRACE(entry.path().string());
        FILE* out = ::popen(("wrestool -l -t14 '" + entry.path().string() + "'").c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::string listing;
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, out)) > 0;)
            listing.append(buffer, n);
        ASSERT_EQ(::pclose(out), 0);
        int listed = 0;
        for (std::size_t at = listing.find("--type=14"); at != std::string::npos; at = listing.find("--type=14", at + 1))
            ++listed;
        EXPECT_EQ(IconSource::open(entry.path().string()).count(), listed);
    }
    EXPECT_GE(modules, 7);
}
