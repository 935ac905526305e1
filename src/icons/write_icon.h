#pragma once
// WriteIcon: turns a 32 x 32 picture with one transparent key colour into a one-image .ico file
// at 1, 4, 8 or 24 bits per pixel.
//
// The entry point for callers:
//
//   gg::Bitmap picture = gg::Bitmap::fromRgb32(argb, 32, 32);   // see platform/pixel_buffer.h
//   gg::SaveIcon(reporter, "/out/name.ico", picture, 24);
//
// Pixels of RGB(197,197,197) become transparent (black in the colour bitmap, 1 in the mask);
// every other colour, black and white included, stays opaque. Only the top-left 32 x 32 pixels
// are used; a smaller picture leaves the rest black and opaque. A depth other than 1, 4, 8 or 24
// writes nothing and reports nothing. Failures are shown through the reporter with the writer's
// labels and line numbers and are never returned. The file is put in place only when complete
// (see atomic_file.h), so a failed save keeps the old file and leaves nothing half written.
//
// Saving a new file that must not replace anything, under the first free name of a sequence:
//
//   gg::SaveResult r = gg::SaveNewIcon(reporter, "/out", [&](int folder) { return nextFreeName(folder); },
//                                      picture, 24);
//
// nextName is asked again whenever the name it gave was taken in the meantime.
//
// The module keeps work buffers between calls: one save at a time per thread.

#include "icons/ico_layout.h"
#include "icons/pixel_buffer.h"
#include "runtime/error_trap.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace gg {

// The transparent key colour and what the writer puts in its place.
inline constexpr ColorRef kKeyColour = Rgb(197, 197, 197);
inline constexpr ColorRef kReplacementColour = kBlack;

void SaveIcon(ErrorReporter& reporter, const std::string& path, const Bitmap& source, int depth);

// What became of a new file.
struct SaveResult {
    std::string name; // its name in the folder; empty when no file was written
    int error = 0;    // the errno of the failure that kept the file from being written, else 0
};

// Names for a new file in an open folder (a directory descriptor): the first call gives the first
// candidate, each further call the next.
using NextFileName = std::function<std::string(int folder)>;

// SaveIcon for a new file in folder that never takes the place of anything that exists.
SaveResult SaveNewIcon(ErrorReporter& reporter, const std::string& folder, const NextFileName& nextName,
                       const Bitmap& source, int depth);

// The routines below are the writer's building blocks, public so that they can be tested.

// SaveIcon on a context that holds the picture at (0, 0).
void SaveIcon(ErrorReporter& reporter, const std::string& path, DeviceContext& source, int depth);

// The depth encoders: write the file from the black-for-transparent picture in work/workBitmap
// and the mask taken from source.
void SaveIcon1Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap);
void SaveIcon4Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap);
void SaveIcon8Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                  Bitmap* workBitmap);
void SaveIcon24Bit(ErrorReporter& reporter, const std::string& path, DeviceContext& source, DeviceContext* work,
                   Bitmap* workBitmap);

// Fills the directory record and the mask header for a depth and draws the key-colour mask of
// source's 32 x 32 picture into a new monochrome bitmap (1 = transparent).
void SetSaveData(ErrorReporter& reporter, int depth, DeviceContext& source, BitmapInfo& maskHeader,
                 IconDirectory& directory, std::unique_ptr<DeviceContext>& maskDc,
                 std::unique_ptr<Bitmap>& maskBitmap);

// Copies the rectangle at (x, y) of source to the same place of destination, with every pixel of
// colour `from` replaced by `to`. Answers false (destination untouched) when a step fails.
bool ChangePixels(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
                  ColorRef from, ColorRef to, DeviceContext& destination);

// Draws the rectangle at (x, y) of source over background's rectangle at (0, 0), with the
// transparent colour letting the background show, into destination at (x, y).
bool TransBlt(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
              ColorRef transparent, DeviceContext& background, DeviceContext& destination);

// Draws the one-bit mask of the transparent colour (1 = that colour) into maskDc at (0, 0).
bool CreateMask(ErrorReporter& reporter, DeviceContext& source, int x, int y, int width, int height,
                DeviceContext& maskDc, ColorRef transparent);

// Reads a 32 x 32 bitmap's rows, bottom row first, at a depth (1, 4, 8 or 24) into bits, and at
// 1, 4 and 8 bits its 2, 16 or 256 colour-table entries into colourTable (each entry's bytes in
// memory order blue, green, red, reserved). At 24 bits colourTable is left as it was. bits must
// hold 128, 512, 1024 or 3072 bytes; on failure the arrays keep what they held.
void GetIconBits(ErrorReporter& reporter, std::span<std::uint8_t> bits, int depth, DeviceContext* dc,
                 const Bitmap* bitmap, std::span<std::uint32_t> colourTable);

} // namespace gg
