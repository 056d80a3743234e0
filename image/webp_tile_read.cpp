#include "image/webp_tile_read.h"

#include <webp/decode.h>

namespace {
const uint8_t* Data(const QByteArray& bytes)
{
    return reinterpret_cast<const uint8_t*>(bytes.constData());
}
}

bool IsWebp(const QByteArray& bytes)
{
    return bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP";
}

QSize WebpSize(const QByteArray& bytes)
{
    int width = 0;
    int height = 0;
    if (!IsWebp(bytes) || !WebPGetInfo(Data(bytes), size_t(bytes.size()), &width, &height))
        return {};
    return {width, height};
}

QImage ReadWebp(const QByteArray& bytes, QSize size)
{
    QImage image(size, QImage::Format_RGBA8888);
    if (image.isNull())
        return {};
    if (!WebPDecodeRGBAInto(Data(bytes), size_t(bytes.size()), image.bits(), size_t(image.sizeInBytes()),
            int(image.bytesPerLine())))
        return {};
    return image;
}
