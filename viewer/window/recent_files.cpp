#include "viewer/window/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
const QString kKey = QStringLiteral("RecentFiles");

// Earlier versions kept the list in a folder of their own, "Tessaly" beside
// the main program's "tessaly": it moves into the one folder of all three.
void MoveEarlierSettings(const QString& fileName)
{
    const QString earlier = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessaly"), QStringLiteral("orvane")).fileName();
    if (earlier == fileName || !QFileInfo::exists(earlier) || QFileInfo::exists(fileName))
        return;
    if (QDir().mkpath(QFileInfo(fileName).path()) && QFile::rename(earlier, fileName))
        QDir().rmdir(QFileInfo(earlier).path());  // only when nothing else is left there
}

QSettings ViewerSettings()
{
    const QString fileName = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/tessaly/orvane.conf");
    MoveEarlierSettings(fileName);
    return QSettings(fileName, QSettings::IniFormat);
}
}

QStringList RecentFiles::Files() const
{
    return ViewerSettings().value(kKey).toStringList();
}

void RecentFiles::Add(const QString& file)
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    QStringList files = Files();
    files.removeAll(absolute);
    files.prepend(absolute);
    while (files.size() > kMaxFiles)
        files.removeLast();
    ViewerSettings().setValue(kKey, files);
}
