// The test program of the icon library, which needs no Qt: its settings and desktop folders point
// into a temporary home of its own, as every test program's do.
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv)
{
    const gg::test::TempDir home;
    for (const char* folder : {"config", "Desktop"})
        std::filesystem::create_directory(home.filePath(folder));
    ::setenv("XDG_CONFIG_HOME", home.filePath("config").c_str(), 1);
    ::setenv("XDG_DESKTOP_DIR", home.filePath("Desktop").c_str(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
