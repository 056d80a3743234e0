#include "run/task_progress.h"

#include "task/task_size_estimate.h"
#include "task/download_task.h"

#include <algorithm>
#include <cmath>

qint64 ShareTilesUpToPlace(qint64 places, int threadIndex, int threadCount)
{
    if (threadCount <= 0 || places < threadIndex || places <= 0)
        return 0;
    // Index 0 takes places threadCount, 2 x threadCount, ...; index i > 0
    // takes places i, i + threadCount, ...
    return (places - threadIndex) / threadCount + (threadIndex > 0 ? 1 : 0);
}

qint64 PlaceInWalk(const MDTask& task, int x, int y)
{
    if (task.Walk.IsShaped())
        return task.Walk.PlaceOf(x, y);
    return (qint64(x) - task.MinX) * (qint64(task.MaxY) - task.MinY + 1) + (qint64(y) - task.MinY) + 1;
}

qint64 WorkerFinishedTiles(const MDTask& task, int threadIndex, TilePosition position)
{
    qint64 places = 0;
    if (position.X != 0 || position.Y != 0)
        places = PlaceInWalk(task, position.X, position.Y);
    else if (task.ResumeX[threadIndex] != 0 && task.ResumeY[threadIndex] != 0)
        places = PlaceInWalk(task, task.ResumeX[threadIndex], task.ResumeY[threadIndex]);
    // A resume point from a hand-edited file may lie outside the range.
    places = std::clamp<qint64>(places, 0, task.TotalCount);
    return ShareTilesUpToPlace(places, threadIndex, task.Parameters->ThreadCount);
}

void ProgressRate::AddSample(qint64 timeMs, qint64 finishedTiles)
{
    samples_.push_back({timeMs, finishedTiles});
    while (samples_.size() > 1 && samples_.front().TimeMs < timeMs - kWindowMs)
        samples_.pop_front();
}

std::optional<double> ProgressRate::TilesPerSecond() const
{
    if (samples_.size() < 2)
        return std::nullopt;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    const qint64 spanMs = last.TimeMs - first.TimeMs;
    if (spanMs < 1000)
        return std::nullopt;
    return std::max<qint64>(0, last.Finished - first.Finished) * 1000.0 / double(spanMs);
}

QString TimeLeftText(double seconds)
{
    const qint64 minutes = qint64(std::llround(seconds / 60));
    if (seconds < 60)
        return QStringLiteral("about %1 s left").arg(std::max<qint64>(1, std::llround(seconds)));
    if (minutes < 60)
        return QStringLiteral("about %1 min left").arg(minutes);
    if (minutes < 48 * 60)
        return QStringLiteral("about %1 h %2 min left").arg(minutes / 60).arg(minutes % 60);
    return QStringLiteral("about %1 days left").arg(GroupedNumber(std::llround(seconds / 86400)));
}

QString ProgressText(qint64 finished, qint64 total, std::optional<double> tilesPerSecond, const QString& stage)
{
    const QString separator = QStringLiteral(" \u00b7 ");
    // Whole percent, rounded down: 100% only when every tile is done.
    const qint64 percent = total > 0 ? finished * 100 / total : 0;
    QString text = GroupedNumber(finished) + QStringLiteral(" / ") + GroupedNumber(total) + separator
        + QString::number(percent) + u'%';
    if (!stage.isEmpty())
        text += separator + stage;
    if (!tilesPerSecond)
        return text;
    text += separator + TwoSignificantDigits(*tilesPerSecond) + QStringLiteral(" tiles/s");
    if (*tilesPerSecond > 0 && finished < total)
        text += separator + TimeLeftText(double(total - finished) / *tilesPerSecond);
    return text;
}
