#include "cli/command_line.h"

#include "task/map_type.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
constexpr int kLowestZoom = 0;
constexpr int kHighestZoom = 30;

QString VersionText()
{
    return QStringLiteral("tessaly ") + QStringLiteral(TESSALY_VERSION) + u'\n';
}

bool IsHelp(const QString& argument)
{
    return argument == QStringLiteral("--help") || argument == QStringLiteral("-h");
}

std::optional<int> MapTypeNamed(const QString& name)
{
    if (name == QStringLiteral("mapnik"))
        return MAPNIK;
    if (name == QStringLiteral("osmarender"))
        return OSMARENDER;
    if (name == QStringLiteral("cycle"))
        return CYCLE;
    return std::nullopt;
}

UsageError Wrong(const QString& command, const QString& problem)
{
    return UsageError{QStringLiteral("tessaly ") + command + QStringLiteral(": ") + problem
        + QStringLiteral("\nTry 'tessaly ") + command + QStringLiteral(" --help'.")};
}

// "12" or "10-13", each within the task core's zoom range.
bool ReadZoomRange(const QString& text, int& from, int& to)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2})(?:-(\\d{1,2}))?$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return false;
    from = match.captured(1).toInt();
    to = match.captured(2).isEmpty() ? from : match.captured(2).toInt();
    return from >= kLowestZoom && to <= kHighestZoom && from <= to;
}

Command ParseNew(const QStringList& arguments)
{
    const QString command = QStringLiteral("new");
    NewCommand parsed;
    parsed.MapsType = MAPNIK;
    bool haveArea = false, haveZoom = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (IsHelp(argument))
            return PrintCommand{NewHelp()};
        if (argument == QStringLiteral("--version"))
            return PrintCommand{VersionText()};
        if (argument == QStringLiteral("--yes")) {
            parsed.Yes = true;
            continue;
        }
        if (argument == QStringLiteral("--run")) {
            parsed.Run = true;
            continue;
        }
        const bool takesValue = argument == QStringLiteral("--area") || argument == QStringLiteral("--zoom")
            || argument == QStringLiteral("--map") || argument == QStringLiteral("--folder");
        if (takesValue) {
            if (i + 1 >= arguments.size())
                return Wrong(command, argument + QStringLiteral(" needs a value"));
            const QString value = arguments[++i];
            if (argument == QStringLiteral("--area")) {
                parsed.Area = value.split(u',');
                if (parsed.Area.size() != 4)
                    return Wrong(command, QStringLiteral("--area takes LEFT,RIGHT,TOP,BOTTOM"));
                haveArea = true;
            } else if (argument == QStringLiteral("--zoom")) {
                if (!ReadZoomRange(value, parsed.ZoomFrom, parsed.ZoomTo))
                    return Wrong(command, QStringLiteral("--zoom takes Z or Z-Z2 with 0 <= Z <= Z2 <= 30"));
                haveZoom = true;
            } else if (argument == QStringLiteral("--map")) {
                const auto type = MapTypeNamed(value);
                if (!type)
                    return Wrong(command, QStringLiteral("--map takes mapnik, osmarender or cycle"));
                parsed.MapsType = *type;
            } else {
                parsed.Folder = value;
            }
            continue;
        }
        if (argument.startsWith(u'-'))
            return Wrong(command, QStringLiteral("unknown option ") + argument);
        if (!parsed.TaskName.isEmpty())
            return Wrong(command, QStringLiteral("one task name only"));
        parsed.TaskName = argument;
    }
    if (parsed.TaskName.isEmpty())
        return Wrong(command, QStringLiteral("a task name is needed"));
    if (!haveArea)
        return Wrong(command, QStringLiteral("--area is needed"));
    if (!haveZoom)
        return Wrong(command, QStringLiteral("--zoom is needed"));
    return parsed;
}

// Options first, then the files: the commands that take only files.
std::variant<QStringList, Command> ParseFiles(const QString& command, const QStringList& arguments,
    const QString& help)
{
    QStringList files;
    for (const QString& argument : arguments) {
        if (IsHelp(argument))
            return PrintCommand{help};
        if (argument == QStringLiteral("--version"))
            return PrintCommand{VersionText()};
        if (argument.startsWith(u'-'))
            return Wrong(command, QStringLiteral("unknown option ") + argument);
        files << argument;
    }
    return files;
}
}

