#include "viewer/tile_file_check.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

TileFileContent ReadTileFile(const QString& path, const QString& fileName, const TileStateRule& rule, int edge)
{
    TileFileContent content;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        content.State = file.exists() ? TileState::Unreadable : rule.ForMissingFile(fileName);
        return content;
    }
    QByteArray bytes = file.readAll();
    content.Bytes = bytes.size();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (edge > 0 && size.isValid() && (size.width() > edge || size.height() > edge))
        reader.setScaledSize(size.scaled(edge, edge, Qt::KeepAspectRatio));
    content.Image = reader.read();
    content.State = rule.ForFile(bytes, !content.Image.isNull());
    return content;
}
