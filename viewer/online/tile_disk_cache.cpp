#include "viewer/online/tile_disk_cache.h"

#include "platform/text_files.h"
#include "task/tile_file_read.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace {
const QByteArray kReceivedKey = "X-Received: ";
}

TileDiskCache::TileDiskCache(QString folder) : folder_(std::move(folder)) {}

QString TileDiskCache::FilePath(int zoom, int x, int y) const
{
    return QStringLiteral("%1/%2/%3/%4.tile").arg(folder_).arg(zoom).arg(x).arg(y);
}

std::optional<CachedTile> TileDiskCache::Read(int zoom, int x, int y) const
{
    // Bounded like any tile file: a pipe, device or huge file is no copy.
    const TileFileBytes file = ReadTileFileBytes(FilePath(zoom, x, y));
    if (file.Result != TileFileBytes::Outcome::Read)
        return std::nullopt;
    const QByteArray& content = file.Bytes;
    const qsizetype headEnd = content.indexOf("\n\n");
    if (headEnd < 0 || !content.startsWith(kReceivedKey))
        return std::nullopt;
    QList<QByteArray> lines = content.left(headEnd).split('\n');
    CachedTile tile;
    tile.ReceivedAt = QDateTime::fromString(QString::fromLatin1(lines.takeFirst().mid(kReceivedKey.size())),
        Qt::ISODateWithMs);
    if (!tile.ReceivedAt.isValid())
        return std::nullopt;
    tile.HeaderLines = lines;
    tile.Bytes = content.mid(headEnd + 2);
    return tile;
}

bool TileDiskCache::Write(int zoom, int x, int y, const CachedTile& tile) const
{
    const QString path = FilePath(zoom, x, y);
    if (!QDir().mkpath(QFileInfo(path).path()))
        return false;
    QByteArray head = kReceivedKey + tile.ReceivedAt.toUTC().toString(Qt::ISODateWithMs).toLatin1();
    for (const QByteArray& line : tile.HeaderLines) {
        // A line break inside a value would end the head early.
        if (!line.contains('\n') && !line.isEmpty())
            head += '\n' + line;
    }
    try {
        FileReplacement file(path);
        file.Write(head + "\n\n");
        file.Write(tile.Bytes);
        file.Commit();
        return true;
    } catch (const FileWriteError&) {
        return false;
    }
}

void TileDiskCache::Remove(int zoom, int x, int y) const
{
    QFile::remove(FilePath(zoom, x, y));
}

void TileDiskCache::Trim(qint64 maxBytes, const std::function<bool()>& shouldStop) const
{
    struct StoredFile {
        QString Path;
        QDateTime Written;
        qint64 Bytes;
    };
    std::vector<StoredFile> files;
    qint64 total = 0;
    QDirIterator walk(folder_, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext() && !shouldStop()) {
        walk.next();
        const QFileInfo info = walk.fileInfo();
        files.push_back({info.filePath(), info.lastModified(), info.size()});
        total += info.size();
    }
    if (total <= maxBytes)
        return;
    std::sort(files.begin(), files.end(),
        [](const StoredFile& a, const StoredFile& b) { return a.Written < b.Written; });
    const qint64 target = maxBytes - maxBytes / 4;
    for (const StoredFile& file : files) {
        if (total <= target || shouldStop())
            return;
        if (QFile::remove(file.Path))
            total -= file.Bytes;
    }
}