Command ParseCommandLine(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return WindowCommand{};
    const QString& first = arguments.first();
    const QStringList rest = arguments.mid(1);
    if (IsHelp(first))
        return PrintCommand{ProgramHelp()};
    if (first == QStringLiteral("--version"))
        return PrintCommand{VersionText()};
    if (first == QStringLiteral("new"))
        return ParseNew(rest);
    if (first == QStringLiteral("run") || first == QStringLiteral("redownload")) {
        const bool run = first == QStringLiteral("run");
        auto files = ParseFiles(first, rest, run ? RunHelp() : RedownloadHelp());
        if (auto* command = std::get_if<Command>(&files))
            return *command;
        const QStringList& names = std::get<QStringList>(files);
        if (names.isEmpty())
            return Wrong(first, run ? QStringLiteral("a task file is needed") : QStringLiteral("a list file is needed"));
        if (run)
            return RunCommand{names};
        if (names.size() > 1)
            return Wrong(first, QStringLiteral("one list file only"));
        return RedownloadCommand{names.first()};
    }
    if (first.startsWith(u'-'))
        return UsageError{QStringLiteral("tessaly: unknown option ") + first + QStringLiteral("\nTry 'tessaly --help'.")};
    if (arguments.size() > 1)
        return UsageError{QStringLiteral("tessaly: unknown command ") + first + QStringLiteral("\nTry 'tessaly --help'.")};
    return WindowCommand{first};
}

QString ProgramHelp()
{
    return QStringLiteral(
        "Usage: tessaly [TASK.qtsk]\n"
        "       tessaly new NAME.qtsk --area LEFT,RIGHT,TOP,BOTTOM --zoom Z[-Z2] [options]\n"
        "       tessaly run TASK.qtsk [TASK2.qtsk ...]\n"
        "       tessaly redownload LIST.ftl\n"
        "\n"
        "Without a command Tessaly opens its window (with the task given, as Open task\n"
        "would). The commands need no display.\n"
        "\n"
        "  new         write a task's project file (a zoom range: one per zoom level)\n"
        "  run         run tasks one after another, each as Start would\n"
        "  redownload  fetch the tiles of a failed-tile list again\n"
        "\n"
        "  -h, --help  show this help (or a command's)\n"
        "  --version   show the version\n"
        "\n"
        "Exit status: 0 every tile stored, 3 the run ended with failed tiles, 1 nothing\n"
        "could run or the run was refused, 2 a wrong command line, 130 or 143 stopped by\n"
        "SIGINT or SIGTERM (positions saved; run again to continue).\n");
}

QString NewHelp()
{
    return QStringLiteral(
        "Usage: tessaly new NAME.qtsk --area LEFT,RIGHT,TOP,BOTTOM --zoom Z[-Z2] [options]\n"
        "\n"
        "Writes the project file of a task as the window's Start would name and check\n"
        "it; a zoom range Z-Z2 writes one task per zoom level (NAME_zZ.qtsk ...).\n"
        "\n"
        "  --area L,R,T,B  longitudes and latitudes in degrees\n"
        "  --zoom Z[-Z2]   zoom level, or the lowest and highest of a series\n"
        "  --map M         mapnik (default), osmarender or cycle\n"
        "  --folder DIR    task folder (default: the configured default folder)\n"
        "  --yes           accept a task the window would ask about first\n"
        "  --run           run the task (or series) at once\n");
}

QString RunHelp()
{
    return QStringLiteral(
        "Usage: tessaly run TASK.qtsk [TASK2.qtsk ...]\n"
        "\n"
        "Runs the tasks one after another, each as Start would with its project file's\n"
        "inputs; a task run before continues where it stopped. SIGINT or SIGTERM stops\n"
        "like the Stop button and saves the positions.\n");
}

QString RedownloadHelp()
{
    return QStringLiteral(
        "Usage: tessaly redownload LIST.ftl\n"
        "\n"
        "Fetches the tiles of a failed-tile list again, as the re-download window does;\n"
        "its log goes to stdout.\n");
}
