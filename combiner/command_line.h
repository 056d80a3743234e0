#pragma once

#include <QStringList>
#include <QTextStream>

// quiltry TASK.qtsk [TASK.qtsk ...] -o OUT [--format gtiff|png|mbtiles|gpkg] [--strict]
//         [--lower-zooms N] [--no-overviews] [--help]
// Progress and the tile report go to `err`. Exit status: 0 when the output
// was written, 1 when nothing was written, 2 for a wrong command line.
int RunCommandLine(const QStringList& arguments, QTextStream& err);

// Whether these arguments (without the program name) ask for the command
// line rather than the window: the window takes no argument or one project
// file, as the main window's Tools menu passes it.
bool WantsCommandLine(const QStringList& arguments);

enum ExitStatus { kExitWritten = 0, kExitNothingWritten = 1, kExitUsage = 2 };
