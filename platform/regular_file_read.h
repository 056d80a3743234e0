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

RegularFileBytes ReadRegularFile(const QString& path, qint64 maxBytes);
