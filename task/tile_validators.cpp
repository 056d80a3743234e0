#include "task/tile_validators.h"

#include "task/download_task.h"

#include "platform/file_replacement.h"

#include <QFile>
#include <utility>

namespace {
constexpr int kFieldCount = 7;

// Validators come from reply heads; a record never holds a tab or a line end
// of one.
bool FitsRecord(const QByteArray& value)
{
    for (const char c : value)
        if (c == '\t' || c == '\r' || c == '\n')
            return false;
    return true;
}

std::optional<std::pair<quint64, TileValidators>> ReadRecord(const QByteArray& line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() != kFieldCount)
        return std::nullopt;
    bool ok[5] = {};
    const int x = fields[0].toInt(&ok[0]);
    const int y = fields[1].toInt(&ok[1]);
    TileValidators validators;
    validators.FetchedAt = fields[2].toLongLong(&ok[2]);
    validators.FreshUntil = fields[3].toLongLong(&ok[3]);
    validators.Bytes = fields[4].toLongLong(&ok[4]);
    for (const bool fieldOk : ok)
        if (!fieldOk)
            return std::nullopt;
    validators.ETag = fields[5];
    validators.LastModified = fields[6];
    return std::pair{TileValidatorKey(x, y), validators};
}
}

QString TileValidatorsFileName(const MDTask& task)
{
    return task.Parameters->Path + MDTask::TaskBase(task.Parameters->TaskName) + QStringLiteral("_validators.txt");
}

QByteArray TileValidatorsRecord(int x, int y, const TileValidators& validators)
{
    QByteArray record;
    record.reserve(64 + validators.ETag.size() + validators.LastModified.size());
    for (const qint64 number : {qint64(x), qint64(y), validators.FetchedAt, validators.FreshUntil, validators.Bytes})
        record += QByteArray::number(number) + '\t';
    if (FitsRecord(validators.ETag))
        record += validators.ETag;
    record += '\t';
    if (FitsRecord(validators.LastModified))
        record += validators.LastModified;
    return record;
}

TileValidatorTable ReadTileValidators(const QString& fileName, qint64* recordsRead)
{
    TileValidatorTable table;
    qint64 records = 0;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (recordsRead)
            *recordsRead = 0;
        return table;
    }
    // Only lines with their end made it to the disk whole.
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break;
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (const auto record = ReadRecord(line)) {
            table.insert(record->first, record->second);
            ++records;
        }
    }
    if (recordsRead)
        *recordsRead = records;
    return table;
}

void CompactTileValidators(const QString& fileName, const TileValidatorTable& table, qint64 recordsRead)
{
    if (recordsRead <= 2 * table.size())
        return;
    FileReplacement replacement(fileName);
    QByteArray lines;
    for (auto tile = table.begin(); tile != table.end(); ++tile) {
        lines += TileValidatorsRecord(int(tile.key() >> 32), int(quint32(tile.key())), tile.value()) + "\r\n";
        if (lines.size() >= (1 << 20))
            replacement.Write(std::exchange(lines, QByteArray()));
    }
    replacement.Write(lines);
    replacement.Commit();
}
