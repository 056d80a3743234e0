#include "platform/folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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
    // The command line is read before any application object exists.
    if (!QCoreApplication::instance())
        return WithTrailingSeparator(QDir::toNativeSeparators(QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath()));
    return WithTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

void OverrideExecutableFolder(const QString& folder)
{
    ExecutableFolderOverride() = WithTrailingSeparator(folder);
}

namespace {
bool HoldsShippedFiles(const QString& folder)
{
    return QFileInfo(folder + QStringLiteral("ini/config.ini")).isFile()
        || QFileInfo(folder + QStringLiteral("blankimg")).isDir() || QFileInfo(folder + QStringLiteral("help")).isDir();
}

// Relative to the executable, so an install under any prefix or DESTDIR finds it.
QString InstalledShareFolder()
{
    return WithTrailingSeparator(
        QDir::toNativeSeparators(QDir::cleanPath(ExecutableFolder() + QStringLiteral(TESSALY_SHARE_FROM_BIN))));
}
}

QString ShippedFilesFolder()
{
    return IsInstalledLayout() ? InstalledShareFolder() : ExecutableFolder();
}

bool IsInstalledLayout()
{
    return !HoldsShippedFiles(ExecutableFolder()) && HoldsShippedFiles(InstalledShareFolder());
}

QString UserConfigFolder()
{
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.config");
    return WithTrailingSeparator(QDir::toNativeSeparators(QDir::cleanPath(base + QStringLiteral("/tessaly"))));
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
