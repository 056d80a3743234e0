#pragma once

#include "task/tile_state.h"

#include <QImage>
#include <QString>

// One tile file read and decoded, as the scan and the image decoder see it.
struct TileFileContent {
    TileState State = TileState::Missing;
    QImage Image;      // null unless the file decodes and an image was asked for
    qint64 Bytes = 0;  // size of the file
    QString Problem;   // why the file is unreadable, e.g. "not a regular file"
};

// Reads the file at `path` (named `fileName` in the failed-tile list) and
// decodes it; `edge` > 0 asks for an image of at most edge x edge pixels,
// scaled smoothly. With `edge` 0 the file is only checked to decode.
TileFileContent ReadTileFile(const QString& path, const QString& fileName, const TileStateRule& rule, int edge = 0);
