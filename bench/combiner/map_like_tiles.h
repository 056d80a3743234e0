#pragma once

#include <QByteArray>
#include <QRandomGenerator>

// Tiles that compress like a rendered street map's: flat land, water and
// parks, buildings with outlines, cased roads, and labels of small
// antialiased glyphs, quantised without dithering to one palette of the
// map's colours and the blends between them, saved as a palette PNG as a
// tile server sends it. Glyphs are drawn as strokes, not with a font, so the
// tiles are the same on every machine.
QByteArray MakeMapLikeTile(QRandomGenerator& random);
