#pragma once

#include <QString>
#include <optional>

enum class OutputFormat { GeoTiff, Png, MBTiles };

// "gtiff", "png", "mbtiles": the names the command line takes.
QString OutputFormatName(OutputFormat format);
std::optional<OutputFormat> OutputFormatFromName(const QString& name);

// From the target's ending: .tif/.tiff, .png, .mbtiles (any case).
std::optional<OutputFormat> OutputFormatFromFileName(const QString& fileName);

// The ending a target of that format gets: "tif", "png", "mbtiles".
QString OutputFormatSuffix(OutputFormat format);
