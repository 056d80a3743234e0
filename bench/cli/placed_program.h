#pragma once

#include <QString>

// Copies the built program into `exeFolder` beside an ini/config.ini that
// points MAPNIK at `baseUrl` with no pause between tiles. False when it
// cannot.
bool PlaceProgram(const QString& exeFolder, const QString& baseUrl);
