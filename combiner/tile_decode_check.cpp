#include "combiner/tile_decode_check.h"

#include <QImage>
#include <QImageReader>
#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace {
struct PngSource {
    const char* data;
    size_t size;
    size_t offset = 0;
    bool readingEnd = false;
};

void ReadFromBytes(png_structp png, png_bytep out, size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    // Qt's decoder takes a file that lacks only its last CRC, the end
    // chunk's; so does this check, or the viewer and the combiner would
    // disagree about such a tile.
    constexpr png_byte kEndChunkCrc[4] = {0xAE, 0x42, 0x60, 0x82};
    if (source->readingEnd && length == sizeof kEndChunkCrc && source->size - source->offset < length) {
        std::memcpy(out, kEndChunkCrc, length);
        source->offset = source->size;
        return;
    }
    if (length > source->size - source->offset)
        png_error(png, "truncated");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

[[noreturn]] void StopOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// Frees libpng's state however the check ends; set up before the jump point,
// so a longjmp back into the checking function skips no destructor.
struct PngReadState {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, StopOnError, IgnoreWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
};

// QImage refuses an image whose pixels pass its allocation limit: such a PNG
// is left to it, so that both checks agree (counted at four bytes a pixel, the most it takes).
bool WithinQImageLimit(png_uint_32 width, png_uint_32 height)
{
    const qint64 limitBytes = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
    return limitBytes <= 0 || qint64(width) * height * 4 <= limitBytes;
}

enum class PngCheck { Decodes, Broken, LeftToQImage };

PngCheck CheckPng(const QByteArray& bytes, QSize& size)
{
    PngReadState state;
    if (!state.info)
        return PngCheck::LeftToQImage;
    PngSource source{bytes.constData(), size_t(bytes.size())};
    // The row buffer is the thread's own and outlives the jump.
    thread_local std::vector<png_byte> row;
    if (setjmp(png_jmpbuf(state.png)))
        return PngCheck::Broken;
    png_set_read_fn(state.png, &source, ReadFromBytes);
    png_read_info(state.png, state.info);
    const png_uint_32 width = png_get_image_width(state.png, state.info);
    const png_uint_32 height = png_get_image_height(state.png, state.info);
    if (!WithinQImageLimit(width, height))
        return PngCheck::LeftToQImage;
    const int passes = png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
    row.resize(png_get_rowbytes(state.png, state.info));
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(state.png, row.data(), nullptr);
    source.readingEnd = true;
    png_read_end(state.png, nullptr);
    size = QSize(int(width), int(height));
    return PngCheck::Decodes;
}
}

QSize DecodedImageSize(const QByteArray& bytes)
{
    constexpr size_t kSignatureSize = 8;
    if (size_t(bytes.size()) >= kSignatureSize
        && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.constData()), 0, kSignatureSize) == 0) {
        QSize size;
        switch (CheckPng(bytes, size)) {
        case PngCheck::Decodes: return size;
        case PngCheck::Broken: return {};
        case PngCheck::LeftToQImage: break;
        }
    }
    QImage image;
    return image.loadFromData(bytes) ? image.size() : QSize();
}
