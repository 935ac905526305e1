// One image on its own: the DIB and PNG decoders, with the group choice over a single image.
#include "icons/icon_image.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gg::ByteReader bytes(std::span(data, size));
    gg::Result<gg::ImageShape> shape = gg::peekImageShape(bytes);
    gg::Result<QImage> image = gg::decodeIconImage(bytes);
    if (image && shape && (image->width() != shape->width || image->height() != shape->height))
        std::abort(); // the header's size must be the decoded size
    gg::MemorySource source(std::span(data, size));
    gg::IconGroup group;
    group.images.push_back(gg::ImageCandidate{gg::ByteRange(source), 0, 0});
    gg::Result<gg::ChosenImage> chosen = gg::decodeGroup(group);
    if (chosen && chosen->image.size() != QSize(32, 32))
        std::abort();
    return 0;
}
