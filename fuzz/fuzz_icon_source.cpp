// The whole reader: bytes in, every icon's pixels out.
#include "icons/icon_extractor.h"

#include <QtGlobal>

#include <cstdint>
#include <cstdlib>
#include <vector>

static void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet); // the PNG decoder's warnings would drown the fuzzer's output
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    gg::IconSource source = gg::IconSource::fromBytes(std::vector<std::uint8_t>(data, data + size));
    const int count = source.count();
    for (int i = 0; i <= count; ++i) {
        QImage icon = source.icon(i);
        if (i < count && (icon.width() != 32 || icon.height() != 32 || icon.format() != QImage::Format_ARGB32))
            std::abort(); // every counted icon must be a 32 x 32 image
        if (i == count && !icon.isNull())
            std::abort();
    }
    return 0;
}
