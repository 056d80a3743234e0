#pragma once

#include "task/map_source.h"

#include <QBuffer>
#include <QImage>
#include <memory>

// A map source of 512-pixel JPEG tiles, as a task records it.
inline std::shared_ptr<const MapSource> JpegTestSource()
{
    MapSource source;
    source.Name = QStringLiteral("Ortho");
    source.Prefix = QStringLiteral("ortho");
    source.Url = QStringLiteral("http://127.0.0.1/{z}/{x}/{y}.jpg");
    source.Format = TileFormat::Jpeg;
    source.TileSize = 512;
    source.Attribution = QStringLiteral("(c) Ortho Office");
    return std::make_shared<const MapSource>(source);
}

inline QByteArray JpegBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_RGB888).save(&buffer, "JPEG", 95);
    return bytes;
}
