#pragma once

#include "combiner_fixture.h"
#include "geo/area_shape.h"
#include "task/stored_shape.h"

#include <gtest/gtest.h>

// The example task made shaped: an L over tiles 841/387, 842/387 and
// 841/388 of its 3 x 2; every other place lies outside and has no file.
struct ShapedCombinerTask : CombinerTask {
    ShapedCombinerTask()
    {
        const ShapeResult drawn = PolygonShape({{115.7, 40.15}, {116.3, 40.15}, {116.3, 39.95}, {116.0, 39.95},
            {116.0, 39.7}, {115.7, 39.7}}, QStringLiteral("drawn"));
        EXPECT_TRUE(drawn.Ok());
        parameters.Shape = MakeShapedArea(*drawn.Shape, QStringLiteral("area.area.geojson"), QStringLiteral("drawn"), 0);
        parameters.Cover = parameters.Shape->CoverAt(parameters.Zoom);
        shaped = std::make_unique<MDTask>(&parameters);
        shaped->WriteAreaFile();
        QFile::remove(ProjectFile());
        shaped->WriteProjectFile();
        for (auto [x, y] : {std::pair{842, 388}, std::pair{843, 387}, std::pair{843, 388}})
            QFile::remove(TilePath(x, y));
    }
    std::unique_ptr<MDTask> shaped;
};
