#include "map_like_tiles.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>

namespace {
// A street map's colours.
constexpr QRgb kLand = 0xfff2efe9, kResidential = 0xffe0dfdf, kWater = 0xffaad3df, kPark = 0xffc8facc,
               kForest = 0xffadd19e, kBuilding = 0xffd9d0c9, kBuildingEdge = 0xffc4b6ab, kRoad = 0xffffffff,
               kCasing = 0xffbbbbbb, kPrimary = 0xfffcd6a4, kPrimaryCasing = 0xffa17f38, kMotorway = 0xffe892a2,
               kRail = 0xff707070, kBoundary = 0xffac46ac, kText = 0xff333333, kWaterText = 0xff4d80b3;
constexpr std::array kColours = {kLand, kResidential, kWater, kPark, kForest, kBuilding, kBuildingEdge, kRoad, kCasing,
    kPrimary, kPrimaryCasing, kMotorway, kRail, kBoundary, kText, kWaterText};
// The colours the others are drawn over, so that edges blend into them.
constexpr std::array kGrounds = {kLand, kResidential, kRoad, kWater};
constexpr int kBlendSteps = 4;

QRgb Blend(QRgb a, QRgb b, int step, int steps)
{
    const auto mix = [&](int x, int y) { return (x * (steps - step) + y * step) / steps; };
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

// One palette for every tile (GDAL's mosaic wants them equal): each colour
// and its antialiased blends into each ground, 208 entries.
const QList<QRgb>& MapPalette()
{
    static const QList<QRgb> palette = [] {
        QList<QRgb> colours(kColours.begin(), kColours.end());
        for (const QRgb ground : kGrounds)
            for (const QRgb colour : kColours)
                for (int step = 1; step < kBlendSteps; ++step)
                    if (colour != ground)
                        colours << Blend(ground, colour, step, kBlendSteps);
        return colours;
    }();
    return palette;
}

QPointF RandomPoint(QRandomGenerator& random, int margin = 40)
{
    return QPointF(random.bounded(-margin, 256 + margin), random.bounded(-margin, 256 + margin));
}

QPolygonF RandomBlock(QRandomGenerator& random, QPointF centre, double size)
{
    QPolygonF polygon;
    const int corners = 4 + random.bounded(4);
    for (int i = 0; i < corners; ++i) {
        const double angle = 2 * M_PI * i / corners + random.bounded(0.5);
        const double radius = size * (0.6 + random.bounded(0.4));
        polygon << centre + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    return polygon;
}

void DrawAreas(QPainter& painter, QRandomGenerator& random)
{
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < 3; ++i) {
        const std::array fills = {kResidential, kPark, kForest, kWater};
        painter.setBrush(QColor(fills[size_t(random.bounded(int(fills.size())))]));
        painter.drawPolygon(RandomBlock(random, RandomPoint(random), 40 + random.bounded(80)));
    }
    // Buildings: small rotated rectangles with a darker outline.
    painter.setPen(QPen(QColor(kBuildingEdge), 1));
    painter.setBrush(QColor(kBuilding));
    const int buildings = random.bounded(40);
    for (int i = 0; i < buildings; ++i) {
        painter.save();
        painter.translate(RandomPoint(random, 0));
        painter.rotate(random.bounded(90));
        painter.drawRect(QRectF(0, 0, 6 + random.bounded(14), 6 + random.bounded(14)));
        painter.restore();
    }
}

QPainterPath RandomRoad(QRandomGenerator& random)
{
    QPainterPath path(RandomPoint(random));
    path.cubicTo(RandomPoint(random), RandomPoint(random), RandomPoint(random));
    return path;
}

void DrawRoads(QPainter& painter, QRandomGenerator& random)
{
    painter.setBrush(Qt::NoBrush);
    struct Kind { QRgb casing, fill; double width; };
    const std::array kinds = {Kind{kCasing, kRoad, 5}, Kind{kPrimaryCasing, kPrimary, 8}, Kind{kPrimaryCasing, kMotorway, 10}};
    const int roads = 3 + random.bounded(6);
    for (int i = 0; i < roads; ++i) {
        const Kind kind = kinds[size_t(random.bounded(100) < 70 ? 0 : 1 + random.bounded(2))];
        const QPainterPath road = RandomRoad(random);
        painter.setPen(QPen(QColor(kind.casing), kind.width + 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(road);
        painter.setPen(QPen(QColor(kind.fill), kind.width, Qt::SolidLine, Qt::RoundCap));
        painter.drawPath(road);
    }
    if (random.bounded(4) == 0) {
        painter.setPen(QPen(QColor(kRail), 2, Qt::DashLine));
        painter.drawPath(RandomRoad(random));
    }
    if (random.bounded(6) == 0) {
        painter.setPen(QPen(QColor(kBoundary), 3, Qt::DashDotLine));
        painter.drawPath(RandomRoad(random));
    }
}

// A glyph of a label: two or three short strokes and curves in a 5 x 8 cell.
void DrawGlyph(QPainter& painter, QRandomGenerator& random, QPointF at)
{
    QPainterPath glyph;
    const int strokes = 2 + random.bounded(2);
    for (int s = 0; s < strokes; ++s) {
        const QPointF from = at + QPointF(random.bounded(6.0), random.bounded(9.0));
        const QPointF to = at + QPointF(random.bounded(6.0), random.bounded(9.0));
        glyph.moveTo(from);
        if (random.bounded(2) == 0)
            glyph.lineTo(to);
        else
            glyph.quadTo(at + QPointF(random.bounded(6.0), random.bounded(9.0)), to);
    }
    painter.drawPath(glyph);
}

void DrawLabels(QPainter& painter, QRandomGenerator& random)
{
    const int labels = random.bounded(2, 8);
    for (int i = 0; i < labels; ++i) {
        const QPointF start = RandomPoint(random, 20);
        const int length = 3 + random.bounded(10);
        const QRgb ink = random.bounded(5) == 0 ? kWaterText : kText;
        // A white halo under the ink, as map labels have: the same glyphs twice.
        const quint32 shapes = random.generate();
        for (const auto& [colour, width] : {std::pair{kRoad, 3.0}, std::pair{ink, 1.1}}) {
            QRandomGenerator glyphs(shapes);
            painter.setPen(QPen(QColor(colour), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            for (int g = 0; g < length; ++g)
                DrawGlyph(painter, glyphs, start + QPointF(g * 7, 0));
        }
    }
}
}

QByteArray MakeMapLikeTile(QRandomGenerator& random)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(QColor(kLand));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawAreas(painter, random);
    DrawRoads(painter, random);
    DrawLabels(painter, random);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.convertToFormat(QImage::Format_Indexed8, MapPalette(), Qt::ThresholdDither).save(&buffer, "PNG");
    return bytes;
}
