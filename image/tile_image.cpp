#include "image/tile_image.h"

#include "image/decode_memory_budget.h"
#include "image/png_tile_read.h"
#include "image/webp_tile_read.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>
#include <optional>
#include <png.h>
#include <vector>

namespace {
constexpr qint64 kBytesPerPixel = 4;

qint64 PixelBytes(QSize size)
{
    return qint64(size.width()) * size.height() * kBytesPerPixel;
}

bool IsPng(const QByteArray& bytes)
{
    constexpr size_t kSignatureSize = 8;
    return size_t(bytes.size()) >= kSignatureSize
        && png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.constData()), 0, kSignatureSize) == 0;
}

QString TooLargeProblem()
{
    return QStringLiteral("larger than %1 x %1 pixels").arg(kMaxTileEdge);
}

// The size a PNG's header chunk declares, read before libpng sees the file,
// so a huge tile is refused with a plain reason.
bool DeclaresTooLargePng(const QByteArray& bytes)
{
    constexpr qsizetype kHeaderEnd = 8 + 8 + 8;
    if (bytes.size() < kHeaderEnd || bytes.mid(12, 4) != "IHDR")
        return false;
    const quint32 width = qFromBigEndian<quint32>(bytes.constData() + 16);
    const quint32 height = qFromBigEndian<quint32>(bytes.constData() + 20);
    return width > quint32(kMaxTileEdge) || height > quint32(kMaxTileEdge);
}

TileImage Failed(QString problem)
{
    TileImage failed;
    failed.Problem = std::move(problem);
    return failed;
}

TileImage Decoded(QImage image, QSize size)
{
    TileImage decoded;
    decoded.Image = std::move(image);
    decoded.Size = size;
    return decoded;
}

// Every row inflated into one scratch row and forgotten at once.
class ScratchRow : public PngRowTarget {
public:
    QString Prepare(QSize size, bool, size_t rowBytes) override
    {
        size_ = size;
        row_.resize(rowBytes);
        return {};
    }
    unsigned char* Row(int) override { return row_.data(); }
    QSize Size() const { return size_; }

private:
    QSize size_;
    std::vector<unsigned char> row_;
};

// The rows of an image, its pixels paid for from the program's budget.
class ImageRows : public PngRowTarget {
public:
    QString Prepare(QSize size, bool hasAlpha, size_t rowBytes) override
    {
        share_.emplace(DecodeMemoryBudget::ForProgram(), PixelBytes(size));
        image_ = QImage(size, hasAlpha ? QImage::Format_RGBA8888 : QImage::Format_RGBX8888);
        if (image_.isNull() || rowBytes > size_t(image_.bytesPerLine()))
            return QStringLiteral("not enough memory");
        return {};
    }
    unsigned char* Row(int y) override { return image_.scanLine(y); }
    QImage& Image() { return image_; }

private:
    std::optional<DecodeMemoryBudget::Share> share_;
    QImage image_;
};

QImage ScaledSmoothly(QImage image, QSize size)
{
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_RGBA8888_Premultiplied : QImage::Format_RGBX8888);
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QImage ScaledIfAsked(QImage image, const TileImageScale& scaleTo)
{
    if (!scaleTo)
        return image;
    const QSize size = scaleTo(image.size());
    return size.isValid() && size != image.size() ? ScaledSmoothly(std::move(image), size) : image;
}

TileImage DecodeWebp(const QByteArray& bytes, const TileImageScale& scaleTo)
{
    const QSize size = WebpSize(bytes);
    if (!size.isValid())
        return Failed(QStringLiteral("WebP: the header cannot be read"));
    if (size.width() > kMaxTileEdge || size.height() > kMaxTileEdge)
        return Failed(TooLargeProblem());
    const DecodeMemoryBudget::Share share(DecodeMemoryBudget::ForProgram(), PixelBytes(size));
    QImage image = ReadWebp(bytes, size);
    if (image.isNull())
        return Failed(QStringLiteral("WebP: the image data is damaged or cut short"));
    return Decoded(ScaledIfAsked(std::move(image), scaleTo), size);
}

// Other formats than PNG go through Qt's readers, with the size taken from
// the header first and Qt's own allocation limit as a second guard.
TileImage DecodeWithQt(const QByteArray& bytes, const TileImageScale& scaleTo)
{
    static const bool limited = [] {
        QImageReader::setAllocationLimit(int(PixelBytes(QSize(kMaxTileEdge, kMaxTileEdge)) >> 20));
        return true;
    }();
    Q_UNUSED(limited);
    if (IsWebp(bytes))
        return DecodeWebp(bytes, scaleTo);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid())
        return Failed(reader.errorString());
    if (size.width() > kMaxTileEdge || size.height() > kMaxTileEdge)
        return Failed(TooLargeProblem());
    // A reader may convert once after decoding: twice the pixels.
    const DecodeMemoryBudget::Share share(DecodeMemoryBudget::ForProgram(), 2 * PixelBytes(size));
    QImage image = reader.read();
    if (image.isNull())
        return Failed(reader.errorString());
    const QSize decodedSize = image.size();
    return Decoded(ScaledIfAsked(std::move(image), scaleTo), decodedSize);
}
}

TileImage CheckTileImage(const QByteArray& bytes)
{
    if (IsPng(bytes) && DeclaresTooLargePng(bytes))
        return Failed(TooLargeProblem());
    if (!IsPng(bytes)) {
        TileImage decoded = DecodeWithQt(bytes, {});
        decoded.Image = QImage();
        return decoded;
    }
    ScratchRow row;
    const QString problem = ReadPng(bytes, PngPixels::AsStored, row);
    return problem.isEmpty() ? Decoded(QImage(), row.Size()) : Failed(problem);
}

TileImage DecodeTileImage(const QByteArray& bytes, const TileImageScale& scaleTo)
{
    if (!IsPng(bytes))
        return DecodeWithQt(bytes, scaleTo);
    if (DeclaresTooLargePng(bytes))
        return Failed(TooLargeProblem());
    ImageRows rows;
    const QString problem = ReadPng(bytes, PngPixels::Rgba8, rows);
    if (!problem.isEmpty())
        return Failed(problem);
    const QSize size = rows.Image().size();
    return Decoded(ScaledIfAsked(std::move(rows.Image()), scaleTo), size);
}
