#include "combiner/tile_task_summary.h"
#include "combiner_fixture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPainter>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {
// A tile as a map server draws one: flat land, roads and blocks in a few
// colours, saved as a palette PNG.
QByteArray MapLikeTile(int x, int y)
{
    QRandomGenerator random(quint32(x * 7919 + y));
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(242, 239, 233));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 30; ++i) {
        painter.setPen(QPen(QColor::fromHsv(random.bounded(360), 60, 220), random.bounded(1, 6)));
        painter.drawLine(random.bounded(256), random.bounded(256), random.bounded(256), random.bounded(256));
        painter.fillRect(random.bounded(240), random.bounded(240), random.bounded(4, 30), random.bounded(4, 20),
            QColor::fromHsv(random.bounded(360), 30, 200));
    }
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_Indexed8).save(&buffer, "PNG");
    return bytes;
}

// A task of zoom 12 over the example area: 12 x 8 tiles, two of them
// missing.
struct SampleTask {
    CombinerTask base;
    OtherTask task{base, QStringLiteral("sample.qtsk"), 12};

    SampleTask()
    {
        const MDTask& t = *task.task;
        for (int x = t.MinX; x <= t.MaxX; ++x)
            for (int y = t.MinY; y <= t.MaxY; ++y) {
                QFile file(t.TileFilePath(x, y));
                file.open(QIODevice::WriteOnly);
                file.write(MapLikeTile(x, y));
            }
        QFile::remove(t.TileFilePath(t.MinX, t.MinY));
        QFile::remove(t.TileFilePath(t.MaxX, t.MaxY));
    }
};
}

// The window's estimate against the file the combiner writes, for every
// format: within a quarter, the overviews and lower zooms counted.
TEST(OutputEstimate, ComesWithinAQuarterOfTheCombinedFileInEveryFormat)
{
    SampleTask sample;
    const TileTaskSummary summary = SummariseTask(*sample.task.task);
    ASSERT_GT(summary.Sample.Tiles, 12);
    constexpr int kLowerZooms = 9;
    const struct {
        OutputFormat Format;
        bool Overviews;
    } outputs[] = {{OutputFormat::GeoTiff, true}, {OutputFormat::GeoTiff, false}, {OutputFormat::Png, false},
        {OutputFormat::MBTiles, false}, {OutputFormat::GeoPackage, false}};
    for (const auto& [format, overviews] : outputs) {
        const bool tileSet = format == OutputFormat::MBTiles || format == OutputFormat::GeoPackage;
        CombineRequest request{{sample.task.ProjectFile()}, sample.base.folder.File("out.") + OutputFormatSuffix(format),
            format};
        request.LowerZooms = tileSet ? kLowerZooms : -1;
        request.Overviews = overviews;
        RecordingObserver observer;
        Combine(request, observer);
        const double written = double(QFileInfo(request.Target).size());
        ASSERT_GT(written, 0) << OutputFormatSuffix(format).toStdString();
        const double estimate = double(EstimateOutputBytes(summary, format, overviews)
            + (tileSet ? EstimateLowerZoomBytes(summary, summary.Geometry.Zoom - kLowerZooms) : 0));
        EXPECT_NEAR(estimate / written, 1.0, 0.25)
            << OutputFormatSuffix(format).toStdString() << (overviews ? " with overviews" : "") << ": estimate "
            << estimate << ", written " << written;
    }
}
