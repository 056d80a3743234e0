#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// WebP tiles through libwebp (Qt reads WebP only with an extra plugin).
bool IsWebp(const QByteArray& bytes);
// The size the file's header gives; invalid when it is no WebP.
QSize WebpSize(const QByteArray& bytes);
// The whole image as 8-bit RGBA of `size` (from WebpSize); null when the
// data is damaged or cut short.
QImage ReadWebp(const QByteArray& bytes, QSize size);
