#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

class MDTask;

// What a task brought home for one tile, as the Map Viewer shows it and the
// Map Combiner reports it. Decided in this order: a file that does not decode
// is Unreadable; a file identical to the shipped blank image is Blank (the
// placeholder a worker leaves for a tile it could not fetch, not map data);
// any other file is Stored; no file and a line of the failed-tile list naming
// it is Failed; otherwise Missing.
enum class TileState { Stored, Blank, Failed, Missing, Unreadable };

// "stored", "blank", "failed", "missing", "unreadable".
QString TileStateName(TileState state);

// The tile file names a failed-tile list names: the part of each line before
// "|", without its folder. Matching by name keeps a moved task folder working.
// A missing or unreadable list names none.
QSet<QString> ReadFailedTileNames(const QString& failedListFile);

// The blank image that ships beside the executable, in the format of the
// extension (what a worker copies in place of a tile); empty when it is missing.
QByteArray ReadShippedBlankImage(const QString& extension = QStringLiteral("png"));

class TileStateRule {
public:
    TileStateRule(QByteArray blankImage, QSet<QString> failedTileNames);

    // The rule for a task: the shipped blank image and the task's failed list.
    static TileStateRule ForTask(const MDTask& task);

    // A tile whose file exists: `decodes` says whether its bytes decode as an image.
    TileState ForFile(const QByteArray& bytes, bool decodes) const;
    // A tile without a file.
    TileState ForMissingFile(const QString& tileFileName) const;

    bool IsBlank(const QByteArray& bytes) const;

private:
    QByteArray blankImage_;
    QSet<QString> failedTileNames_;
};
