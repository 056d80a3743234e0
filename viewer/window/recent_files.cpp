#include "viewer/window/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace {
const QString kKey = QStringLiteral("RecentFiles");

QSettings ViewerSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tessaly"), QStringLiteral("orvane"));
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
