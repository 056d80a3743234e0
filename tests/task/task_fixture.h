#pragma once

#include "support/temp_folder.h"
#include "task/download_task.h"

#include <QDir>

// The task of the worked example: 116.0..116.5 east, 39.5..40.0 north at
// zoom 10, MAPNIK, 3 x 3 tiles, in a fresh folder.
struct ExampleTask {
    TempFolder folder;
    TaskParameters parameters;

    ExampleTask()
    {
        parameters.LeftLongitude = 116.0;
        parameters.RightLongitude = 116.5;
        parameters.TopLatitude = 40.0;
        parameters.BottomLatitude = 39.5;
        parameters.Zoom = 10;
        parameters.MapsType = MAPNIK;
        parameters.Path = folder.Path();
        parameters.TaskName = QStringLiteral("newtask.qtsk");
    }
};
