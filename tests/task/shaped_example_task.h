#pragma once

#include "geo/area_shape.h"
#include "task/download_task.h"
#include "task/stored_shape.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

// An L over tiles 841/387, 842/387 and 841/388 of zoom 10: 842/388 lies outside.
inline const QList<QPointF> kExampleL{{115.7, 40.15}, {116.3, 40.15}, {116.3, 39.95}, {116.0, 39.95},
    {116.0, 39.7}, {115.7, 39.7}};
// An L the other way round, over 842/387, 841/388 and 842/388: 841/387 lies outside.
inline const QList<QPointF> kExampleMirroredL{{116.05, 40.15}, {116.3, 40.15}, {116.3, 39.7}, {115.7, 39.7},
    {115.7, 39.85}, {116.05, 39.85}};

// Makes the example task (task/task_fixture.h) shaped: the polygon of
// `corners` (degrees). Writes its area file `areaFileName` and its project
// file anew; the task built from `parameters` is returned.
inline std::unique_ptr<MDTask> ShapeExampleTaskAsL(TaskParameters& parameters, const QString& areaFileName,
    const QList<QPointF>& corners = kExampleL)
{
    const ShapeResult drawn = PolygonShape(corners, QStringLiteral("drawn"));
    EXPECT_TRUE(drawn.Ok());
    parameters.Shape = MakeShapedArea(*drawn.Shape, areaFileName, QStringLiteral("drawn"), 0);
    parameters.Cover = parameters.Shape->CoverAt(parameters.Zoom);
    auto task = std::make_unique<MDTask>(&parameters);
    task->WriteAreaFile();
    QFile::remove(parameters.Path + parameters.TaskName);
    task->WriteProjectFile();
    return task;
}
