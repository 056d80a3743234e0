#include "viewer/online/tile_disk_cache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QFile file(FilePath(zoom, x, y));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray content = file.readAll();
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(head + "\n\n");
    file.write(tile.Bytes);
    return file.commit();
}

void TileDiskCache::Remove(int zoom, int x, int y) const
{
    QFile::remove(FilePath(zoom, x, y));
}
