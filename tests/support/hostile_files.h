#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/stat.h>
#include <unistd.h>

// Files named like tiles that are no plain tile file, as a folder may hold them.
namespace hostile {

// `bytes` followed by zeros up to `size` bytes, without taking that space on disk.
inline bool WriteSparseFile(const QString& path, const QByteArray& bytes, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.resize(size);
}

inline bool MakeFifo(const QString& path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0644) == 0;
}

inline bool LinkToDevZero(const QString& path)
{
    return ::symlink("/dev/zero", QFile::encodeName(path).constData()) == 0;
}

}  // namespace hostile
