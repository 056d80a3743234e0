#pragma once

#include <QByteArray>
#include <QString>

// A whole regular file read with bounds: never through a symbolic link, a
// pipe or device refused at once instead of blocking or reading forever,
// and no more than a cap however the file grows while it is read.
struct RegularFileBytes {
    enum class Outcome { Read, Missing, TooLarge, Refused };
    Outcome Result = Outcome::Missing;
    QByteArray Bytes;     // the whole file when Read
    qint64 FileSize = 0;  // as the folder gives it, also when TooLarge or Refused
    QString Problem;      // why it was Refused: "a symbolic link", "not a regular file" or the system's text
};

// A symbolic link at the path is refused unless `links` says to follow it
// (files the user may keep elsewhere on purpose, such as a settings file).
enum class LinkRule { Refuse, Follow };
RegularFileBytes ReadRegularFile(const QString& path, qint64 maxBytes, LinkRule links = LinkRule::Refuse);

// Raises FileWriteError "<path>: not a regular file" when something other
// than a regular file or a symbolic link sits at `path` (a pipe, a device,
// a socket, a folder): the task's own files are never opened as such, where
// an open could block or a write go nowhere. Nothing there is fine.
void RefuseUnlessRegularFile(const QString& path);
