#pragma once

#include "platform/folders.h"
#include "support/png_bytes.h"
#include "task/task_fixture.h"

#include <QDir>
#include <QImage>
#include <memory>
#include <vector>

// The example task (columns 841..843, rows 387..389 at zoom 10) with its
// project file written by the task and an empty image folder; the shipped
// blank image in a fake executable folder.
struct ViewerTask : ExampleTask {
    TempFolder executableFolder;
    std::unique_ptr<MDTask> task;

    ViewerTask()
    {
        task = std::make_unique<MDTask>(&parameters);
        task->WriteProjectFile();
        QDir(executableFolder.Path()).mkpath(QStringLiteral("blankimg"));
        executableFolder.Write(QStringLiteral("blankimg/blank.png"), Png(QSize(256, 256), Qt::white));
        OverrideExecutableFolder(executableFolder.Path());
    }
    ~ViewerTask() { OverrideExecutableFolder(QString()); }

    QString ProjectFile() const { return parameters.Path + parameters.TaskName; }

    static QByteArray Png(QSize size, QColor color)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(color);
        return PngBytes(image);
    }

    void WriteTile(int x, int y, const QByteArray& bytes) const
    {
        QFile file(task->TileFilePath(x, y));
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
    }

    // A failed-tile list naming the tiles under another folder, as after a move.
    void WriteFailedList(const QList<QPoint>& tiles) const
    {
        QByteArray lines;
        for (const QPoint& tile : tiles)
            lines += ("C:\\moved\\view\\" + task->TileFileName(tile.x(), tile.y()) + "|http://t/1.png\r\n").toLocal8Bit();
        QFile file(task->FailedFileName);
        file.open(QIODevice::WriteOnly);
        file.write(lines);
    }

    // One tile in each state: (841,387) stored, (842,387) blank, (843,387)
    // unreadable, (841,388) failed, the rest missing; (842,388) is stored
    // but not 256 x 256.
    void WriteOneTileOfEachState() const
    {
        WriteTile(841, 387, Png(QSize(256, 256), Qt::darkGreen));
        WriteTile(842, 387, Png(QSize(256, 256), Qt::white));
        WriteTile(843, 387, Png(QSize(256, 256), Qt::red).left(200));
        WriteTile(842, 388, Png(QSize(100, 50), Qt::blue));
        WriteFailedList({QPoint(841, 388)});
    }
};

// A zoom series of the example area, zoom 10 to 12 (alps_z10.qtsk ...), each
// task with every tile stored in a colour of its own zoom level.
struct ViewerSeries : ViewerTask {
    static constexpr int kFirstZoom = 10;
    static constexpr int kLastZoom = 12;
    std::vector<std::unique_ptr<TaskParameters>> members;
    std::vector<std::unique_ptr<MDTask>> memberTasks;

    ViewerSeries()
    {
        for (int zoom = kFirstZoom; zoom <= kLastZoom; ++zoom)
            AddMember(zoom, QStringLiteral("alps_z%1.qtsk").arg(zoom), true);
    }

    static QColor ColourOf(int zoom) { return QColor::fromHsv((zoom * 70) % 360, 200, 200); }

    // A task of the example area at `zoom` named `name`, its tiles stored when `filled`.
    MDTask& AddMember(int zoom, const QString& name, bool filled)
    {
        members.push_back(std::make_unique<TaskParameters>(parameters));
        members.back()->Zoom = zoom;
        members.back()->TaskName = name;
        memberTasks.push_back(std::make_unique<MDTask>(members.back().get()));
        MDTask& member = *memberTasks.back();
        member.WriteProjectFile();
        if (filled) {
            const QByteArray png = Png(QSize(256, 256), ColourOf(zoom));
            for (int x = member.MinX; x <= member.MaxX; ++x)
                for (int y = member.MinY; y <= member.MaxY; ++y) {
                    QFile file(member.TileFilePath(x, y));
                    file.open(QIODevice::WriteOnly);
                    file.write(png);
                }
        }
        return member;
    }

    QString MemberFile(int zoom) const { return folder.File(QStringLiteral("alps_z%1.qtsk").arg(zoom)); }
};
