#include "task/download_task.h"

#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "settings/ini_file.h"

#include <QFileInfo>
#include <QLocale>
#include <utility>

namespace {
// Workers number their tiles with 32-bit places.
constexpr qint64 kMaxTileCount = INT32_MAX;
}

MDTask::MDTask(const TaskParameters* parameters) : Parameters(parameters)
{
    if (Parameters->Zoom < kMinZoom || Parameters->Zoom > kMaxZoom)
        throw AppError(QStringLiteral("Zoom level %1 is not supported: it must lie between %2 and %3.")
                           .arg(Parameters->Zoom).arg(kMinZoom).arg(kMaxZoom));
    ComputeTileRange();
    if (TotalCount > kMaxTileCount)
        throw AppError(QStringLiteral("The area holds %1 tiles at zoom level %2, more than one task can "
                                      "download (at most %3). Choose a smaller area or a lower zoom level.")
                           .arg(TotalCount).arg(Parameters->Zoom).arg(kMaxTileCount));

    const QString base = Parameters->Path + TaskBase(Parameters->TaskName);
    LogFileName = base + QStringLiteral("_log.txt");
    FailedFileName = base + QStringLiteral("_failed.ftl");
    ListFileName = base + QStringLiteral("_list.txt");
    ImageFolder = base + FolderSeparator();

    if (!CreateFolderOneLevel(ImageFolder))
        throw AppError(QStringLiteral("Create directory ") + ImageFolder + QStringLiteral(" Failed."));

    if (Parameters->Continue)
        ReadResumePoints();
}

void MDTask::ComputeTileRange()
{
    const int zoom = Parameters->Zoom;
    MinX = LongitudeToTileX(Parameters->LeftLongitude, zoom);
    MaxX = LongitudeToTileX(Parameters->RightLongitude, zoom);
    const int southRow = LatitudeToTileY(Parameters->BottomLatitude, zoom);
    const int northRow = LatitudeToTileY(Parameters->TopLatitude, zoom);
    MinY = southRow;
    MaxY = northRow;
    LeftLongitudeDownload = TileXToLongitude(MinX, zoom);
    RightLongitudeDownload = TileXToLongitude(static_cast<double>(MaxX) + 1, zoom);
    TopLatitudeDownload = TileYToLatitude(northRow, zoom);
    BottomLatitudeDownload = TileYToLatitude(static_cast<double>(southRow) + 1, zoom);
    if (MaxY < MinY)
        std::swap(MinY, MaxY);
    TotalCount = (qint64(MaxX) - MinX + 1) * (qint64(MaxY) - MinY + 1);
}

void MDTask::ReadResumePoints()
{
    const TIniFile project(Parameters->Path + Parameters->TaskName);
    for (int i = 0; i < Parameters->ThreadCount && i < MaxDownThreads; ++i) {
        const QString thread = QStringLiteral("T") + QString::number(i + 1);
        ResumeX[i] = project.ReadInteger(QStringLiteral("THREADS"), thread + u'X', 0);
        ResumeY[i] = project.ReadInteger(QStringLiteral("THREADS"), thread + u'Y', 0);
    }
}

QString MDTask::TaskBase(const QString& taskName)
{
    const QString extension = QFileInfo(taskName).fileName().contains(u'.')
        ? taskName.mid(taskName.lastIndexOf(u'.'))
        : QString();
    return taskName.left(taskName.size() - extension.size());
}

QString MDTask::TileUrl(int x, int y) const
{
    const QString addressTemplate = Parameters->Servers.TemplateFor(Parameters->MapsType);
    if (addressTemplate.isEmpty())
        return {};
    return FillTileAddress(addressTemplate, Parameters->Zoom, x, y);
}

QString MDTask::TileFileName(int x, int y) const
{
    return MapTypeFilePrefix(Parameters->MapsType) + u'_' + QString::number(x) + u'_' + QString::number(y)
        + u'_' + QString::number(Parameters->Zoom) + u'.' + ImageExtension();
}

QString MDTask::TileFilePath(int x, int y) const
{
    return ImageFolder + TileFileName(x, y);
}

QString MDTask::ImageExtension() const
{
    return QStringLiteral("png");
}
