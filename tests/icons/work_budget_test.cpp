// Files whose icon groups come back to the same bytes, so that a few megabytes would ask for
// hours of work: the reader gives what its budget allows and refuses the rest with one problem.
#include "support/hostile_modules.h"

#include "icons/icon_extractor.h"
#include "icons/icon_groups.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace gg;

namespace {

int tooMuchWorkProblems(const IconSource& source)
{
    const std::vector<ReadFailure> problems = source.problems();
    return static_cast<int>(std::count_if(problems.begin(), problems.end(),
                                          [](const ReadFailure& p) { return p.error == ReadError::TooMuchWork; }));
}

} // namespace

TEST(WorkBudget, GroupsListingImagesOverAndOverAreCutAtTheImageBound)
{
    // 3,000 groups of 512 images each: half again the images a file may list.
    const IconSource hostile = IconSource::fromBytes(test::moduleOfGroupsNamingOnePng(3000, 512, 16));
    const int count = hostile.count();
    EXPECT_GT(count, 1900);
    EXPECT_LT(count, 2100);
    EXPECT_TRUE(hostile.refusedRest());
    EXPECT_EQ(tooMuchWorkProblems(hostile), 1);
    // What was counted is all there, down to the last.
    EXPECT_EQ(hostile.icon(count - 1).width, 32);
    EXPECT_NE(hostile.group(count - 1), nullptr);
    EXPECT_TRUE(hostile.icon(count).isNull());

    // A thousand such groups are within it.
    const IconSource within = IconSource::fromBytes(test::moduleOfGroupsNamingOnePng(1000, 512, 16));
    EXPECT_EQ(within.count(), 1000);
    EXPECT_FALSE(within.refusedRest());
    EXPECT_EQ(tooMuchWorkProblems(within), 0);
}

TEST(WorkBudget, GroupsSharingOneResourceAreCutAtTheGroupBound)
{
    const IconSource hostile = IconSource::fromBytes(test::moduleOfGroupsSharingOneLanguage(100000, 1, 16));
    EXPECT_EQ(hostile.count(), static_cast<int>(WorkBudget::kMaxGroups));
    EXPECT_TRUE(hostile.refusedRest());
    EXPECT_EQ(tooMuchWorkProblems(hostile), 1);
}

TEST(WorkBudget, PicturesStopAtThePixelBound)
{
    const IconSource source = IconSource::fromBytes(test::moduleOfGroupsSharingOneLanguage(2, 1, 16));
    ASSERT_EQ(source.count(), 2);
    const IconGroup& group = *source.group(0);
    // Each 1024 x 1024 picture costs a million pixels of the file's 64 million and a few.
    int pictures = 0;
    while (pictures < 100 && pictureAt(group, 1024).ok())
        ++pictures;
    EXPECT_EQ(pictures, 65);
    EXPECT_EQ(pictureAt(group, 16).failure().error, ReadError::TooMuchWork) << "nothing more is drawn";
    EXPECT_TRUE(source.refusedRest());
}
