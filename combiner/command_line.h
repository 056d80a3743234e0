#pragma once

#include <QStringList>
#include <QTextStream>

// quiltry TASK.qtsk [TASK.qtsk ...] -o OUT [--format gtiff|png|mbtiles|gpkg] [--strict]
//         [--lower-zooms N] [--no-overviews] [--help] [--version]
// Read by QCommandLineParser: a value follows its option or comes after "=".
// The help and the version go to `out`; progress, the tile report and every
// complaint to `err`. Exit status: 0 when the output was written (or the
// help or version shown), 1 when nothing was written, 2 for a wrong command line.
int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err);

// Whether these arguments (without the program name) ask for the command
// line rather than the window: the window takes no argument or one project
// file, as the main window's Tools menu passes it.
bool WantsCommandLine(const QStringList& arguments);

enum ExitStatus { kExitWritten = 0, kExitNothingWritten = 1, kExitUsage = 2 };
