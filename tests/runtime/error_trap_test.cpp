#include "runtime/error_trap.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextBoundaryFinder>
#include <gtest/gtest.h>
#include <vector>

#include "runtime/message_boxes.h"
#include "support/window_harness.h"
#include "support/recording_reporter.h"

namespace {

using gg::test::RecordingReporter;

TEST(ErrorReportText, JoinsPiecesWithExactLineBreaks)
{
    EXPECT_EQ(gg::buildErrorReportText("Path not found", "in Glintwork2021/08/31.Form1.PushButton3_Click ", 104),
              std::string("Path not found\r\nin Glintwork2021/08/31.Form1.PushButton3_Click at line 104\r\r"
                          "Please email screenshot of this message to ") + gg::kSupportAddress);
}

TEST(ErrorReportText, EmptyDescriptionStillStartsWithCrLf)
{
    const std::string text = gg::buildErrorReportText("", "in X ", 100);
    EXPECT_EQ(text.substr(0, 2), "\r\n");
    EXPECT_EQ(text.find('\n', 2), std::string::npos) << "only the first break is CR LF";
}

TEST(ErrorReportText, LabelsCarryPrefixDateModuleAndRoutine)
{
    EXPECT_EQ(gg::trapLabel("WriteIcon", "SaveIcon24Bit"), "in Glintwork2021/08/31.WriteIcon.SaveIcon24Bit ");
    EXPECT_EQ(gg::trapLabel("AddFolder", "GetSubDirectories2016", "DunvellTitle"),
              "in DunvellTitle2021/08/31.AddFolder.GetSubDirectories2016 ");
}

TEST(ErrorTrap, FailingStepIsReportedAndTheRoutineGoesOn)
{
    RecordingReporter r;
    gg::Trap trap(r, "in R ");
    std::vector<int> ran;
    trap.step(102, [&] { ran.push_back(102); });
    trap.step(104, [&] { throw gg::StepFailure("Disk not ready"); ran.push_back(104); });
    trap.step(106, [&] { ran.push_back(106); });
    EXPECT_EQ(ran, (std::vector<int>{102, 106}));
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].label, "in R ");
    EXPECT_EQ(r.reports[0].line, 104);
    EXPECT_EQ(r.reports[0].description, "Disk not ready");
}

TEST(ErrorTrap, FailingTestEntersTheTrueBranch)
{
    RecordingReporter r;
    gg::Trap trap(r, "in R ");
    const bool taken = trap.test(108, []() -> bool { throw std::runtime_error("Type mismatch"); });
    EXPECT_TRUE(taken);
    EXPECT_FALSE(trap.test(110, [] { return false; }));
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].line, 108);
}

TEST(ErrorTrap, FailingValueStepGivesTheFallbackAndLaterUsesFailToo)
{
    RecordingReporter r;
    gg::Trap trap(r, "in R ");
    const int handle = trap.value<int>(112, []() -> int { throw std::runtime_error("Out of memory"); });
    EXPECT_EQ(handle, 0);
    trap.step(114, [&] {
        if (handle == 0)
            throw std::runtime_error("Invalid handle");
    });
    ASSERT_EQ(r.reports.size(), 2u);
    EXPECT_EQ(r.reports[1].line, 114);
}

// A trapped callee reports its own failure once; its caller carries on as after a normal return.
bool trappedCallee(gg::ErrorReporter& reporter)
{
    gg::Trap trap(reporter, "in Callee ");
    bool done = false;
    trap.step(102, [] { throw std::runtime_error("inner"); });
    trap.step(104, [&] { done = true; });
    return done;
}

TEST(ErrorTrap, FailingCalleeIsReportedOnceWithItsOwnLabel)
{
    RecordingReporter r;
    gg::Trap caller(r, "in Caller ");
    bool calleeFinished = false;
    bool callerWentOn = false;
    caller.step(120, [&] { calleeFinished = trappedCallee(r); });
    caller.step(122, [&] { callerWentOn = true; });
    EXPECT_TRUE(calleeFinished);
    EXPECT_TRUE(callerWentOn);
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].label, "in Callee ");
    EXPECT_EQ(r.reports[0].line, 102);
}

TEST(ErrorTrap, UntrappedHelperFailureIsReportedByTheCallerAtTheCallLine)
{
    RecordingReporter r;
    gg::Trap caller(r, "in Caller ");
    auto untrappedHelper = [] { throw gg::StepFailure("Invalid procedure call or argument"); };
    caller.step(130, untrappedHelper);
    ASSERT_EQ(r.reports.size(), 1u);
    EXPECT_EQ(r.reports[0].label, "in Caller ");
    EXPECT_EQ(r.reports[0].line, 130);
}

TEST(ErrorTrap, FailuresInALoopGiveOneReportPerPassAndTheLoopFinishes)
{
    RecordingReporter r;
    gg::Trap trap(r, "in R ");
    int passes = 0;
    for (int i = 0; i < 5; ++i) {
        trap.step(140, [&] {
            if (i % 2 == 0)
                throw std::runtime_error("bad file");
        });
        ++passes;
    }
    EXPECT_EQ(passes, 5);
    EXPECT_EQ(r.reports.size(), 3u);
}

TEST(ErrorReportBox, ShowsAModalWarningTitledApplicationError)
{
    gg::test::WindowHarness h;
    gg::MainWindow& form = h.open();
    h.boxes.boxes.clear();
    form.reporter().reportError("in Glintwork2021/08/31.Form1.ViewIcons ", 112, "File not found");
    ASSERT_EQ(h.boxes.boxes.size(), 1u);
    const auto& box = h.boxes.boxes[0];
    EXPECT_EQ(box.title, QStringLiteral("Application Error"));
    EXPECT_EQ(box.icon, gg::BoxIcon::Warning);
    EXPECT_EQ(box.buttons, gg::BoxButtons::Ok);
    EXPECT_EQ(box.text.toStdString(),
              gg::buildErrorReportText("File not found", "in Glintwork2021/08/31.Form1.ViewIcons ", 112));
}

// The box as shown reads as built, and its lines can break only after a blank: the support address
// (with its hyphen) and the location label stay whole.
TEST(ErrorReportBox, LinesBreakOnlyAtBlanks)
{
    const QString text = QString::fromStdString(
        gg::buildErrorReportText("Path not found", "in Glintwork2021/08/31.Form1.ViewIcons ", 102));
    QMessageBox box;
    gg::setUpMessageBox(box, QStringLiteral("Application Error"), text, gg::BoxIcon::Warning, gg::BoxButtons::Ok);
    const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    const QString shown = label->text();
    EXPECT_EQ(QString(shown).remove(QChar(0x2060)),
              QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n'));

    QTextBoundaryFinder breaks(QTextBoundaryFinder::Line, shown);
    for (qsizetype at = breaks.toNextBoundary(); at > 0 && at < shown.size(); at = breaks.toNextBoundary())
        EXPECT_TRUE(shown[at - 1].isSpace()) << "a line may break before \"" << shown.mid(at, 20).toStdString() << '"';
}

} // namespace
