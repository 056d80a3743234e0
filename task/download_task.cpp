#include "task/download_task.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "settings/ini_file.h"
#include "task/tile_range.h"

#include <QFileInfo>
#include <QLocale>

MDTask::MDTask(const TaskParameters* parameters) : Parameters(parameters)
{
    DescribeTask();
    if (!CreateFolderOneLevel(ImageFolder))
        throw AppError(QStringLiteral("Create directory ") + ImageFolder + QStringLiteral(" Failed."));

    if (Parameters->Continue)
        ReadResumePoints();
}

MDTask::MDTask(const TaskParameters* parameters, ReadOnly) : Parameters(parameters)
{
    DescribeTask();
}

void MDTask::DescribeTask()
{
    const TaskTileRange computed = ComputeTaskTileRange(*Parameters);
    if (computed.Refusal)
        throw AppError(*computed.Refusal);
    const TileRange& range = computed.Range;
    MinX = range.MinX;
    MinY = range.MinY;
    MaxX = range.MaxX;
    MaxY = range.MaxY;
    LeftLongitudeDownload = range.LeftLongitude;
    RightLongitudeDownload = range.RightLongitude;
    TopLatitudeDownload = range.TopLatitude;
    BottomLatitudeDownload = range.BottomLatitude;
    TotalCount = range.TotalCount;
    Walk = Parameters->Cover ? TaskWalk(Parameters->Cover) : TaskWalk(MinX, MinY, MaxX, MaxY);

    const QString base = Parameters->Path + TaskBase(Parameters->TaskName);
    LogFileName = base + QStringLiteral("_log.txt");
    FailedFileName = base + QStringLiteral("_failed.ftl");
    ListFileName = base + QStringLiteral("_list.txt");
    ImageFolder = base + FolderSeparator();
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

QString MDTask::AddressTemplate() const
{
    const MapSource* source = Parameters->Source.get();
    return source ? source->Url : Parameters->Servers.TemplateFor(Parameters->MapsType);
}

QString MDTask::TileUrl(int x, int y) const
{
    const QString addressTemplate = AddressTemplate();
    if (addressTemplate.isEmpty())
        return {};
    const MapSource* source = Parameters->Source.get();
    return FillTileAddress(addressTemplate, Parameters->Zoom, x, y, source ? source->Subdomains : QStringList());
}

QString MDTask::TileFileName(int x, int y) const
{
    return MapFilePrefix(Parameters->MapsType, Parameters->Source.get()) + u'_' + QString::number(x) + u'_' + QString::number(y)
        + u'_' + QString::number(Parameters->Zoom) + u'.' + ImageExtension();
}

QString MDTask::TileFilePath(int x, int y) const
{
    return ImageFolder + TileFileName(x, y);
}

QString MDTask::ImageExtension() const
{
    return Parameters->Source ? Parameters->Source->Extension() : QStringLiteral("png");
}
