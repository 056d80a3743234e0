#include "task/tile_state.h"

#include "platform/folders.h"
#include "task/download_task.h"

#include <QFile>

QString TileStateName(TileState state)
{
    switch (state) {
    case TileState::Stored: return QStringLiteral("stored");
    case TileState::Blank: return QStringLiteral("blank");
    case TileState::Failed: return QStringLiteral("failed");
    case TileState::Missing: return QStringLiteral("missing");
    case TileState::Unreadable: return QStringLiteral("unreadable");
    }
    return {};
}

QSet<QString> ReadFailedTileNames(const QString& failedListFile)
{
    QSet<QString> names;
    QFile list(failedListFile);
    if (!list.open(QIODevice::ReadOnly))
        return names;
    // Read line by line: a list passed around may be large.
    while (!list.atEnd()) {
        const QByteArray line = list.readLine();
        const qsizetype bar = line.indexOf('|');
        if (bar < 0)
            continue;
        const QString path = QString::fromLocal8Bit(line.left(bar)).trimmed();
        const qsizetype nameStart = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
        const QString name = path.mid(nameStart);
        if (!name.isEmpty())
            names.insert(name);
    }
    return names;
}

QByteArray ReadShippedBlankImage()
{
    QFile blank(ShippedFilesFolder() + QStringLiteral("blankimg") + FolderSeparator() + QStringLiteral("blank.png"));
    return blank.open(QIODevice::ReadOnly) ? blank.readAll() : QByteArray();
}

TileStateRule::TileStateRule(QByteArray blankImage, QSet<QString> failedTileNames)
    : blankImage_(std::move(blankImage)), failedTileNames_(std::move(failedTileNames))
{
}

TileStateRule TileStateRule::ForTask(const MDTask& task)
{
    return TileStateRule(ReadShippedBlankImage(), ReadFailedTileNames(task.FailedFileName));
}

TileState TileStateRule::ForFile(const QByteArray& bytes, bool decodes) const
{
    if (!decodes)
        return TileState::Unreadable;
    return IsBlank(bytes) ? TileState::Blank : TileState::Stored;
}

TileState TileStateRule::ForMissingFile(const QString& tileFileName) const
{
    return failedTileNames_.contains(tileFileName) ? TileState::Failed : TileState::Missing;
}

bool TileStateRule::IsBlank(const QByteArray& bytes) const
{
    return !blankImage_.isEmpty() && bytes == blankImage_;
}
