#include "icons/write_icon.h"

#include "icons/atomic_file.h"
#include "icons/raster_ops.h"
#include "runtime/report_labels.h"

#include <algorithm>
#include <array>
#include <optional>

namespace gg {

namespace {


// Buffers the module keeps between saves; rewritten (and cleared) by every save.
struct ModuleState {
    BitmapInfoHeader workHeader{kBitmapInfoHeaderBytes, 0, 0, 1, 24, 0, 0, 0, 0, 0, 0};
    std::array<std::uint8_t, ico::kMaskBytes> maskBits{};
    std::array<std::uint8_t, ico::kColourBits24Bytes> colourBits24{};
};
thread_local ModuleState state;

DeviceContext& need(DeviceContext* dc)
{
    if (dc == nullptr)
        throw StepFailure("Object variable not set");
    return *dc;
}
DeviceContext& need(const std::unique_ptr<DeviceContext>& dc) { return need(dc.get()); }

void selectInto(DeviceContext* dc, Bitmap* bitmap)
{
    if (need(dc).SelectObject(bitmap) == nullptr)
        throw StepFailure("Invalid bitmap");
}

void setWorkHeaderSize(int width, int height)
{
    state.workHeader.width = width;
    state.workHeader.height = height;
}

// What differs between the four encoders: the values of the layout table and the numbered
// lines on which the file steps stand.
struct EncoderPlan {
    ReportLabel label;
    int depth;
    std::uint16_t entryPlanes;
    std::uint16_t entryBitCount;
    std::uint32_t bytesInImage;
    std::uint32_t imageSize;
    std::uint32_t coloursUsed;
    std::size_t tableEntries; // 0: the four blanks of the 24-bit layout
    std::size_t bitsBytes;
    int openLine; // the file steps follow on every second line from here
};

constexpr EncoderPlan kPlan1{labels::kSaveIcon1Bit, 1, 5, 7, 304, 128, 0, 2, 128, 126};
constexpr EncoderPlan kPlan4{labels::kSaveIcon4Bit, 4, 0, 0, 744, 2, 0, 16, 512, 118};
constexpr EncoderPlan kPlan8{labels::kSaveIcon8Bit, 8, 0, 0, 2216, 1152, 256, 256, 1024, 122};
constexpr EncoderPlan kPlan24{labels::kSaveIcon24Bit, 24, 0, 0, 3244, 1153, 1, 0, 3072, 122};

// Where an encoder puts its file: over the file at path, or as a new file in a folder.
struct Destination {
    const std::string* path = nullptr;
    const std::string* folder = nullptr;
    const NextFileName* nextName = nullptr;
    SaveResult* result = nullptr;
};

constexpr std::size_t kLargestFile = ico::kImageOffset + kBitmapInfoHeaderBytes + 4 + ico::kColourBits24Bytes
                                     + ico::kMaskBytes;

void encode(ErrorReporter& reporter, const EncoderPlan& plan, const Destination& destination, DeviceContext& source,
            DeviceContext* work, Bitmap* workBitmap)
{
    Trap trap(reporter, TrapLabel(plan.label));
    const int lineOpen = plan.openLine;
    const int lineDirectory = lineOpen + 2;
    const int lineHeader = lineOpen + 4;
    const int lineGetBits = lineOpen + 6;
    const int lineTable = lineOpen + 8;
    const int lineBits = lineOpen + 10;
    const int lineMaskRead = lineOpen + 12;
    const int lineMask = lineOpen + 14;
    const int lineClose = lineOpen + 16;

    BitmapInfo maskHeader{};
    IconDirectory directory{};
    std::unique_ptr<DeviceContext> maskDc;
    std::unique_ptr<Bitmap> maskBitmap;
    std::array<std::uint32_t, 256> colourTable{};
    std::array<std::uint8_t, 1024> lowDepthBits{};
    const std::span<std::uint8_t> colourBits = plan.depth == 24
                                                   ? std::span<std::uint8_t>(state.colourBits24)
                                                   : std::span<std::uint8_t>(lowDepthBits).first(plan.bitsBytes);

    // Line 100 removed any old file first; putting the finished file in place replaces it
    // instead, so a failed save leaves it as it was.
    trap.step(102, [&] { SetSaveData(reporter, plan.depth, source, maskHeader, directory, maskDc, maskBitmap); });

    directory.planes = plan.entryPlanes;
    directory.bitCount = plan.entryBitCount;
    directory.bytesInImage = plan.bytesInImage;
    directory.imageOffset = ico::kImageOffset;

    BitmapInfoHeader header{};
    header.size = kBitmapInfoHeaderBytes;
    header.width = ico::kIconSize;
    header.height = 2 * ico::kIconSize; // colour bitmap plus mask
    header.planes = 1;
    header.bitCount = static_cast<std::uint16_t>(plan.depth);
    header.compression = 0;
    header.sizeImage = plan.imageSize;
    header.clrUsed = plan.coloursUsed;

    // Every piece is made before the file is opened, so that the file is open only while it is
    // written, and it is written in one go.
    // Cleared first so that a failed read never writes the previous icon's pixels.
    std::fill(colourBits.begin(), colourBits.end(), std::uint8_t{0});
    trap.step(lineGetBits, [&] { GetIconBits(reporter, colourBits, plan.depth, work, workBitmap, colourTable); });
    state.maskBits.fill(0);
    trap.step(lineMaskRead, [&] {
        if (maskBitmap == nullptr)
            throw StepFailure("Object variable not set");
        if (GetDIBits(need(maskDc), *maskBitmap, 0, ico::kIconSize, state.maskBits, maskHeader) != ico::kIconSize)
            throw StepFailure("The mask could not be read");
    });

    std::array<std::uint8_t, kLargestFile> bytes;
    std::size_t size = 0;
    struct Piece {
        std::size_t end;
        int line;
    };
    std::array<Piece, 5> pieces{};
    std::size_t pieceCount = 0;
    auto append = [&](std::span<const std::uint8_t> piece, int line) {
        std::copy(piece.begin(), piece.end(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
        size += piece.size();
        pieces[pieceCount++] = Piece{size, line};
    };
    append(EncodeIconDirectory(directory), lineDirectory);
    append(EncodeBitmapInfoHeader(header), lineHeader);
    if (plan.tableEntries == 0) {
        static constexpr std::array<std::uint8_t, 4> kBlanks{0x20, 0x20, 0x20, 0x20};
        append(kBlanks, lineTable);
    } else {
        std::array<std::uint8_t, 4 * 256> table{};
        for (std::size_t i = 0; i < plan.tableEntries; ++i)
            for (std::size_t b = 0; b < 4; ++b)
                table[4 * i + b] = static_cast<std::uint8_t>(colourTable[i] >> (8 * b));
        append(std::span<const std::uint8_t>(table).first(4 * plan.tableEntries), lineTable);
    }
    append(colourBits, lineBits);
    append(state.maskBits, lineMask);

    // A failure keeps the errno for the caller; the file is already dropped when it is reported.
    SaveResult ignored;
    SaveResult& result = destination.result != nullptr ? *destination.result : ignored;
    auto fileStep = [&](int line, auto&& f) {
        return trap.step(line, [&] {
            try {
                f();
            } catch (const FileFailure& failure) {
                result.error = failure.error();
                throw;
            }
        });
    };

    AtomicFile file;
    const bool opened = fileStep(lineOpen, [&] {
        if (destination.path != nullptr)
            file.open(*destination.path);
        else
            file.openInFolder(*destination.folder);
    });
    if (!opened)
        return;
    // Once a write fails the later pieces are not written: the report names the piece where it
    // stopped, as if each piece had been written on its own.
    std::optional<FileFailure> writeFailure;
    try {
        file.write(std::span<const std::uint8_t>(bytes).first(size));
    } catch (const FileFailure& failure) {
        writeFailure = failure;
    }
    if (writeFailure) {
        int line = pieces[pieceCount - 1].line;
        for (std::size_t i = 0; i < pieceCount; ++i)
            if (writeFailure->written() < pieces[i].end) {
                line = pieces[i].line;
                break;
            }
        fileStep(line, [&] { throw *writeFailure; });
        return;
    }
    fileStep(lineClose, [&] {
        if (destination.path != nullptr) {
            file.commitReplacing();
        } else {
            const NextFileName& nextName = *destination.nextName;
            const int folder = file.folder();
            result.name = file.commitAsNew([&] { return nextName(folder); });
        }
    });
}

void saveIconTo(ErrorReporter& reporter, const Destination& destination, DeviceContext& source, int depth)
{
    Trap trap(reporter, TrapLabel(labels::kSaveIcon));
    std::unique_ptr<DeviceContext> work;
    std::unique_ptr<Bitmap> workBitmap;

    trap.step(102, [&] { work = CreateCompatibleDC(&source); });
    state.workHeader.width = ico::kIconSize;   // 104
    state.workHeader.height = ico::kIconSize;  // 106
    state.workHeader.bitCount = 24;            // 108
    state.workHeader.compression = 0;          // 110
    state.workHeader.planes = 1;               // 112
    state.workHeader.size = kBitmapInfoHeaderBytes; // 114
    trap.step(116, [&] {
        workBitmap = CreateDIBSection(state.workHeader);
        if (workBitmap == nullptr)
            throw StepFailure("Out of memory");
    });
    trap.step(118, [&] { selectInto(work.get(), workBitmap.get()); });

    // Its answer does not matter: on failure the work bitmap stays black and the file is still
    // written with the source's mask.
    trap.step(120, [&] {
        ChangePixels(reporter, source, 0, 0, ico::kIconSize, ico::kIconSize, kKeyColour, kReplacementColour,
                     need(work));
    });

    switch (depth) {
    case 1:
        trap.step(124, [&] { encode(reporter, kPlan1, destination, source, work.get(), workBitmap.get()); });
        break;
    case 4:
        trap.step(128, [&] { encode(reporter, kPlan4, destination, source, work.get(), workBitmap.get()); });
        break;
    case 8:
        trap.step(132, [&] { encode(reporter, kPlan8, destination, source, work.get(), workBitmap.get()); });
        break;
    case 24:
        trap.step(136, [&] { encode(reporter, kPlan24, destination, source, work.get(), workBitmap.get()); });
        break;
    default:
        break;
    }

    work.reset();
    workBitmap.reset();
}

// The top-left 32 x 32 pixels of any picture as the 24-bit picture the writer reads.
Bitmap iconSquare(const Bitmap& source)
{
    Bitmap picture(ico::kIconSize, ico::kIconSize, 24);
    const int width = std::min(source.width(), ico::kIconSize);
    const int height = std::min(source.height(), ico::kIconSize);
    for (int y = 0; y < height; ++y) {
        const ColorRef* from = source.row(y);
        ColorRef* to = picture.row(y);
        for (int x = 0; x < width; ++x)
            to[x] = source.isMonochrome() ? (from[x] != 0 ? kWhite : kBlack) : from[x];
    }
    return picture;
}

} // namespace

void SaveIcon(ErrorReporter& reporter, const std::string& path, const Bitmap& source, int depth)
{
    Bitmap picture = iconSquare(source);
    DeviceContext dc;
    dc.SelectObject(&picture);
    saveIconTo(reporter, Destination{&path}, dc, depth);
}

SaveResult SaveNewIcon(ErrorReporter& reporter, const std::string& folder, const NextFileName& nextName,
                       const Bitmap& source, int depth)
{
    SaveResult result;
    Bitmap picture = iconSquare(source);
    DeviceContext dc;
    dc.SelectObject(&picture);
    saveIconTo(reporter, Destination{nullptr, &folder, &nextName, &result}, dc, depth);
    return result;
}

void SaveIcon(ErrorReporter& reporter, const std::string& path, DeviceContext& source, int depth)
{
    saveIconTo(reporter, Destination{&path}, source, depth);
}

void SaveIcon1Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap)
{
    encode(reporter, kPlan1, Destination{&path}, source, work, workBitmap);
}

void SaveIcon4Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap)
{
    encode(reporter, kPlan4, Destination{&path}, source, work, workBitmap);
}

void SaveIcon8Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap)
{
    encode(reporter, kPlan8, Destination{&path}, source, work, workBitmap);
}

