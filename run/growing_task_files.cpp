#include "run/growing_task_files.h"

#include "platform/text_files.h"

#include <QFile>

void GrowingTaskFiles::BeginTask()
{
    log_.clear();
    failed_.clear();
    validators_.clear();
}

void GrowingTaskFiles::Add(QByteArray& pending, const QStringList& lines)
{
    for (const QString& line : lines) {
        pending += line.toLocal8Bit();
        pending += "\r\n";
    }
}

void GrowingTaskFiles::AppendValidators(const QByteArray& records)
{
    validators_ += records;
}

void GrowingTaskFiles::Save(QByteArray& pending, const QString& fileName)
{
    if (pending.isEmpty())
        return;
    QFile file(fileName);
    OpenForAppend(file);
    const qint64 sizeBefore = file.size();
    try {
        if (!WriteAll(file, pending) || !file.flush())
            throw FileWriteError(fileName, file.errorString());
        SyncToDisk(file);
    } catch (const FileWriteError&) {
        file.resize(sizeBefore);
        throw;
    }
    pending.clear();
}
