// The four text files a task writes at Start: project file, tile list, log
// and failed-tile list.

#include "task/download_task.h"

#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "platform/number_text.h"
#include "platform/regular_file_read.h"
#include "platform/text_files.h"
#include "task/stored_source.h"
#include "task/task_walk_of.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

namespace {
const QByteArray kTileListHeader =
    "ImageFileName    Left_Edge_Longitude    Right_Edge_Longitude   Top_Edge_Latitude      Bottom_Edge_Latitude";

QString Integer(qint64 value)
{
    return QString::number(value);
}

// The number of decimal digits written for all of first..last (none negative).
qint64 DigitsFrom(qint64 first, qint64 last)
{
    qint64 digits = 0;
    for (qint64 width = 1, low = 0, high = 9; low <= last; ++width, low = high + 1, high = high * 10 + 9) {
        const qint64 from = std::max(first, low);
        const qint64 to = std::min(last, high);
        if (from <= to)
            digits += (to - from + 1) * width;
    }
    return digits;
}

// A tile list line, formed in place: the list of a large task has millions.
class LineBuilder {
public:
    void Clear() { size_ = 0; }
    void Append(QByteArrayView text)
    {
        std::memcpy(chars_ + size_, text.data(), static_cast<std::size_t>(text.size()));
        size_ += text.size();
    }
    void Append(char c) { chars_[size_++] = c; }
    void AppendInteger(int value) { size_ = std::to_chars(chars_ + size_, End(), value).ptr - chars_; }

    // "%20.14f": right-aligned in at least 20 characters, 14 decimals, a "."
    // point whatever the locale. to_chars rounds exactly as printf does.
    void AppendFixedReal(double value)
    {
        char digits[400];
        const qsizetype length = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 14).ptr - digits;
        for (qsizetype pad = length; pad < 20; ++pad)
            Append(' ');
        Append(QByteArrayView(digits, length));
    }

    QByteArrayView View() const { return QByteArrayView(chars_, size_); }

private:
    char* End() { return chars_ + sizeof chars_; }

    char chars_[256];
    qsizetype size_ = 0;
};

// The latitude texts of the row edges. Every column repeats them, so the
// first rows' texts are formed once; memory stays bounded for tall ranges,
// whose further rows are formed as they come.
class RowEdgeTexts {
public:
    RowEdgeTexts(int firstRow, int lastEdge, int zoom) : firstRow_(firstRow), zoom_(zoom)
    {
        const qint64 edges = std::min<qint64>(qint64(lastEdge) - firstRow + 1, kCachedEdges);
        for (qint64 i = 0; i < edges; ++i) {
            LineBuilder text;
            text.AppendFixedReal(TileYToLatitude(static_cast<double>(firstRow + i), zoom));
            cached_.emplace_back(text.View().toByteArray());
        }
    }

    // Valid until Edge() is called again for a row edge of the same parity.
    QByteArrayView Edge(int row)
    {
        const qint64 index = qint64(row) - firstRow_;
        if (index < qint64(cached_.size()))
            return cached_[static_cast<std::size_t>(index)];
        LineBuilder& scratch = scratch_[row & 1];
        scratch.Clear();
        scratch.AppendFixedReal(TileYToLatitude(row, zoom_));
        return scratch.View();
    }

private:
    static constexpr qint64 kCachedEdges = 1 << 16;

    int firstRow_;
    int zoom_;
    std::vector<QByteArray> cached_;
    LineBuilder scratch_[2];
};
}