void SaveIcon24Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                   Bitmap* workBitmap)
{
    encode(reporter, kPlan24, Destination{&path}, source, work, workBitmap);
}

void SetSaveData(ErrorReporter& reporter, int depth, DeviceContext& source, BitmapInfo& maskHeader,
                 IconDirectory& directory, std::unique_ptr<DeviceContext>& maskDc,
                 std::unique_ptr<Bitmap>& maskBitmap)
{
    Trap trap(reporter, TrapLabel(labels::kSetSaveData));
    switch (depth) { // 102
    case 4:
        directory.colourCount = 16; // 106
        break;
    default:
        directory.colourCount = 0; // 104, 108, 110; any other depth leaves it 0 as well
        break;
    }
    directory.resourceType = 1;                 // 114
    directory.imageCount = 1;                   // 116
    directory.height = ico::kIconSize;          // 118
    directory.width = ico::kIconSize;           // 120
    directory.imageOffset = ico::kImageOffset;  // 122
    directory.bitCount = 0;                     // 124
    directory.planes = 0;                       // 126
    directory.bytesInImage = 744;               // 128

    maskHeader.header = BitmapInfoHeader{};
    maskHeader.header.size = kBitmapInfoHeaderBytes; // 130
    maskHeader.header.bitCount = 1;                  // 132
    maskHeader.header.clrUsed = 2;                   // 134
    maskHeader.header.height = ico::kIconSize;       // 136
    maskHeader.header.planes = 1;                    // 138
    maskHeader.header.width = ico::kIconSize;        // 140

    trap.step(142, [&] { maskDc = CreateCompatibleDC(nullptr); });
    trap.step(144, [&] {
        maskBitmap = CreateBitmap(ico::kIconSize, ico::kIconSize, 1, 1);
        if (maskBitmap == nullptr)
            throw StepFailure("Out of memory");
    });
    trap.step(146, [&] { selectInto(maskDc.get(), maskBitmap.get()); });
    trap.step(148, [&] { source.SetBkColor(kKeyColour); });
    trap.step(150, [&] { need(maskDc).SetBkColor(kBlack); });
    // Taken from the picture as it came in: key-coloured pixels become 1.
    trap.step(152, [&] {
        BitBlt(need(maskDc), 0, 0, ico::kIconSize, ico::kIconSize, source, 0, 0, RasterOp::SrcCopy);
    });
}

