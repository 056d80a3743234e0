#pragma once

#include "viewer/viewed_task.h"

#include <QList>
#include <QObject>
#include <QRectF>
#include <memory>
#include <vector>

// The zoom level, of `zooms` (ascending), whose tiles are drawn closest to
// their own size when a tile of `mapZoom` is drawn `pixelsPerMapTile` wide;
// of two equally close, the deeper. Its index in `zooms`.
qsizetype ZoomClosestToTileSize(const QList<int>& zooms, int mapZoom, double pixelsPerMapTile);

// A task with the rest of its zoom series found beside it, one ViewedTask
// per zoom level, lowest first; a task outside any series is a series of one.
class ViewedSeries : public QObject {
    Q_OBJECT
public:
    // Raises AppError "Cannot open the task <file>: <reason>." when
    // `projectFile` itself cannot be opened; another member that cannot be
    // opened is left out.
    explicit ViewedSeries(const QString& projectFile, QObject* parent = nullptr);
    ~ViewedSeries() override;

    QString ProjectFile() const { return opened_->ProjectFile(); }
    // The task the series was opened by.
    ViewedTask& Opened() const { return *opened_; }
    QList<ViewedTask*> Tasks() const;
    QList<int> Zooms() const;
    int DeepestZoom() const { return tasks_.back()->Zoom(); }
    bool IsSeries() const { return tasks_.size() > 1; }

    bool IsListed() const;
    bool IsCounted() const;
    qint64 FilesChecked() const;
    qint64 FilesToCheck() const;

signals:
    // A task's counts or the progress of its scan have changed.
    void CountsChanged();

private:
    std::vector<std::unique_ptr<ViewedTask>> tasks_;
    ViewedTask* opened_ = nullptr;
};
