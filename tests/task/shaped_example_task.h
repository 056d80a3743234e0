#pragma once

#include "geo/area_shape.h"
#include "task/download_task.h"
#include "task/stored_shape.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

// Makes the example task (task/task_fixture.h) shaped: an L over tiles
// 841/387, 842/387 and 841/388 of zoom 10, so 842/388 lies outside. Writes
// its area file `areaFileName` and its project file anew; the task built
// from `parameters` is returned.
inline std::unique_ptr<MDTask> ShapeExampleTaskAsL(TaskParameters& parameters, const QString& areaFileName)
{
    const ShapeResult drawn = PolygonShape({{115.7, 40.15}, {116.3, 40.15}, {116.3, 39.95}, {116.0, 39.95},
        {116.0, 39.7}, {115.7, 39.7}}, QStringLiteral("drawn"));
    EXPECT_TRUE(drawn.Ok());
    parameters.Shape = MakeShapedArea(*drawn.Shape, areaFileName, QStringLiteral("drawn"), 0);
    parameters.Cover = parameters.Shape->CoverAt(parameters.Zoom);
    auto task = std::make_unique<MDTask>(&parameters);
    task->WriteAreaFile();
    QFile::remove(parameters.Path + parameters.TaskName);
    task->WriteProjectFile();
    return task;
}
