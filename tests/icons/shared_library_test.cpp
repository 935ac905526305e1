// A library opened on first use that is missing, or lacks a function, ends the program the way the
// dynamic loader does at start-up, never with a call through a null pointer.
#include "icons/shared_library.h"

#include <gtest/gtest.h>

using gg::SharedLibrary;

TEST(SharedLibrary, WhatCannotBeLoadedEndsTheProgramAsTheLoaderWould)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(SharedLibrary("libglimmer-missing.so.0"), testing::ExitedWithCode(127),
                "error while loading shared libraries: libglimmer-missing.so.0");
    EXPECT_EXIT(SharedLibrary("libz.so.1").function<void()>("glimmer_missing"), testing::ExitedWithCode(127),
                "error while loading shared libraries: .*glimmer_missing");
    // What is there is found.
    EXPECT_NE(SharedLibrary("libz.so.1").function<const char*()>("zlibVersion"), nullptr);
}