bool ChangePixels(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
                  ColorRef from, ColorRef to, DeviceContext& destination)
{
    Trap trap(reporter, TrapLabel(labels::kChangePixels));
    Brush brush;
    std::unique_ptr<DeviceContext> memory;
    std::unique_ptr<Bitmap> bitmap;

    trap.step(102, [&] { brush = CreateSolidBrush(to); });
    trap.step(104, [&] { memory = CreateCompatibleDC(&source); });
    state.workHeader.width = width;                 // 106
    state.workHeader.height = height;               // 108
    state.workHeader.bitCount = 24;                 // 110
    state.workHeader.planes = 1;                    // 112
    state.workHeader.compression = 0;               // 114
    state.workHeader.size = kBitmapInfoHeaderBytes; // 116
    trap.step(118, [&] {
        bitmap = CreateDIBSection(state.workHeader);
        if (bitmap == nullptr)
            throw StepFailure("Invalid bitmap size");
    });
    trap.step(120, [&] { selectInto(memory.get(), bitmap.get()); });
    if (trap.test(122, [&] { return !FillRect(need(memory), Rect{0, 0, width, height}, brush); }))
        return false;
    if (trap.test(124, [&] {
            return !TransBlt(reporter, source, x, y, width, height, from, need(memory), destination);
        }))
        return false;
    memory.reset();  // 126
    bitmap.reset();  // 128
    return true;     // 130
}

