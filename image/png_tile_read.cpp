#include "image/png_tile_read.h"

#include "image/tile_image.h"

#include <csetjmp>
#include <cstring>
#include <png.h>

namespace {
// Far above the palette, transparency or colour profile of any real tile; a
// larger chunk (such as a text of many megabytes) makes the tile unreadable.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t(4) << 20;
// Text, profile and other chunks kept in memory by libpng, at most.
constexpr png_uint_32 kMaxCachedChunks = 64;

struct PngSource {
    const char* data;
    size_t size;
    size_t offset = 0;
    bool readingEnd = false;
};

// Everything the read needs lives here, set up before the jump point, so a
// longjmp back into ReadPng skips no destructor and finds its values.
struct PngReadState {
    explicit PngReadState(const QByteArray& bytes) : source{bytes.constData(), size_t(bytes.size())} {}
    ~PngReadState() { png_destroy_read_struct(&png, &info, nullptr); }
    PngReadState(const PngReadState&) = delete;
    PngReadState& operator=(const PngReadState&) = delete;

    PngSource source;
    QString problem;
    png_structp png = nullptr;
    png_infop info = nullptr;
};

void ReadFromBytes(png_structp png, png_bytep out, size_t length)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    // Tiles lacking only the end chunk's CRC are common enough that image
    // decoders take them; so does this reader.
    constexpr png_byte kEndChunkCrc[4] = {0xAE, 0x42, 0x60, 0x82};
    if (source->readingEnd && length == sizeof kEndChunkCrc && source->size - source->offset < length) {
        std::memcpy(out, kEndChunkCrc, length);
        source->offset = source->size;
        return;
    }
    if (length > source->size - source->offset)
        png_error(png, "the file ends early");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

[[noreturn]] void StopOnError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    state->problem = QStringLiteral("PNG: ") + QString::fromLatin1(message);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

void SetLimits(png_structp png)
{
    png_set_user_limits(png, kMaxTileEdge, kMaxTileEdge);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    png_set_chunk_cache_max(png, kMaxCachedChunks);
    // Skipped chunks are still read past with their CRC checked, but never held.
    static constexpr png_byte kUnusedChunks[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0hIST\0pCAL\0sCAL\0";
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, int(sizeof kUnusedChunks / 5));
}

// Whatever the stored form, rows come as 8-bit RGBA.
void ConvertToRgba8(png_structp png, png_infop info)
{
    const int colourType = png_get_color_type(png, info);
    png_set_expand(png);  // palette to RGB, grey below 8 bits to 8, tRNS to alpha
    png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
}

bool HasAlpha(png_structp png, png_infop info)
{
    return (png_get_color_type(png, info) & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
}
}

QString ReadPng(const QByteArray& bytes, PngPixels pixels, PngRowTarget& target)
{
    PngReadState state(bytes);
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, StopOnError, IgnoreWarning);
    state.info = state.png ? png_create_info_struct(state.png) : nullptr;
    if (!state.info)
        return QStringLiteral("PNG: out of memory");
    if (setjmp(png_jmpbuf(state.png)))
        return state.problem;
    SetLimits(state.png);
    png_set_read_fn(state.png, &state.source, ReadFromBytes);
    png_read_info(state.png, state.info);
    const QSize size(int(png_get_image_width(state.png, state.info)), int(png_get_image_height(state.png, state.info)));
    const bool hasAlpha = HasAlpha(state.png, state.info);
    if (pixels == PngPixels::Rgba8)
        ConvertToRgba8(state.png, state.info);
    const int passes = png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
    const QString refusal = target.Prepare(size, hasAlpha, png_get_rowbytes(state.png, state.info));
    if (!refusal.isEmpty())
        return refusal;
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < size.height(); ++y)
            png_read_row(state.png, target.Row(y), nullptr);
    state.source.readingEnd = true;
    png_read_end(state.png, nullptr);
    return {};
}
