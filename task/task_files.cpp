// The four text files a task writes at Start: project file, tile list, log
// and failed-tile list.

#include "task/download_task.h"

#include "geo/tile_math.h"
#include "platform/number_text.h"
#include "platform/text_files.h"

#include <QStringList>
#include <cstdio>

namespace {
QString Integer(qint64 value)
{
    return QString::number(value);
}

// "%20.14f": right-aligned in at least 20 characters, 14 decimals, a "." point.
void AppendFixedReal(QByteArray& line, double value)
{
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%20.14f", value);
    line.append(buffer, length);
}
}

void MDTask::WriteProjectFile() const
{
    if (Parameters->Continue)
        return;
    const TaskParameters& p = *Parameters;
    QStringList lines{
        QStringLiteral("[MapsType]"),
        QStringLiteral("MapsType=") + Integer(p.MapsType),
        QString(),
        QStringLiteral("[AREA]"),
        QStringLiteral("LeftLongitude=") + GeneralRealText(p.LeftLongitude),
        QStringLiteral("RightLongitude=") + GeneralRealText(p.RightLongitude),
        QStringLiteral("TopLatitude=") + GeneralRealText(p.TopLatitude),
        QStringLiteral("BottomLatitude=") + GeneralRealText(p.BottomLatitude),
        QString(),
        QStringLiteral("Left_Longitude_download=") + GeneralRealText(LeftLongitudeDownload),
        QStringLiteral("Right_Longitude_download=") + GeneralRealText(RightLongitudeDownload),
        QStringLiteral("Top_Latitude_download=") + GeneralRealText(TopLatitudeDownload),
        QStringLiteral("Bottom_Latitude_download=") + GeneralRealText(BottomLatitudeDownload),
        QString(),
        QStringLiteral("[Zoom]"),
        QStringLiteral("Zoom=") + Integer(p.Zoom),
        QString(),
        QStringLiteral("[XY]"),
        QStringLiteral("MinX=") + Integer(MinX),
        QStringLiteral("MinY=") + Integer(MinY),
        QStringLiteral("MaxX=") + Integer(MaxX),
        QStringLiteral("MaxY=") + Integer(MaxY),
        QString(),
        QStringLiteral("[THREADS]"),
        QStringLiteral("ThreadCount=") + Integer(p.ThreadCount),
    };
    for (int n = 1; n <= p.ThreadSlots; ++n) {
        lines << QStringLiteral("T") + Integer(n) + QStringLiteral("X=");
        lines << QStringLiteral("T") + Integer(n) + QStringLiteral("Y=");
    }
    lines << QString();
    WriteTextLines(p.Path + p.TaskName, lines);
}

void MDTask::WriteTileList() const
{
    if (Parameters->Continue)
        return;
    const int zoom = Parameters->Zoom;
    TextLineWriter list(ListFileName);
    list.WriteLine(QByteArrayLiteral(
        "ImageFileName    Left_Edge_Longitude    Right_Edge_Longitude   Top_Edge_Latitude      Bottom_Edge_Latitude"));
    QByteArray line;
    for (int x = MinX; x <= MaxX; ++x) {
        const double west = TileXToLongitude(x, zoom);
        const double east = TileXToLongitude(static_cast<double>(x) + 1, zoom);
        for (int y = MinY; y <= MaxY; ++y) {
            line = TileFileName(x, y).toLocal8Bit();
            line.append(": ", 2);
            AppendFixedReal(line, west);
            line.append(' ');
            AppendFixedReal(line, east);
            line.append(' ');
            AppendFixedReal(line, TileYToLatitude(y, zoom));
            line.append(' ');
            AppendFixedReal(line, TileYToLatitude(static_cast<double>(y) + 1, zoom));
            list.WriteLine(line);
        }
    }
    list.Commit();
}

void MDTask::WriteTaskLog(const QDateTime& now) const
{
    const TaskParameters& p = *Parameters;
    const QString timeLine = QStringLiteral("Now time is:") + LocalDateTimeText(now);
    if (p.Continue) {
        QStringList lines = ReadTextLines(LogFileName);
        lines << QString(44, u'-') << QStringLiteral("Log continue...") << timeLine;
        WriteTextLines(LogFileName, lines);
        return;
    }

    QStringList lines{
        QStringLiteral("Project: ") + p.Path + p.TaskName,
        timeLine,
        QString(),
        QStringLiteral("[MapsType]"),
        QStringLiteral("MapsType=") + Integer(p.MapsType),
        QString(),
    };
    if (p.UseProxy) {
        // The password never appears in clear text in a log that users share.
        lines << QStringLiteral("Using Proxy:")
              << QStringLiteral("Proxy Server:") + p.ProxyServer
              << QStringLiteral("Proxy Port:") + p.ProxyPort
              << QStringLiteral("ProxyUsername:") + p.ProxyUsername
              << QStringLiteral("ProxyPassword:") + (p.ProxyPassword.isEmpty() ? QString() : QStringLiteral("********"))
              << QString();
    }
    lines << QStringLiteral("Left Longitude  input= ") + GeneralRealText(p.LeftLongitude)
          << QStringLiteral("Right Longitude input= ") + GeneralRealText(p.RightLongitude)
          << QStringLiteral("Top Latitude    input= ") + GeneralRealText(p.TopLatitude)
          << QStringLiteral("Bottom Latitude input= ") + GeneralRealText(p.BottomLatitude)
          << QString()
          << QStringLiteral("MinX = ") + Integer(MinX)
          << QStringLiteral("MinY = ") + Integer(MinY)
          << QStringLiteral("MaxX = ") + Integer(MaxX)
          << QStringLiteral("MaxY = ") + Integer(MaxY)
          << QString()
          << QStringLiteral("Left Longitude  download=") + GeneralRealText(LeftLongitudeDownload)
          << QStringLiteral("Right Longitude download=") + GeneralRealText(RightLongitudeDownload)
          << QStringLiteral("Top Latitude    download=") + GeneralRealText(TopLatitudeDownload)
          << QStringLiteral("Bottom Latitude download=") + GeneralRealText(BottomLatitudeDownload)
          << QString()
          << QStringLiteral("All images' scope information are saved to ") + ListFileName
          << QString()
          << QStringLiteral("Total count of images would be downloaded: ") + Integer(TotalCount)
          << QString()
          << QStringLiteral("Download threads count: ") + Integer(p.ThreadCount)
          << QString()
          << QStringLiteral("Zoom level: ") + Integer(p.Zoom)
          << QString()
          << QStringLiteral("path: ") + p.Path
          << QString()
          << QStringLiteral("Start downloading...")
          << QString(34, u'~');
    WriteTextLines(LogFileName, lines);
}

void MDTask::CreateFailedTileList() const
{
    if (!Parameters->Continue)
        WriteTextLines(FailedFileName, {});
}
