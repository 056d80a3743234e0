#pragma once

#include <QByteArray>
#include <QString>

// A tile file is whatever a server sent or anyone put in the folder, so it is
// read with bounds: only a regular file (never through a symbolic link, and
// a pipe or device is refused at once instead of blocking or reading
// forever), and only up to a size far above any real tile.
constexpr qint64 kMaxTileFileBytes = qint64(16) << 20;

struct TileFileBytes {
    enum class Outcome { Read, Missing, Refused };
    Outcome Result = Outcome::Missing;
    QByteArray Bytes;  // the whole file when Read
    qint64 FileSize = 0;  // as the folder gives it, also when Refused
    QString Problem;   // why it was Refused, e.g. "not a regular file"
};

TileFileBytes ReadTileFileBytes(const QString& path);
