#include "saving/save_report.h"

#include "icons/errno_text.h"
#include "runtime/report_labels.h"

#include <array>

namespace gg {

namespace {

// Each depth's routine and the line of its open; the other file steps follow on every second line.
struct WriterLines {
    int depth;
    ReportLabel label;
    int open;
};

constexpr std::array<WriterLines, 4> kWriterLines{{
    {1, labels::kSaveIcon1Bit, 126},
    {4, labels::kSaveIcon4Bit, 118},
    {8, labels::kSaveIcon8Bit, 122},
    {24, labels::kSaveIcon24Bit, 122},
}};

// Lines after the open: the directory, the header, the colour table, the colour bits and the mask
// (the colour bits' and the mask's reads stand between them), then the close.
constexpr std::array<int, kIcoPieces> kPieceLines{2, 4, 8, 10, 14};
constexpr int kCloseLine = 16;

int lineOf(const WriterLines& writer, const IcoFile& file, const FileOutcome& outcome)
{
    switch (outcome.failedStep) {
    case FileStep::Open:
        return writer.open;
    case FileStep::Write:
        // The report names the piece in which the write stopped.
        return writer.open + kPieceLines[static_cast<std::size_t>(file.pieceAt(outcome.written))];
    case FileStep::Place:
    case FileStep::None:
        break;
    }
    return writer.open + kCloseLine;
}

} // namespace

void reportFailedSave(ErrorReporter& reporter, int depth, const IcoFile& file, const FileOutcome& outcome)
{
    if (outcome.ok())
        return;
    for (const WriterLines& writer : kWriterLines)
        if (writer.depth == depth)
            reporter.reportError(trapLabel(writer.label), lineOf(writer, file, outcome), errnoText(outcome.error));
}

} // namespace gg
