#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

// Why a line of a failed-tile list may not be written. A list is a file users
// pass around, so a line may only name a tile image inside the folder that
// holds the list (where a task keeps its image folder), and never through a
// symbolic link that could lead elsewhere.
enum class TileFileRefusal {
    NoFileName,
    NotPngTile,         // the last component is not a plain ".png" name
    OutsideListFolder,  // also through a linked folder on the way
    SymbolicLink,       // the tile file itself is a link: never followed or replaced
    LineTooLong,        // longer than kMaxFailedListLineBytes: no real file name and address
};
constexpr int kTileFileRefusalKinds = 5;

// Far above a real line (a path, "|" and an address), so a list without
// line breaks cannot fill the memory.
constexpr qsizetype kMaxFailedListLineBytes = 64 * 1024;

// The reason as a skipped line gives it, e.g. "not a .png tile file".
QString RefusalText(TileFileRefusal refusal);

struct TileFileCheck {
    std::optional<TileFileRefusal> Refusal;
    QString Path;  // absolute, "." and ".." resolved: the file to write when not refused
};

// `fileName` as the list gives it; a relative name counts from `listFolder`.
TileFileCheck CheckTileFile(const QString& fileName, const QString& listFolder);
