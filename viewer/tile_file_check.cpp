#include "viewer/tile_file_check.h"

#include "image/tile_image.h"
#include "task/tile_file_read.h"

TileFileContent ReadTileFile(const QString& path, const QString& fileName, const TileStateRule& rule, int edge)
{
    TileFileContent content;
    const TileFileBytes file = ReadTileFileBytes(path);
    content.Bytes = file.FileSize;
    switch (file.Result) {
    case TileFileBytes::Outcome::Missing:
        content.State = rule.ForMissingFile(fileName);
        return content;
    case TileFileBytes::Outcome::Refused:
        content.State = TileState::Unreadable;
        content.Problem = file.Problem;
        return content;
    case TileFileBytes::Outcome::Read:
        break;
    }
    const TileImage image = edge <= 0 ? CheckTileImage(file.Bytes) : DecodeTileImage(file.Bytes, [edge](QSize size) {
        return size.width() > edge || size.height() > edge ? size.scaled(edge, edge, Qt::KeepAspectRatio) : size;
    });
    content.Image = image.Image;
    content.Problem = image.Problem;
    content.State = rule.ForFile(file.Bytes, image.Decodes());
    return content;
}
