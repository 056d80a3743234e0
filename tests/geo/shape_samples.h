#pragma once

#include <QByteArray>

// Shape files the tests of shaped areas read.

// A ride through Zurich, and a waypoint far away that a GPX file's default
// layers (tracks and routes) leave out.
inline const QByteArray kGpxTrack = R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <wpt lat="47.9" lon="9.9"><name>far away</name></wpt>
  <trk><name>ride</name><trkseg>
    <trkpt lat="47.3713" lon="8.5417"/>
    <trkpt lat="47.3921" lon="8.5952"/>
    <trkpt lat="47.4107" lon="8.5703"/>
    <trkpt lat="47.4311" lon="8.6318"/>
  </trkseg></trk>
</gpx>
)";

// A square of 2 degrees with a hole of 1 degree: at zoom 10 whole tiles lie
// in the hole (columns 534..535, rows 359..361).
inline const QByteArray kPolygonWithHole = R"({"type": "FeatureCollection", "features": [{"type": "Feature",
  "properties": {}, "geometry": {"type": "Polygon", "coordinates": [
    [[7, 46], [9, 46], [9, 48], [7, 48], [7, 46]],
    [[7.5, 46.5], [7.5, 47.5], [8.5, 47.5], [8.5, 46.5], [7.5, 46.5]]]}}]}
)";
