#include "combiner/png_encode.h"

#include <QtEndian>

#include <csetjmp>
#include <new>
#include <png.h>

namespace {
void AppendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void Flush(png_structp) {}

void QuietError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void QuietWarning(png_structp, png_const_charp) {}

// libpng returns by longjmp: no object with a destructor lives in here.
bool Encode(const QImage& rgba, QByteArray& out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &out, AppendBytes, Flush);
    png_set_IHDR(png, info, png_uint_32(rgba.width()), png_uint_32(rgba.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    for (int y = 0; y < rgba.height(); ++y)
        png_write_row(png, rgba.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
}

QByteArray EncodePng(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QByteArray out;
    out.reserve(64 * 1024);
    if (!Encode(rgba, out))
        throw std::bad_alloc();
    return out;
}

bool IsPngData(const QByteArray& bytes)
{
    return bytes.startsWith("\x89PNG\r\n\x1a\n");
}

QSize PngDataSize(const QByteArray& bytes)
{
    // The signature, then the IHDR chunk's length and type, then width and height.
    constexpr qsizetype kWidthAt = 16;
    if (!IsPngData(bytes) || bytes.size() < kWidthAt + 8 || bytes.mid(12, 4) != "IHDR")
        return {};
    const auto read = [&](qsizetype at) { return qFromBigEndian<quint32>(bytes.constData() + at); };
    return QSize(int(read(kWidthAt)), int(read(kWidthAt + 4)));
}
