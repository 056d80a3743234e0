#pragma once

#include <QByteArray>
#include <cmath>
#include <numbers>

// A route north-east from Gibraltar's latitude with a point every 50 m,
// winding a little as real routes do.
inline QByteArray RouteGpx(double kilometres)
{
    const double metresPerDegree = 111195.0;
    const int points = static_cast<int>(kilometres * 20);
    QByteArray gpx = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"bench\" "
                     "xmlns=\"http://www.topografix.com/GPX/1/1\"><trk><trkseg>\n";
    double lon = -4.5;
    double lat = 36.5;
    for (int i = 0; i <= points; ++i) {
        const double bearing = std::numbers::pi / 4 + 0.4 * std::sin(i / 300.0);
        gpx += QByteArray("<trkpt lat=\"") + QByteArray::number(lat, 'f', 7) + "\" lon=\""
            + QByteArray::number(lon, 'f', 7) + "\"/>\n";
        lat += 50 * std::cos(bearing) / metresPerDegree;
        lon += 50 * std::sin(bearing) / (metresPerDegree * std::cos(lat * std::numbers::pi / 180));
    }
    return gpx + "</trkseg></trk></gpx>\n";
}
