#pragma once

#include <QString>
#include <optional>

enum class OutputFormat { GeoTiff, Png, MBTiles, GeoPackage };

constexpr OutputFormat kOutputFormats[] = {OutputFormat::GeoTiff, OutputFormat::Png, OutputFormat::MBTiles, OutputFormat::GeoPackage};

// "gtiff", "png", "mbtiles", "gpkg": the names the command line takes.
QString OutputFormatName(OutputFormat format);
std::optional<OutputFormat> OutputFormatFromName(const QString& name);

// From the target's ending: .tif/.tiff, .png, .mbtiles, .gpkg (any case).
std::optional<OutputFormat> OutputFormatFromFileName(const QString& fileName);

// The ending a target of that format gets: "tif", "png", "mbtiles", "gpkg".
QString OutputFormatSuffix(OutputFormat format);

// Whether the format keeps the tiles as they are, every zoom level given
// (MBTiles, GeoPackage), rather than one image of one zoom level.
bool IsTileSetFormat(OutputFormat format);
