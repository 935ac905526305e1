// What icoutils' wrestool writes for a group, against ours.
#pragma once

#include "icons/icon_test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace gg::test {

// Where the last image of an icon file ends, by the file's own directory.
inline std::size_t endOfImages(const Bytes& file)
{
    std::size_t end = 6 + 16 * get16(file, 4);
    for (std::size_t i = 0; i < get16(file, 4); ++i)
        end = std::max<std::size_t>(end, get32(file, 6 + 16 * i + 12) + get32(file, 6 + 16 * i + 8));
    return end;
}

// wrestool sizes its file by the group resource as well as the images and writes all of it, so
// bytes no entry refers to follow its last image: the file ends where its own directory says, and
// up to there ours must be the same. A cursor image's byte count it gives as the resource has it,
// with the 4 bytes of the hot spot that it moves into the entry; the image it writes is 4 shorter.
inline ::testing::AssertionResult sameAsWrestools(const Bytes& ours, Bytes theirs)
{
    if (theirs.size() < 6)
        return ::testing::AssertionFailure() << "wrestool's file has " << theirs.size() << " bytes";
    for (std::size_t e = 0; get16(theirs, 2) == 2 && e < get16(theirs, 4); ++e)
        put32(theirs, 6 + 16 * e + 8, get32(theirs, 6 + 16 * e + 8) - 4);
    if (endOfImages(theirs) != ours.size())
        return ::testing::AssertionFailure() << "wrestool's images end at " << endOfImages(theirs) << ", ours at "
                                             << ours.size();
    if (!std::equal(ours.begin(), ours.end(), theirs.begin()))
        return ::testing::AssertionFailure() << "the bytes differ";
    return ::testing::AssertionSuccess();
}

} // namespace gg::test
