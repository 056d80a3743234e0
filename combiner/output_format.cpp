#include "combiner/output_format.h"

#include <QFileInfo>

QString OutputFormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::GeoTiff: return QStringLiteral("gtiff");
    case OutputFormat::Png: return QStringLiteral("png");
    case OutputFormat::MBTiles: return QStringLiteral("mbtiles");
    case OutputFormat::GeoPackage: return QStringLiteral("gpkg");
    }
    return {};
}

std::optional<OutputFormat> OutputFormatFromName(const QString& name)
{
    for (OutputFormat format : kOutputFormats)
        if (name.compare(OutputFormatName(format), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

std::optional<OutputFormat> OutputFormatFromFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"tif" || suffix == u"tiff")
        return OutputFormat::GeoTiff;
    for (OutputFormat format : kOutputFormats)
        if (suffix == OutputFormatSuffix(format))
            return format;
    return std::nullopt;
}

QString OutputFormatSuffix(OutputFormat format)
{
    return format == OutputFormat::GeoTiff ? QStringLiteral("tif") : OutputFormatName(format);
}

bool IsTileSetFormat(OutputFormat format)
{
    return format == OutputFormat::MBTiles || format == OutputFormat::GeoPackage;
}
