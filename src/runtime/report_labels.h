#pragma once
// The error report's location labels. They name the routines of the program our users' reports
// have always quoted ("in Glintwork2021/08/31.Form1.PushButton6_Click "), so they are output text,
// kept byte for byte; this table is the only place in the code that spells them.

#include <string>

#include "runtime/error_trap.h"

namespace gg {

struct ReportLabel {
    const char* module;
    const char* routine;
    const char* prefix = "Glintwork";
};

namespace labels {
// The main window and its commands.
inline constexpr ReportLabel kStartUp{"Form1", "Form_Load"};
inline constexpr ReportLabel kCloseRequested{"Form1", "Form_QueryUnload"};
inline constexpr ReportLabel kSaveSelectedIcons{"Form1", "PushButton1_Click"};
inline constexpr ReportLabel kSaveAllIcons{"Form1", "PushButton2_Click"};
inline constexpr ReportLabel kChooseOutputFolder{"Form1", "PushButton3_Click"};
inline constexpr ReportLabel kAddFolderTree{"Form1", "PushButton4_Click"};
inline constexpr ReportLabel kClearSourceList{"Form1", "PushButton5_Click"};
inline constexpr ReportLabel kStartExtracting{"Form1", "PushButton6_Click"};
inline constexpr ReportLabel kLoadListFiles{"Form1", "PushButton7_Click"};
inline constexpr ReportLabel kLoadSampleFolders{"Form1", "PushButton8_Click"};
inline constexpr ReportLabel kExtractionRun{"Form1", "ViewIcons"};
// The folder scan.
inline constexpr ReportLabel kScanFolderTree{"AddFolder", "GetSubDirectories2016", "DunvellTitle"};
// The icon file writer.
inline constexpr ReportLabel kSaveIcon1Bit{"WriteIcon", "SaveIcon1Bit"};
inline constexpr ReportLabel kSaveIcon4Bit{"WriteIcon", "SaveIcon4Bit"};
inline constexpr ReportLabel kSaveIcon8Bit{"WriteIcon", "SaveIcon8Bit"};
inline constexpr ReportLabel kSaveIcon24Bit{"WriteIcon", "SaveIcon24Bit"};
inline constexpr ReportLabel kSaveIcon{"WriteIcon", "SaveIcon"};
inline constexpr ReportLabel kSetSaveData{"WriteIcon", "SetSaveData"};
inline constexpr ReportLabel kChangePixels{"WriteIcon", "ChangePixels"};
inline constexpr ReportLabel kTransBlt{"WriteIcon", "TransBlt"};
inline constexpr ReportLabel kCreateMask{"WriteIcon", "CreateMask"};
inline constexpr ReportLabel kGetIconBits{"WriteIcon", "GetIconBits"};
} // namespace labels

inline std::string trapLabel(const ReportLabel& label)
{
    return trapLabel(label.module, label.routine, label.prefix);
}

} // namespace gg
