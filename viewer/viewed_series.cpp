#include "viewer/viewed_series.h"

#include "platform/app_error.h"
#include "task/zoom_series.h"

#include <QFileInfo>
#include <cmath>

qsizetype ZoomClosestToTileSize(const QList<int>& zooms, int mapZoom, double pixelsPerMapTile)
{
    qsizetype closest = 0;
    double closestDistance = INFINITY;
    for (qsizetype i = 0; i < zooms.size(); ++i) {
        // How many times too large or too small its tiles are drawn, as a power of two.
        const double drawn = std::ldexp(pixelsPerMapTile, mapZoom - zooms[i]);
        const double distance = std::abs(std::log2(drawn / 256.0));
        if (distance <= closestDistance) {
            closest = i;
            closestDistance = distance;
        }
    }
    return closest;
}

ViewedSeries::ViewedSeries(const QString& projectFile, QObject* parent) : QObject(parent)
{
    auto opened = std::make_unique<ViewedTask>(projectFile);
    const QString openedPath = QFileInfo(projectFile).absoluteFilePath();
    const int openedZoom = opened->Zoom();
    for (const SeriesTask& member : FindSeriesBeside(projectFile)) {
        if (QFileInfo(member.ProjectFile).absoluteFilePath() == openedPath) {
            if (!opened)
                continue;
            tasks_.push_back(std::move(opened));
            opened_ = tasks_.back().get();
            continue;
        }
        try {
            auto task = std::make_unique<ViewedTask>(member.ProjectFile);
            // Its file is named for its zoom; a task that says otherwise is not one of the series.
            if (task->Zoom() == member.Zoom && member.Zoom != openedZoom)
                tasks_.push_back(std::move(task));
        } catch (const AppError&) {
            // Shown without it: the member opened by the user is what was asked for.
        }
    }
    if (!opened_) {
        tasks_.push_back(std::move(opened));
        opened_ = tasks_.back().get();
    }
    std::stable_sort(tasks_.begin(), tasks_.end(), [](const auto& a, const auto& b) { return a->Zoom() < b->Zoom(); });
    for (const auto& task : tasks_)
        connect(task.get(), &ViewedTask::CountsChanged, this, &ViewedSeries::CountsChanged);
}

ViewedSeries::~ViewedSeries() = default;

QList<ViewedTask*> ViewedSeries::Tasks() const
{
    QList<ViewedTask*> tasks;
    for (const auto& task : tasks_)
        tasks.append(task.get());
    return tasks;
}

QList<int> ViewedSeries::Zooms() const
{
    QList<int> zooms;
    for (const auto& task : tasks_)
        zooms.append(task->Zoom());
    return zooms;
}

bool ViewedSeries::IsListed() const
{
    return std::all_of(tasks_.begin(), tasks_.end(), [](const auto& task) { return task->IsListed(); });
}

bool ViewedSeries::IsCounted() const
{
    return std::all_of(tasks_.begin(), tasks_.end(), [](const auto& task) { return task->IsCounted(); });
}

qint64 ViewedSeries::FilesChecked() const
{
    qint64 checked = 0;
    for (const auto& task : tasks_)
        checked += task->FilesChecked();
    return checked;
}

qint64 ViewedSeries::FilesToCheck() const
{
    qint64 toCheck = 0;
    for (const auto& task : tasks_)
        toCheck += task->FilesToCheck();
    return toCheck;
}
