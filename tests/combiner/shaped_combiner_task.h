#pragma once

#include "combiner_fixture.h"
#include "task/shaped_example_task.h"

#include <gtest/gtest.h>

// The example task made shaped (see ShapeExampleTaskAsL): every place but
// the L's three lies outside and has no file.
struct ShapedCombinerTask : CombinerTask {
    ShapedCombinerTask()
    {
        shaped = ShapeExampleTaskAsL(parameters, QStringLiteral("area.area.geojson"));
        for (auto [x, y] : {std::pair{842, 388}, std::pair{843, 387}, std::pair{843, 388}})
            QFile::remove(TilePath(x, y));
    }
    std::unique_ptr<MDTask> shaped;
};
