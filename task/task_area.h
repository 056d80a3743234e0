#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <functional>
#include <memory>

class TileCover;

// The area of a shaped task as the task core sees it: the name of its area
// file beside the project file (NAME.area.geojson; every member of a zoom
// series names the same one) and its tiles at any zoom. Whoever reads the
// shape (the command line, the main window, opening a project file) makes
// it; a task without one is a rectangle task.
struct ShapedArea {
    QString FileName;    // as the project file names it: no folder
    QString ShapeName;   // for the user: the file the shape came from
    double CorridorMetres = 0;
    std::function<std::shared_ptr<const TileCover>(int zoom)> CoverAt;
    // Writes the area file to `fileName`; the user's text of a failure, empty
    // on success.
    std::function<QString(const QString& fileName)> Write;
    // Every ring of its polygons (outer rings and holes), x longitude and y
    // latitude in degrees, for a map to draw.
    std::function<QList<QList<QPointF>>()> Outline;
};
