#include "viewer/tile_style.h"

QColor TileStateColor(TileState state)
{
    switch (state) {
    case TileState::Stored: return QColor(0x43, 0xa0, 0x47);
    case TileState::Blank: return QColor(0x90, 0xa4, 0xae);
    case TileState::Failed: return QColor(0xe5, 0x39, 0x35);
    case TileState::Missing: return QColor(0xec, 0xec, 0xe6);
    case TileState::Unreadable: return QColor(0xfb, 0x8c, 0x00);
    }
    return UnknownTileColor();
}

QColor UnknownTileColor()
{
    return QColor(0xc8, 0xc8, 0xc8);
}

QList<TileState> LegendStates()
{
    return {TileState::Stored, TileState::Blank, TileState::Failed, TileState::Missing, TileState::Unreadable};
}
