#include "combiner/tile_bands.h"

#include <QtEndian>
#include <libdeflate.h>
#include <memory>
#include <stdexcept>

namespace {
constexpr size_t kBandBytes = size_t(kBandLines) * 256 * 4;
// The header: where each band starts and where the last ends.
constexpr qsizetype kHeaderBytes = (kBandsPerTile + 1) * 4;

struct Deleters {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

quint32 At(const QByteArray& packed, int index)
{
    return qFromLittleEndian<quint32>(packed.constData() + index * 4);
}
}

QByteArray PackTileBands(const QImage& rgba)
{
    // The fastest level: these bytes live only until their row is written.
    thread_local std::unique_ptr<libdeflate_compressor, Deleters> compressor(libdeflate_alloc_compressor(1));
    if (!compressor)
        throw std::bad_alloc();
    const size_t bound = libdeflate_deflate_compress_bound(compressor.get(), kBandBytes);
    QByteArray packed(kHeaderBytes + qsizetype(bound) * kBandsPerTile, Qt::Uninitialized);
    qsizetype end = kHeaderBytes;
    for (int band = 0; band < kBandsPerTile; ++band) {
        qToLittleEndian(quint32(end), packed.data() + band * 4);
        end += qsizetype(libdeflate_deflate_compress(compressor.get(), rgba.constScanLine(band * kBandLines), kBandBytes,
            packed.data() + end, bound));
    }
    qToLittleEndian(quint32(end), packed.data() + kBandsPerTile * 4);
    packed.truncate(end);
    packed.squeeze();
    return packed;
}

void UnpackTileBand(const QByteArray& packed, int band, unsigned char* out)
{
    thread_local std::unique_ptr<libdeflate_decompressor, Deleters> decompressor(libdeflate_alloc_decompressor());
    if (!decompressor)
        throw std::bad_alloc();
    const quint32 from = At(packed, band), to = At(packed, band + 1);
    if (from > to || to > quint32(packed.size())
        || libdeflate_deflate_decompress(decompressor.get(), packed.constData() + from, to - from, out, kBandBytes, nullptr)
            != LIBDEFLATE_SUCCESS)
        throw std::runtime_error("damaged tile band");
}

QImage UnpackTile(const QByteArray& packed, QImage::Format format)
{
    QImage tile(256, 256, format);
    for (int band = 0; band < kBandsPerTile; ++band)
        UnpackTileBand(packed, band, tile.scanLine(band * kBandLines));
    return tile;
}
