#include "task/tile_state.h"

#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/text_files.h"
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
    // Far above a real line; a list without line breaks stays cheap.
    constexpr qsizetype kMaxLineBytes = 64 * 1024;
    QSet<QString> names;
    try {
        TextLineReader list(failedListFile, kMaxLineBytes);
        while (const std::optional<TextLine> line = list.Next()) {
            const qsizetype bar = line->Text.indexOf(u'|');
            if (line->TooLong || bar < 0)
                continue;
            const QString path = line->Text.left(bar).trimmed();
            const qsizetype nameStart = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\')) + 1;
            const QString name = path.mid(nameStart);
            if (!name.isEmpty())
                names.insert(name);
        }
    } catch (const AppError&) {
        // An unreadable list names no more tiles than it gave so far.
    }
    return names;
}

QByteArray ReadShippedBlankImage(const QString& extension)
{
    QFile blank(ShippedFilesFolder() + QStringLiteral("blankimg") + FolderSeparator() + QStringLiteral("blank.") + extension);
    return blank.open(QIODevice::ReadOnly) ? blank.readAll() : QByteArray();
}

TileStateRule::TileStateRule(QByteArray blankImage, QSet<QString> failedTileNames)
    : blankImage_(std::move(blankImage)), failedTileNames_(std::move(failedTileNames))
{
}

TileStateRule TileStateRule::ForTask(const MDTask& task)
{
    return TileStateRule(ReadShippedBlankImage(task.ImageExtension()), ReadFailedTileNames(task.FailedFileName));
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
