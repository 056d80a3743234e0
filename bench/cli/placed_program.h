#pragma once

#include <QString>

// Copies the built program into `exeFolder` beside an ini/config.ini that
// points MAPNIK at `baseUrl` with no pause between tiles, and a map source
// "bench" that fetches the same tiles through `{s}` with a header field of
// its own. False when it cannot.
bool PlaceProgram(const QString& exeFolder, const QString& baseUrl);
