#pragma once

#include <QtGlobal>

// A block of tiles of one zoom level, as a task's range holds them.
struct TileBlock {
    int Zoom = 17;
    int MinX = 0;
    int MaxX = 0;
    int MinY = 0;
    int MaxY = 0;

    qint64 Count() const { return qint64(MaxX - MinX + 1) * (MaxY - MinY + 1); }
};
