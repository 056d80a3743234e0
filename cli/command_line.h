#pragma once

#include <QString>
#include "task/map_source.h"

#include <QStringList>
#include <memory>
#include <optional>
#include <variant>

// What the program was asked to do, read from its arguments (without the
// program's own name) by QCommandLineParser: an option's value follows it
// or comes after "=" ("--area=1,2,3,4"). Nothing is checked here but the
// command line itself.

// No command: the main window, with a task opened when one is named.
struct WindowCommand {
    QString TaskFile;
};

// tessaly new NAME.qtsk --area L,R,T,B --zoom Z[-Z2] [--map M] [--folder DIR] [--yes] [--run]
// tessaly new NAME.qtsk --shape FILE [--corridor DIST] [--layer NAME] --zoom Z[-Z2] [...]
struct NewCommand {
    QString TaskName;  // as typed, without a folder part (which names the folder)
    QStringList Area;  // left, right, top, bottom, as typed; empty with a shape
    QString ShapeFile;          // the file the area's shape is read from
    QString Layer;              // its layer; empty: every layer with geometry
    double CorridorMetres = 0;  // on each side of lines and points; 0: none
    int ZoomFrom = 0;
    int ZoomTo = 0;
    int MapsType = 0;  // MapTypeCode, or kMapSourceType with Source
    std::shared_ptr<const MapSource> Source;
    QString Folder;    // as typed; empty: the configured default folder
    bool Yes = false;
    bool Run = false;
};

// tessaly run TASK.qtsk [TASK2.qtsk ...]
struct RunCommand {
    QStringList TaskFiles;
};

// tessaly refresh TASK.qtsk [TASK2.qtsk ...] [--older-than AGE | --all]
struct RefreshCommand {
    QStringList TaskFiles;
    std::optional<qint64> OlderThanSeconds;
    bool All = false;
};

// tessaly sources
struct SourcesCommand {};

// tessaly redownload LIST.ftl
struct RedownloadCommand {
    QString ListFile;
};

// --help or --version: the text goes to stdout, and the program ends well.
struct PrintCommand {
    QString Text;
};

// The message for stderr; exit status 2.
struct UsageError {
    QString Message;
};

// A command that cannot be carried out: the message for stderr; exit status 1.
struct RefusedCommand {
    QString Message;
};

using Command =
    std::variant<WindowCommand, NewCommand, RunCommand, RefreshCommand, RedownloadCommand, SourcesCommand, PrintCommand,
        UsageError, RefusedCommand>;

Command ParseCommandLine(const QStringList& arguments);

// A distance on the ground: "500m", "2km", "2.5km" or a plain number of
// metres, above 0. Nothing for any other text.
std::optional<double> ReadDistanceMetres(const QString& text);

// An age: a whole number with d (days), h (hours), m (minutes) or s
// (seconds): "30d", "12h". Nothing for any other text.
std::optional<qint64> ReadAgeSeconds(const QString& text);

// The window's task file is looked at before any window is made, so that one
// that is missing or cannot be read is refused on stderr, with or without a
// display: "Cannot open the task <file>: <reason>." as a RefusedCommand.
// Every other command comes back as it is.
Command CheckWindowTaskFile(Command command);

// The help of each command, and of the program.
QString ProgramHelp();
QString NewHelp();
QString RunHelp();
QString RefreshHelp();
QString RedownloadHelp();
QString SourcesHelp();