bool TransBlt(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
              ColorRef transparent, DeviceContext& background, DeviceContext& destination)
{
    Trap trap(reporter, TrapLabel(labels::kTransBlt));
    std::unique_ptr<DeviceContext> maskDc, resultDc, imageDc;
    std::unique_ptr<Bitmap> maskBitmap, resultBitmap, imageBitmap;
    auto failedSelection = [&](std::unique_ptr<DeviceContext>& dc, std::unique_ptr<Bitmap>& bitmap) {
        return need(dc).SelectObject(bitmap.get()) == nullptr;
    };

    trap.step(102, [&] { maskDc = CreateCompatibleDC(&source); });
    trap.step(104, [&] { maskBitmap = CreateBitmap(width, height, 1, 1); });
    if (trap.test(106, [&] { return failedSelection(maskDc, maskBitmap); }))
        return false;
    if (trap.test(108, [&] {
            return !CreateMask(reporter, source, x, y, width, height, need(maskDc), transparent);
        }))
        return false;

    setWorkHeaderSize(width, height); // 110
    trap.step(112, [&] { resultDc = CreateCompatibleDC(&source); });
    trap.step(114, [&] { resultBitmap = CreateDIBSection(state.workHeader); });
    if (trap.test(116, [&] { return failedSelection(resultDc, resultBitmap); }))
        return false;
    trap.step(118, [&] { imageDc = CreateCompatibleDC(&source); });
    trap.step(120, [&] { imageBitmap = CreateDIBSection(state.workHeader); });
    if (trap.test(122, [&] { return failedSelection(imageDc, imageBitmap); }))
        return false;

    trap.step(124, [&] { BitBlt(need(imageDc), 0, 0, width, height, source, x, y, RasterOp::SrcCopy); });
    trap.step(126, [&] { BitBlt(need(resultDc), 0, 0, width, height, background, 0, 0, RasterOp::SrcCopy); });
    // Fresh contexts turn mask 1 into white and 0 into black: the background survives where
    // the picture is transparent.
    trap.step(128, [&] { BitBlt(need(resultDc), 0, 0, width, height, need(maskDc), 0, 0, RasterOp::SrcAnd); });
    trap.step(130, [&] { InvertRect(need(maskDc), Rect{0, 0, width, height}); });
    trap.step(132, [&] { BitBlt(need(imageDc), 0, 0, width, height, need(maskDc), 0, 0, RasterOp::SrcAnd); });
    trap.step(134, [&] { BitBlt(need(resultDc), 0, 0, width, height, need(imageDc), 0, 0, RasterOp::SrcPaint); });
    if (trap.test(136, [&] {
            return !BitBlt(destination, x, y, width, height, need(resultDc), 0, 0, RasterOp::SrcCopy);
        }))
        return false;
    return true; // 138: the contexts and bitmaps are released on the way out
}

