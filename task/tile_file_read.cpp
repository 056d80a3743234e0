#include "task/tile_file_read.h"

#include "platform/regular_file_read.h"

TileFileBytes ReadTileFileBytes(const QString& path)
{
    RegularFileBytes file = ReadRegularFile(path, kMaxTileFileBytes);
    TileFileBytes tile;
    tile.Bytes = std::move(file.Bytes);
    tile.FileSize = file.FileSize;
    tile.Problem = std::move(file.Problem);
    switch (file.Result) {
    case RegularFileBytes::Outcome::Read: tile.Result = TileFileBytes::Outcome::Read; break;
    case RegularFileBytes::Outcome::Missing: tile.Result = TileFileBytes::Outcome::Missing; break;
    case RegularFileBytes::Outcome::Refused: tile.Result = TileFileBytes::Outcome::Refused; break;
    case RegularFileBytes::Outcome::TooLarge:
        tile.Result = TileFileBytes::Outcome::Refused;
        tile.Problem = QStringLiteral("larger than %1 MiB").arg(kMaxTileFileBytes >> 20);
        break;
    }
    return tile;
}
