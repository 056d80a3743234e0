#include "recovery/tile_file_check.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {
// No control characters, and none that another system reads as a folder or
// drive: a list written elsewhere ("D:\maps\os_1_2_3.png") names no file here.
bool IsPlainPngName(const QString& name)
{
    const QString suffix = QStringLiteral(".png");
    if (name.size() <= suffix.size() || !name.endsWith(suffix, Qt::CaseInsensitive))
        return false;
    return std::none_of(name.begin(), name.end(),
        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'\\' || c == u':'; });
}

// Both paths absolute and clean.
bool IsInside(const QString& path, const QString& folder)
{
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path.startsWith(prefix) && path.size() > prefix.size();
}

// The real place of the deepest folder on the way to `path` that exists.
QString CanonicalExistingParent(const QString& path)
{
    QString folder = QFileInfo(path).absolutePath();
    while (!QFileInfo::exists(folder))
        folder = QFileInfo(folder).absolutePath();
    return QFileInfo(folder).canonicalFilePath();
}
}

QString RefusalText(TileFileRefusal refusal)
{
    switch (refusal) {
    case TileFileRefusal::NoFileName:
        return QStringLiteral("no file name");
    case TileFileRefusal::NotPngTile:
        return QStringLiteral("not a .png tile file");
    case TileFileRefusal::OutsideListFolder:
        return QStringLiteral("outside the folder of the list");
    case TileFileRefusal::SymbolicLink:
        return QStringLiteral("a symbolic link");
    case TileFileRefusal::LineTooLong:
        return QStringLiteral("a line longer than %1 bytes").arg(kMaxFailedListLineBytes);
    }
    return {};
}

TileFileCheck CheckTileFile(const QString& fileName, const QString& listFolder)
{
    if (fileName.isEmpty())
        return {TileFileRefusal::NoFileName, {}};
    const QString folder = QDir::cleanPath(QDir(listFolder).absolutePath());
    const QString path = QDir::cleanPath(QDir(folder).absoluteFilePath(fileName));
    if (!IsPlainPngName(QFileInfo(path).fileName()))
        return {TileFileRefusal::NotPngTile, path};
    if (!IsInside(path, folder))
        return {TileFileRefusal::OutsideListFolder, path};
    const QString realFolder = QFileInfo(folder).canonicalFilePath();
    const QString realParent = CanonicalExistingParent(path);
    if (realFolder.isEmpty() || (realParent != realFolder && !IsInside(realParent, realFolder)))
        return {TileFileRefusal::OutsideListFolder, path};
    if (QFileInfo(path).isSymLink())
        return {TileFileRefusal::SymbolicLink, path};
    return {std::nullopt, path};
}