bool CreateMask(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
                DeviceContext& maskDc, ColorRef transparent)
{
    Trap trap(reporter, TrapLabel(labels::kCreateMask));
    std::unique_ptr<DeviceContext> dc;
    std::unique_ptr<Bitmap> bitmap;

    trap.step(102, [&] { dc = CreateCompatibleDC(&source); });
    trap.step(104, [&] { bitmap = CreateBitmap(width, height, 1, 1); });
    if (trap.test(106, [&] { return need(dc).SelectObject(bitmap.get()) == nullptr; }))
        return false;
    ColorRef previous = source.bkColor();
    trap.step(108, [&] { previous = source.SetBkColor(transparent); });
    trap.step(110, [&] { BitBlt(need(dc), 0, 0, width, height, source, x, y, RasterOp::SrcCopy); });
    if (trap.test(112, [&] { return !BitBlt(maskDc, 0, 0, width, height, need(dc), 0, 0, RasterOp::SrcCopy); })) {
        source.SetBkColor(previous);
        return false;
    }
    trap.step(114, [&] { source.SetBkColor(previous); });
    return true; // 116
}

void GetIconBits(ErrorReporter& reporter, std::span<std::uint8_t> bits, int depth, DeviceContext* dc,
                 const Bitmap* bitmap, std::span<std::uint32_t> colourTable)
{
    Trap trap(reporter, TrapLabel(labels::kGetIconBits));
    BitmapInfo info{};
    info.header.size = kBitmapInfoHeaderBytes; // 102
    info.header.width = ico::kIconSize;        // 104
    info.header.height = ico::kIconSize;       // 106
    info.header.planes = 1;                    // 108
    info.header.bitCount = static_cast<std::uint16_t>(depth); // 110
    info.header.compression = 0;               // 112

    trap.step(114, [&] {
        if (bitmap == nullptr)
            throw StepFailure("Object variable not set");
        if (GetDIBits(need(dc), *bitmap, 0, ico::kIconSize, bits, info) != ico::kIconSize)
            throw StepFailure("The bitmap could not be read");
    });

    std::size_t entries = 0;
    switch (depth) { // 116
    case 1:
        entries = 2; // 118
        break;
    case 4:
        entries = 16; // 120
        break;
    case 8:
        entries = 256; // 122
        break;
    default:
        return;
    }
    trap.step(124, [&] {
        if (colourTable.size() < entries)
            throw StepFailure("Subscript out of range");
        for (std::size_t i = 0; i < entries; ++i) {
            const RgbQuad& q = info.colours[i];
            colourTable[i] = static_cast<std::uint32_t>(q.blue) | (static_cast<std::uint32_t>(q.green) << 8)
                             | (static_cast<std::uint32_t>(q.red) << 16)
                             | (static_cast<std::uint32_t>(q.reserved) << 24);
        }
    });
}

} // namespace gg
