#include "shell/error_trap.h"

#include <gtest/gtest.h>

TEST(ErrorReportText, JoinsPiecesWithExactLineBreaks)
{
    EXPECT_EQ(gg::BuildErrorReportText("Path not found", "in Glintwork2021/08/31.Form1.PushButton3_Click ", 104),
              std::string("Path not found\r\nin Glintwork2021/08/31.Form1.PushButton3_Click at line 104\r\r"
                          "Please email screenshot of this message to ") + gg::kSupportAddress);
}
