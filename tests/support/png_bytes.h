#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>

// The PNG file of `image`, as a tile server sends it or a task stores it.
inline QByteArray PngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}
