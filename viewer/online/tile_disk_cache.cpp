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

TileDiskCache::TileDiskCache(QString folder, qint64 maxBytes) : folder_(std::move(folder)), maxBytes_(maxBytes) {}

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

bool TileDiskCache::Write(int zoom, int x, int y, const CachedTile& tile)
{
    const QString path = FilePath(zoom, x, y);
    QByteArray head = kReceivedKey + tile.ReceivedAt.toUTC().toString(Qt::ISODateWithMs).toLatin1();
    for (const QByteArray& line : tile.HeaderLines) {
        // A line break inside a value would end the head early.
        if (!line.contains('\n') && !line.isEmpty())
            head += '\n' + line;
    }
    head += "\n\n";
    const qint64 bytes = head.size() + tile.Bytes.size();
    if (bytes > maxBytes_)
        return false;
    if (!Reserve(bytes)) {
        std::lock_guard trimming(trimMutex_);
        // Waiting for a trim under way may have made room, or learnt the total.
        if (!Reserve(bytes)) {
            const qint64 target = std::min(maxBytes_ - maxBytes_ / 4, maxBytes_ - bytes);
            TrimTo(target, target, [] { return false; });
            if (!Reserve(bytes))
                return false;
        }
    }
    const qint64 replaced = QFileInfo(path).size();
    bool written = false;
    try {
        if (QDir().mkpath(QFileInfo(path).path())) {
            FileReplacement file(path);
            file.Write(head);
            file.Write(tile.Bytes);
            file.Commit();
            written = true;
        }
    } catch (const FileWriteError&) {
        // The cache is a convenience: callers carry on without the copy.
    }
    std::lock_guard lock(totalMutex_);
    pending_ -= bytes;
    if (written)
        total_ += bytes - replaced;
    return written;
}

void TileDiskCache::Remove(int zoom, int x, int y)
{
    const QString path = FilePath(zoom, x, y);
    const qint64 bytes = QFileInfo(path).size();
    if (QFile::remove(path)) {
        std::lock_guard lock(totalMutex_);
        total_ -= bytes;
    }
}

void TileDiskCache::Trim(const std::function<bool()>& shouldStop)
{
    std::lock_guard trimming(trimMutex_);
    TrimTo(maxBytes_, maxBytes_ - maxBytes_ / 4, shouldStop);
}

qint64 TileDiskCache::TotalBytes() const
{
    std::lock_guard lock(totalMutex_);
    return total_;
}

bool TileDiskCache::Reserve(qint64 bytes)
{
    std::lock_guard lock(totalMutex_);
    if (!known_ || total_ + pending_ + bytes > maxBytes_)
        return false;
    pending_ += bytes;
    return true;
}

void TileDiskCache::TrimTo(qint64 above, qint64 target, const std::function<bool()>& shouldStop)
{
    struct StoredFile {
        QString Path;
        QDateTime Written;
        qint64 Bytes;
    };
    std::vector<StoredFile> files;
    qint64 total = 0;
    QDirIterator walk(folder_, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        if (shouldStop())
            return;
        walk.next();
        const QFileInfo info = walk.fileInfo();
        files.push_back({info.filePath(), info.lastModified(), info.size()});
        total += info.size();
    }
    // The files of writes under way may or may not be in the walk: counting
    // them again at their end errs on the side of trimming early.
    if (total > above) {
        std::sort(files.begin(), files.end(),
            [](const StoredFile& a, const StoredFile& b) { return a.Written < b.Written; });
        for (const StoredFile& file : files) {
            if (total <= target || shouldStop())
                break;
            if (QFile::remove(file.Path))
                total -= file.Bytes;
        }
    }
    std::lock_guard lock(totalMutex_);
    total_ = total;
    known_ = true;
}
