#include "combiner/output_format.h"

#include <QFileInfo>

QString OutputFormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::GeoTiff: return QStringLiteral("gtiff");
    case OutputFormat::Png: return QStringLiteral("png");
    case OutputFormat::MBTiles: return QStringLiteral("mbtiles");
    }
    return {};
}

std::optional<OutputFormat> OutputFormatFromName(const QString& name)
{
    for (OutputFormat format : {OutputFormat::GeoTiff, OutputFormat::Png, OutputFormat::MBTiles})
        if (name.compare(OutputFormatName(format), Qt::CaseInsensitive) == 0)
            return format;
    return std::nullopt;
}

std::optional<OutputFormat> OutputFormatFromFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"tif" || suffix == u"tiff")
        return OutputFormat::GeoTiff;
    if (suffix == u"png")
        return OutputFormat::Png;
    if (suffix == u"mbtiles")
        return OutputFormat::MBTiles;
    return std::nullopt;
}

QString OutputFormatSuffix(OutputFormat format)
{
    return format == OutputFormat::GeoTiff ? QStringLiteral("tif") : OutputFormatName(format);
}
