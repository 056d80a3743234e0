#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString& ExecutableFolderOverride()
{
    static QString folder;
    return folder;
}
}

QChar FolderSeparator()
{
    return QDir::separator();
}

QString WithTrailingSeparator(const QString& folder)
{
    if (folder.isEmpty() || folder.endsWith(FolderSeparator()) || folder.endsWith(u'/'))
        return folder;
    return folder + FolderSeparator();
}

QString ExecutableFolder()
{
    if (!ExecutableFolderOverride().isEmpty())
        return ExecutableFolderOverride();
    return WithTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

void OverrideExecutableFolder(const QString& folder)
{
    ExecutableFolderOverride() = WithTrailingSeparator(folder);
}

QString DefaultUserFolder(const QString& name)
{
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\") + name;
#else
    return QDir::toNativeSeparators(QDir::homePath() + u'/' + name);
#endif
}

bool CreateFolderOneLevel(const QString& folder)
{
    QDir dir(folder);
    if (dir.exists())
        return true;
    return QDir().mkdir(QDir::cleanPath(folder));
}
