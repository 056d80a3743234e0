#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

class MDTask;

// What a tile server said about one stored tile when it was fetched: how to
// ask for it again cheaply and how long it stays fresh. Times are seconds
// since 1970 (UTC).
struct TileValidators {
    qint64 FetchedAt = 0;
    qint64 FreshUntil = 0;  // 0: to be asked again before any use
    qint64 Bytes = 0;       // the tile file's size as fetched: a file of another size is not this one
    QByteArray ETag;
    QByteArray LastModified;
};

// The validators of a task's tiles, by TileValidatorKey.
using TileValidatorTable = QHash<quint64, TileValidators>;

inline quint64 TileValidatorKey(int x, int y)
{
    return (quint64(quint32(x)) << 32) | quint32(y);
}

// The task's one validator file beside its project file: "<stem>_validators.txt".
QString TileValidatorsFileName(const MDTask& task);

// One record of that file: one line, fields apart by a tab, no line end.
// Records only ever get appended, so the last record of a tile holds.
QByteArray TileValidatorsRecord(int x, int y, const TileValidators& validators);

// The records of the file, the last of each tile winning. A line cut short
// (a kill during a save) or not in the record's form is passed over; a
// missing or unreadable file gives an empty table.
TileValidatorTable ReadTileValidators(const QString& fileName, qint64* recordsRead = nullptr);

// Rewrites the file with one record per tile of `table`, replacing it whole
// (a kill leaves the old file), when it holds more than twice as many
// records: each refresh appends a record for every tile it renews.
void CompactTileValidators(const QString& fileName, const TileValidatorTable& table, qint64 recordsRead);
