#pragma once

#include "combiner/combine.h"
#include "support/png_bytes.h"
#include "task/task_fixture.h"

#include <QImage>
#include <QStringList>

// The example task cut to 3 x 2 tiles at zoom 10 (columns 841..843, rows
// 387..388) whose tiles each have their own colour and a marked top-left and
// bottom-right pixel, so a misplaced tile shows at its corners.
struct CombinerTask : ExampleTask {
    std::unique_ptr<MDTask> task;

    CombinerTask()
    {
        parameters.BottomLatitude = 39.8;
        parameters.TaskName = QStringLiteral("area.qtsk");
        task = std::make_unique<MDTask>(&parameters);
        task->WriteProjectFile();
        task->CreateFailedTileList();
        for (int x = task->MinX; x <= task->MaxX; ++x)
            for (int y = task->MinY; y <= task->MaxY; ++y)
                WriteTile(x, y, TileImage(x, y));
    }

    QString ProjectFile() const { return parameters.Path + parameters.TaskName; }
    QString TilePath(int x, int y) const { return task->TileFilePath(x, y); }

    static QImage TileImage(int x, int y, int size = 256)
    {
        QImage image(size, size, QImage::Format_RGBA8888);
        image.fill(QColor(x % 256, y % 256, 100, 255));
        image.setPixelColor(0, 0, QColor(1, 2, 3, 4));
        image.setPixelColor(size - 1, size - 1, QColor(x % 256, 7, y % 256, 200));
        return image;
    }

    // Removes tile (x, y), then combines the task into `name` in its folder.
    QString CombineWithout(int x, int y, const QString& name, OutputFormat format) const;

    void WriteTile(int x, int y, const QImage& image) const { WriteTileBytes(x, y, PngBytes(image)); }
    void WriteTileBytes(int x, int y, const QByteArray& bytes) const
    {
        QFile file(TilePath(x, y));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }
};

// A further task beside a CombinerTask (a zoom series' member, another
// area), every tile written: TileImage, its blue channel `shade`, so the
// tiles of two tasks differ.
struct OtherTask {
    TaskParameters parameters;
    std::unique_ptr<MDTask> task;

    OtherTask(const CombinerTask& base, const QString& name, int zoom, int shade = 100, double shiftDegrees = 0)
        : parameters(base.parameters)
    {
        parameters.TaskName = name;
        parameters.Zoom = zoom;
        parameters.LeftLongitude += shiftDegrees;
        parameters.RightLongitude += shiftDegrees;
        task = std::make_unique<MDTask>(&parameters);
        task->WriteProjectFile();
        task->CreateFailedTileList();
        for (int x = task->MinX; x <= task->MaxX; ++x)
            for (int y = task->MinY; y <= task->MaxY; ++y) {
                QImage image = CombinerTask::TileImage(x, y);
                image.fill(QColor(x % 256, y % 256, shade, 255));
                QFile file(task->TileFilePath(x, y));
                file.open(QIODevice::WriteOnly);
                file.write(PngBytes(image));
            }
    }
    QString ProjectFile() const { return parameters.Path + parameters.TaskName; }
};

// Collects what a run reports.
struct RecordingObserver : CombineObserver {
    QStringList notes;
    CombineProgress last;
    int cancelAfterSpans = -1;  // -1: never

    void Progress(const CombineProgress& progress) override
    {
        last = progress;
        if (cancelAfterSpans > 0 && progress.Done > 0)
            --cancelAfterSpans;
    }
    void TileNote(const QString& line) override { notes << line; }
    bool CancelRequested() const override { return cancelAfterSpans == 0; }
};

inline QString CombinerTask::CombineWithout(int x, int y, const QString& name, OutputFormat format) const
{
    QFile::remove(TilePath(x, y));
    RecordingObserver observer;
    const QString target = folder.File(name);
    Combine({{ProjectFile()}, target, format}, observer);
    return target;
}

// Files in `folder` besides the task's own, for "nothing left behind".
inline QStringList OutputsIn(const TempFolder& folder)
{
    QStringList names = QDir(folder.Path()).entryList(QDir::Files);
    names.removeAll(QStringLiteral("area.qtsk"));
    names.removeAll(QStringLiteral("area_failed.ftl"));
    return names;
}
