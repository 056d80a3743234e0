#pragma once

#include <QImage>

// Images of lower resolution made by 2 x 2 averaging with alpha taken into
// account: pixels are averaged premultiplied, so a transparent pixel adds no
// colour to its neighbours.

// A 256 x 256 tile in the premultiplied format the averaging works in,
// transparent where `tile` is null.
QImage PremultipliedTile(const QImage& tile);

// `source` (even sides; premultiplied RGBA, or RGBA with unassociated alpha,
// premultiplied on the way) at half its width and height, premultiplied.
QImage HalveImage(const QImage& source);

// Copies `half` (premultiplied RGBA, 128 x 128) into quarter (qx, qy) of
// `tile` (premultiplied RGBA, 256 x 256).
void PlaceQuarter(QImage& tile, const QImage& half, int qx, int qy);
