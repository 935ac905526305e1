// Where the icon library's pictures meet Qt's: the one place that converts between them.
#pragma once

#include "icons/rgba_image.h"

#include <QImage>

namespace gg {

// Format_ARGB32; the empty image for an empty one.
QImage toQImage(const RgbaImage& image);

// Any format, colours taken out of premultiplication; the empty image for a null one.
RgbaImage toRgbaImage(const QImage& image);

} // namespace gg
