#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>

// How big a task is before it starts: its tile count, an estimate of its size
// on disk, and when Start asks before creating it. No widgets here.

// The size of one tile when the folder holds none of that map type yet.
constexpr double kDefaultTileBytes = 15 * 1024;

// Start asks first above this many tiles, or above the zoom control's top.
constexpr qint64 kTilesWithoutQuestion = 100000;
constexpr int kHighestOfferedZoom = 18;
bool StartAsksFirst(qint64 tileCount, int zoom);

// A whole number with thousands separators: "4,096".
QString GroupedNumber(qint64 number);

// `value` rounded to two significant digits: "60", "6.1", "0.49", "1,200".
QString TwoSignificantDigits(double value);

// A size on disk to two significant digits in KB, MB or GB (1 KB = 1024
// bytes): "15 KB", "60 MB", "1.2 GB".
QString ApproximateSizeText(double bytes);

// "4,096 tiles, about 60 MB" (one tile: "1 tile, about 15 KB").
QString TileCountAndSizeText(qint64 tileCount, double averageTileBytes);

// "5,460 tiles in 4 zoom levels, about 82 MB": a zoom series.
QString SeriesCountAndSizeText(qint64 tileCount, int zoomLevels, double averageTileBytes);

// The question Start asks before a task of that size or zoom.
QString LargeTaskQuestion(qint64 tileCount, double averageTileBytes, int zoom);

// Tile files of one map type found in the image folders (the direct
// subfolders) of a task folder.
struct TileSizeSample {
    qint64 Files = 0;
    qint64 Bytes = 0;
    // The average size of a tile file, or kDefaultTileBytes without files.
    double AverageTileBytes() const;
};

// Looks at no more than `maxEntries` folder entries in all, so a huge folder
// costs a bounded time; ends early when `cancel` turns true.
// Tiles are the files `filePrefix`_... with the extension given.
TileSizeSample SampleTileSizes(const QString& taskFolder, const QString& filePrefix, qint64 maxEntries,
    const std::atomic<bool>& cancel, const QString& extension = QStringLiteral("png"));