void MDTask::WriteProjectFile() const
{
    const TaskParameters& p = *Parameters;
    if (p.Continue) {
        if (p.Source)
            RecordSourceTemplate(p.Path + p.TaskName, p.Source->Url);
        return;
    }
    QStringList lines{
        QStringLiteral("[MapsType]"),
        QStringLiteral("MapsType=") + Integer(p.MapsType),
        QString(),
    };
    if (p.Source)
        lines << StoredSourceLines(*p.Source);
    lines << QStringList{
        QStringLiteral("[AREA]"),
        QStringLiteral("LeftLongitude=") + GeneralRealText(p.LeftLongitude),
        QStringLiteral("RightLongitude=") + GeneralRealText(p.RightLongitude),
        QStringLiteral("TopLatitude=") + GeneralRealText(p.TopLatitude),
        QStringLiteral("BottomLatitude=") + GeneralRealText(p.BottomLatitude),
    };
    if (p.Shape)
        lines << QStringLiteral("AreaFile=") + p.Shape->FileName;
    lines << QStringList{
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

void MDTask::WriteTaskFiles(const QDateTime& now, const StopRequest& stopRequested) const
{
    for (const QString& name : {Parameters->Path + Parameters->TaskName, ListFileName, LogFileName, FailedFileName})
        RefuseUnlessRegularFile(name);
    if (!Parameters->Continue)
        QFile::remove(Parameters->Path + Parameters->TaskName);
    WriteAreaFile();
    WriteTileList(stopRequested);
    WriteTaskLog(now);
    CreateFailedTileList();
    WriteProjectFile();
}

// A new shaped task writes its area file; a continued one keeps the file it
// was read from.
void MDTask::WriteAreaFile() const
{
    const std::shared_ptr<const ShapedArea>& shape = Parameters->Shape;
    const QString fileName = Parameters->Path + (shape ? shape->FileName : QString());
    if (!shape || (Parameters->Continue && QFileInfo::exists(fileName)))
        return;
    if (const QString problem = shape->Write(fileName); !problem.isEmpty())
        throw AppError(problem);
}

// Every field of a line has a fixed width except the two numbers in the
// file name, so the size of a whole list follows from the walk alone.
qint64 MDTask::TileListSize() const
{
    // name parts, ": ", four fields of 20 characters with a blank between them, CR LF
    const qint64 fixedPerLine = TileListLinePrefix().size() + 1 + TileListNameSuffix().size() + 4 * 20 + 3 + 2;
    qint64 size = kTileListHeader.size() + 2 + TotalCount * fixedPerLine;
    if (!Walk.IsShaped()) {
        const qint64 columns = qint64(MaxX) - MinX + 1;
        const qint64 rows = qint64(MaxY) - MinY + 1;
        return size + rows * DigitsFrom(MinX, MaxX) + columns * DigitsFrom(MinY, MaxY);
    }
    for (int x = MinX; x <= MaxX; ++x) {
        for (const RowSpan& span : Walk.Column(x))
            size += (qint64(span.Last) - span.First + 1) * DigitsFrom(x, x) + DigitsFrom(span.First, span.Last);
    }
    return size;
}

void MDTask::WriteTileList(const StopRequest& stopRequested) const
{
    if (Parameters->Continue && QFileInfo(ListFileName).size() == TileListSize())
        return;
    const int zoom = Parameters->Zoom;
    TextLineWriter list(ListFileName, ListFileName + QStringLiteral(".part"));
    // Asked every so many lines: often enough for a stop to be quick, seldom
    // enough to cost nothing.
    constexpr qint64 kLinesPerStopQuestion = 1 << 16;
    qint64 lines = 0;
    list.WriteLine(kTileListHeader);

    // A line is TileFileName(x, y) + ": " + west east north south; what
    // stays the same along a column is formed once per column.
    const QByteArray namePrefix = TileListLinePrefix();
    const QByteArray nameSuffix = TileListNameSuffix();
    RowEdgeTexts rowEdges(MinY, MaxY + 1, zoom);
    const TaskWalk walk = WalkOf(*this);
    LineBuilder columnStart, line;
    for (int x = MinX; x <= MaxX; ++x) {
        columnStart.Clear();
        columnStart.Append(namePrefix);
        columnStart.AppendInteger(x);
        columnStart.Append('_');
        const qsizetype nameStart = columnStart.View().size();
        columnStart.AppendFixedReal(TileXToLongitude(x, zoom));
        columnStart.Append(' ');
        columnStart.AppendFixedReal(TileXToLongitude(static_cast<double>(x) + 1, zoom));
        columnStart.Append(' ');
        const QByteArrayView westEast = columnStart.View().sliced(nameStart);
        for (const RowSpan& span : walk.Column(x)) {
            for (int y = span.First; y <= span.Last; ++y) {
                line.Clear();
                line.Append(columnStart.View().first(nameStart));
                line.AppendInteger(y);
                line.Append(nameSuffix);
                line.Append(westEast);
                line.Append(rowEdges.Edge(y));
                line.Append(' ');
                line.Append(rowEdges.Edge(y + 1));
                list.WriteLine(line.View());
                if (++lines % kLinesPerStopQuestion == 0 && stopRequested && stopRequested())
                    throw StartStopped();
            }
        }
    }
    list.Commit();
}

QByteArray MDTask::TileListLinePrefix() const
{
    return (MapFilePrefix(Parameters->MapsType, Parameters->Source.get()) + u'_').toLocal8Bit();
}

QByteArray MDTask::TileListNameSuffix() const
{
    return (u'_' + QString::number(Parameters->Zoom) + u'.' + ImageExtension() + QStringLiteral(": ")).toLocal8Bit();
}

void MDTask::AppendPauseLine(QStringList& lines) const
{
    if (const auto line = Parameters->PauseAfterTile.LogLine())
        lines << *line;
}

// A log that is missing or empty (a Start cut short before it was written)
// starts afresh, so that the task can still be continued. A task without a
// saved position never ran (the Map Viewer writes such project files): its
// log is a new task's.
void MDTask::WriteTaskLog(const QDateTime& now) const
{
    const QString timeLine = QStringLiteral("Now time is:") + LocalDateTimeText(now);
    if (Parameters->Continue && QFileInfo(LogFileName).size() > 0) {
        QStringList lines = ReadTextLines(LogFileName);
        lines << QString(44, u'-') << QStringLiteral("Log continue...") << timeLine;
        AppendPauseLine(lines);
        WriteTextLines(LogFileName, lines);
        return;
    }
    QStringList lines = NewLogLines(timeLine);
    if (Parameters->Continue && HasResumePoint())
        lines.prepend(QStringLiteral("The earlier log of this task was missing; this log starts afresh."));
    WriteTextLines(LogFileName, lines);
}

QStringList MDTask::NewLogLines(const QString& timeLine) const
{
    const TaskParameters& p = *Parameters;
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
          << QString();
    if (p.Shape)
        lines << QStringLiteral("Area file: ") + p.Shape->FileName << QString();
    lines << QStringLiteral("MinX = ") + Integer(MinX)
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
    AppendPauseLine(lines);
    return lines;
}

bool MDTask::HasResumePoint() const
{
    return std::any_of(std::begin(ResumeX), std::end(ResumeX), [](int x) { return x != 0; })
        || std::any_of(std::begin(ResumeY), std::end(ResumeY), [](int y) { return y != 0; });
}

void MDTask::CreateFailedTileList() const
{
    if (!Parameters->Continue || !QFileInfo::exists(FailedFileName))
        WriteTextLines(FailedFileName, {});
}
