#include "run/refresh_start.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "task/task_size_estimate.h"

#include <QFile>

namespace {
QByteArray BlankImage(const MDTask& task)
{
    QFile blank(ShippedFilesFolder() + QStringLiteral("blankimg") + FolderSeparator() + QStringLiteral("blank.")
        + task.ImageExtension());
    return blank.open(QIODevice::ReadOnly) ? blank.readAll() : QByteArray();
}

QString AgeText(qint64 seconds)
{
    if (seconds % 86400 == 0)
        return QString::number(seconds / 86400) + QStringLiteral(" days");
    if (seconds % 3600 == 0)
        return QString::number(seconds / 3600) + QStringLiteral(" hours");
    if (seconds % 60 == 0)
        return QString::number(seconds / 60) + QStringLiteral(" minutes");
    return QString::number(seconds) + QStringLiteral(" seconds");
}
}

void PrepareRefresh(PreparedTask& task, const RefreshSelection& selection)
{
    TaskParameters& parameters = *task.Parameters;
    if (!parameters.Continue)
        throw Refusal({QStringLiteral("Nothing to refresh: ") + parameters.Path + parameters.TaskName
            + QStringLiteral(" has not been downloaded with these inputs.")});
    const QString validatorsFile = TileValidatorsFileName(*task.Task);
    qint64 records = 0;
    TileValidatorTable validators = ReadTileValidators(validatorsFile, &records);
    CompactTileValidators(validatorsFile, validators, records);
    parameters.Keeping = std::make_shared<TileKeeping>(selection, std::move(validators), BlankImage(*task.Task));
    for (int i = 0; i < MaxDownThreads; ++i) {
        task.Task->ResumeX[i] = 0;
        task.Task->ResumeY[i] = 0;
    }
}

QString RefreshBeginLine(const RefreshSelection& selection)
{
    switch (selection.Which) {
    case RefreshSelection::Choice::NoLongerFresh:
        return QStringLiteral("Refreshing the tiles that are no longer fresh...");
    case RefreshSelection::Choice::FetchedBefore:
        return QStringLiteral("Refreshing the tiles fetched more than ") + AgeText(selection.OlderThanSeconds)
            + QStringLiteral(" ago...");
    case RefreshSelection::Choice::All:
        break;
    }
    return QStringLiteral("Refreshing every tile...");
}

QString RefreshEndLine(const RefreshCounts& counts, qint64 failed)
{
    return QStringLiteral("Refresh: %1 unchanged, %2 changed, %3 gone, %4 failed, %5 not asked (still fresh); "
                          "%6 received against %7 for a full download")
        .arg(GroupedNumber(counts.Unchanged), GroupedNumber(counts.Changed), GroupedNumber(counts.Gone),
            GroupedNumber(failed), GroupedNumber(counts.NotAsked), ApproximateSizeText(double(counts.BytesReceived)),
            ApproximateSizeText(double(counts.FullDownloadBytes)));
}
