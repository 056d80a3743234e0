#include "task/task_size_estimate.h"

#include <QDirIterator>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {
QLocale NumberLocale()
{
    return QLocale(QLocale::English, QLocale::UnitedStates);
}
}

bool StartAsksFirst(qint64 tileCount, int zoom)
{
    return tileCount > kTilesWithoutQuestion || zoom > kHighestOfferedZoom;
}

QString GroupedNumber(qint64 number)
{
    return NumberLocale().toString(number);
}

namespace {
double RoundedToTwoSignificantDigits(double value)
{
    if (!(value > 0))
        return 0;
    const double unit = std::pow(10.0, std::floor(std::log10(value)) - 1);
    return std::round(value / unit) * unit;
}
}

QString TwoSignificantDigits(double value)
{
    const double rounded = RoundedToTwoSignificantDigits(value);
    if (rounded == 0)
        return QStringLiteral("0");
    // Taken from the rounded value: 9.96 carries into 10 and loses its decimal.
    const int decimals = std::max(0, 1 - int(std::floor(std::log10(rounded))));
    return NumberLocale().toString(rounded, 'f', decimals);
}

QString ApproximateSizeText(double bytes)
{
    static const char* const units[] = {"KiB", "MiB", "GiB"};
    double value = bytes / 1024;
    int unit = 0;
    // From 1000 of a unit on the next unit keeps the number short; GiB is the largest.
    while (unit < 2 && RoundedToTwoSignificantDigits(value) >= 1000) {
        value /= 1024;
        ++unit;
    }
    return TwoSignificantDigits(value) + u' ' + QLatin1String(units[unit]);
}

QString TileCountAndSizeText(qint64 tileCount, double averageTileBytes)
{
    return GroupedNumber(tileCount) + (tileCount == 1 ? QStringLiteral(" tile") : QStringLiteral(" tiles"))
        + QStringLiteral(", about ") + ApproximateSizeText(double(tileCount) * averageTileBytes);
}

QString SeriesCountAndSizeText(qint64 tileCount, int zoomLevels, double averageTileBytes)
{
    return GroupedNumber(tileCount) + (tileCount == 1 ? QStringLiteral(" tile") : QStringLiteral(" tiles"))
        + QStringLiteral(" in ") + QString::number(zoomLevels) + QStringLiteral(" zoom levels, about ")
        + ApproximateSizeText(double(tileCount) * averageTileBytes);
}

QString LargeTaskQuestion(qint64 tileCount, double averageTileBytes, int zoom)
{
    QString reason;
    if (zoom > kHighestOfferedZoom)
        reason = QStringLiteral("Zoom level %1 lies above %2, the highest level the zoom control offers.")
                     .arg(zoom).arg(kHighestOfferedZoom);
    else
        reason = QStringLiteral("That is more than %1 tiles.").arg(GroupedNumber(kTilesWithoutQuestion));
    return QStringLiteral("This task downloads %1.\n%2\n\nStart it?")
        .arg(TileCountAndSizeText(tileCount, averageTileBytes), reason);
}

double TileSizeSample::AverageTileBytes() const
{
    return Files > 0 ? double(Bytes) / double(Files) : kDefaultTileBytes;
}

TileSizeSample SampleTileSizes(const QString& taskFolder, const QString& filePrefix, qint64 maxEntries,
    const std::atomic<bool>& cancel, const QString& extension)
{
    TileSizeSample sample;
    qint64 entries = 0;
    const QString namePrefix = filePrefix + u'_';
    QDirIterator folders(taskFolder, QDir::Dirs | QDir::NoDotAndDotDot);
    while (folders.hasNext() && entries < maxEntries && !cancel) {
        folders.next();
        ++entries;
        QDirIterator files(folders.filePath(), QDir::Files);
        while (files.hasNext() && entries < maxEntries && !cancel) {
            files.next();
            ++entries;
            const QString name = files.fileName();
            if (name.startsWith(namePrefix) && name.endsWith(u'.' + extension)) {
                ++sample.Files;
                sample.Bytes += files.fileInfo().size();
            }
        }
    }
    return sample;
}
