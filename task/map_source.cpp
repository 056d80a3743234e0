#include "task/map_source.h"

#include "task/map_type.h"

#include <QUrl>

QString MapSource::Host() const
{
    return QUrl(QString(Url).replace(QStringLiteral("{s}"), Subdomains.value(0))).host();
}

QString MapSource::TileFormatExtension(TileFormat format)
{
    switch (format) {
    case TileFormat::Jpeg: return QStringLiteral("jpg");
    case TileFormat::Webp: return QStringLiteral("webp");
    case TileFormat::Png: break;
    }
    return QStringLiteral("png");
}

std::optional<TileFormat> TileFormatNamed(const QString& extension)
{
    for (const TileFormat format : {TileFormat::Png, TileFormat::Jpeg, TileFormat::Webp})
        if (extension.compare(MapSource::TileFormatExtension(format), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

QString TileFormatTitle(TileFormat format)
{
    switch (format) {
    case TileFormat::Jpeg: return QStringLiteral("JPEG");
    case TileFormat::Webp: return QStringLiteral("WebP");
    case TileFormat::Png: break;
    }
    return QStringLiteral("PNG");
}

QString TileFormatMediaType(TileFormat format)
{
    switch (format) {
    case TileFormat::Jpeg: return QStringLiteral("image/jpeg");
    case TileFormat::Webp: return QStringLiteral("image/webp");
    case TileFormat::Png: break;
    }
    return QStringLiteral("image/png");
}

QStringList TileAddressPlaceholders()
{
    return {QStringLiteral("{z}"), QStringLiteral("{x}"), QStringLiteral("{y}"), QStringLiteral("{-y}"),
        QStringLiteral("{q}"), QStringLiteral("{s}")};
}

QString MapFilePrefix(int mapsType, const MapSource* source)
{
    return source ? source->Prefix : MapTypeFilePrefix(mapsType);
}
