// Every byte of each small fixture flipped, and every truncation: no crash, no hang, no leak
// (the sanitizer build runs this too), and every counted icon is a 32 x 32 image.
#include "icon_test_files.h"

#include "icons/icon_extractor.h"

#include <gtest/gtest.h>

using namespace gg;
using namespace gg::test;

namespace {

// Takes every icon the way the extraction run does.
int takeAll(const Bytes& bytes)
{
    IconSource source = IconSource::fromBytes(bytes);
    const int count = source.count();
    for (int i = 0; i < count; ++i) {
        RgbaImage icon = source.icon(i);
        if (icon.width != 32 || icon.height != 32)
            ADD_FAILURE() << "icon " << i << " is not a 32 x 32 image";
    }
    if (!source.icon(count).isNull())
        ADD_FAILURE() << "an icon past the count";
    return count;
}

void sweep(const Bytes& original)
{
    ASSERT_GT(takeAll(original), 0);
    for (std::size_t i = 0; i < original.size(); ++i) {
        Bytes b = original;
        b[i] ^= 0xFF;
        takeAll(b);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "after flipping byte " << i;
            return;
        }
    }
    for (std::size_t n = 0; n < original.size(); ++n) {
        takeAll(Bytes(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(n)));
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "after cutting to " << n << " bytes";
            return;
        }
    }
}

class Sweep : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(Sweep, FixtureSurvivesEveryFlipAndCut) { sweep(readFile(dataPath(GetParam()))); }

INSTANTIATE_TEST_SUITE_P(Fixtures, Sweep,
                         ::testing::Values("depth-1.ico", "depth-4.ico", "depth-8.ico", "depth-16.ico",
                                           "depth-32.ico", "pointer.cur", "spinner.ani", "tool32.exe", "tiny.icl"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST_F(Sweep, BuiltModulesAndPngSurviveEveryFlipAndCut)
{
    PeOptions o;
    o.pe32Plus = true;
    sweep(peModule({{"NAMED", 0, {{16, 16, 4, argb(1, 2, 3)}, {32, 32, 1, argb(255, 255, 255)}}},
                    {"", 4, {{24, 24, 8, argb(9, 9, 9)}}}},
                   o));
    sweep(iconFile({{20, 20, 32, argb(40, 50, 60), true}, {16, 16, 24, argb(70, 80, 90)}}));
}
