#include "cli/command_line.h"

#include "platform/app_error.h"
#include "task/map_sources.h"
#include "task/map_type.h"
#include "task/opened_task.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {
constexpr int kLowestZoom = 0;
constexpr int kHighestZoom = 30;

QString VersionText()
{
    return QStringLiteral("tessaly ") + QStringLiteral(TESSALY_VERSION) + u'\n';
}

std::optional<int> MapTypeNamed(const QString& name)
{
    for (const auto& [text, code] : {std::pair{"mapnik", MAPNIK}, {"osmarender", OSMARENDER}, {"cycle", CYCLE}})
        if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0)
            return code;
    return std::nullopt;
}

// "--map takes mapnik, osmarender, cycle or a map source's name (...)".
QString UnknownMapText(const MapSources& sources)
{
    const QString names = sources.Sources.isEmpty()
        ? QStringLiteral("there are none in ") + MapSourcesFolder()
        : QStringLiteral("the sources are ") + sources.Names().join(QStringLiteral(", "));
    return QStringLiteral("--map takes mapnik, osmarender, cycle or the name of a map source (%1)").arg(names);
}

// "tessaly[ COMMAND]: <problem>" and where to look.
UsageError Wrong(const QString& command, const QString& problem)
{
    const QString program = command.isEmpty() ? QStringLiteral("tessaly") : QStringLiteral("tessaly ") + command;
    return UsageError{program + QStringLiteral(": ") + problem + QStringLiteral("\nTry '") + program
        + QStringLiteral(" --help'.")};
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

// A decimal number and nothing else: the window reads the leading number of
// what is typed, a script gets told.
bool IsWholeDecimalNumber(const QString& text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

// A task name with a folder part names its folder: that one when --folder is
// not given, and it must be the --folder given. The folder part is kept as
// typed (relative to the current folder).
std::optional<QString> TakeFolderOfName(NewCommand& parsed)
{
    const qsizetype slash = parsed.TaskName.lastIndexOf(u'/');
    if (slash < 0)
        return std::nullopt;
    const QString folderPart = slash == 0 ? QStringLiteral("/") : parsed.TaskName.left(slash);
    const QString same = QDir::cleanPath(QDir::current().absoluteFilePath(folderPart));
    if (!parsed.Folder.isEmpty() && QDir::cleanPath(QDir::current().absoluteFilePath(parsed.Folder)) != same)
        return QStringLiteral("the task name's folder ") + folderPart + QStringLiteral(" is not the --folder ")
            + parsed.Folder;
    if (parsed.Folder.isEmpty())
        parsed.Folder = folderPart;
    parsed.TaskName = parsed.TaskName.mid(slash + 1);
    return std::nullopt;
}

// The shape options of `new` into `parsed`; the complaint when they are wrong.
template <typename Parser>
std::optional<UsageError> ReadShapeOptions(const Parser& parser, const QCommandLineOption& area,
    const QCommandLineOption& shape, const QCommandLineOption& corridor, const QCommandLineOption& layer,
    NewCommand& parsed)
{
    if (parser.IsSet(area) && parser.IsSet(shape))
        return parser.Wrong(QStringLiteral("--area and --shape exclude each other"));
    if (!parser.IsSet(shape) && (parser.IsSet(corridor) || parser.IsSet(layer)))
        return parser.Wrong(QStringLiteral("--corridor and --layer go with --shape"));
    parsed.ShapeFile = parser.Value(shape);
    parsed.Layer = parser.Value(layer);
    if (parser.IsSet(corridor)) {
        const auto metres = ReadDistanceMetres(parser.Value(corridor));
        if (!metres)
            return parser.Wrong(QStringLiteral("--corridor takes a distance such as 500m, 2km, 2.5km or 800 (metres)"));
        parsed.CorridorMetres = *metres;
    }
    return std::nullopt;
}

const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")});
const QCommandLineOption kVersion(QStringLiteral("version"));

// A parser with the options every command takes (help and version) and
// `options`. Options may come before, between and after the files, and a
// value follows its option as the next argument or after "=".
class Parser {
public:
    Parser(const QString& command, const QList<QCommandLineOption>& options) : command_(command)
    {
        parser_.addOptions({kHelp, kVersion});
        parser_.addOptions(options);
        for (const QCommandLineOption& option : options)
            if (!option.valueName().isEmpty())
                valued_ << QStringLiteral("--") + option.names().constFirst();
    }

    // The complaint about `arguments`, none when they parse.
    std::optional<UsageError> Parse(const QStringList& arguments)
    {
        // Only the last argument can lack its value: any other has the next.
        if (!arguments.isEmpty() && valued_.contains(arguments.constLast()))
            return Wrong(arguments.constLast() + QStringLiteral(" needs a value"));
        if (parser_.parse(QStringList(QStringLiteral("tessaly")) + arguments))
            return std::nullopt;
        const QStringList unknown = parser_.unknownOptionNames();
        if (unknown.isEmpty())
            return Wrong(parser_.errorText());
        const QString& name = unknown.constFirst();
        return Wrong(QStringLiteral("unknown option ") + (name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-")) + name);
    }

    // Help or version when asked for.
    std::optional<PrintCommand> Print(const QString& help) const
    {
        if (parser_.isSet(kHelp))
            return PrintCommand{help};
        if (parser_.isSet(kVersion))
            return PrintCommand{VersionText()};
        return std::nullopt;
    }

    bool IsSet(const QCommandLineOption& option) const { return parser_.isSet(option); }
    QString Value(const QCommandLineOption& option) const { return parser_.value(option); }
    QStringList Files() const { return parser_.positionalArguments(); }
    UsageError Wrong(const QString& problem) const { return ::Wrong(command_, problem); }

private:
    QString command_;
    QCommandLineParser parser_;
    QStringList valued_;
};

Command ParseNew(const QStringList& arguments)
{
    const QCommandLineOption area(QStringLiteral("area"), QString(), QStringLiteral("L,R,T,B"));
    const QCommandLineOption zoom(QStringLiteral("zoom"), QString(), QStringLiteral("Z[-Z2]"));
    const QCommandLineOption map(QStringLiteral("map"), QString(), QStringLiteral("M"));
    const QCommandLineOption folder(QStringLiteral("folder"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption run(QStringLiteral("run"));
    const QCommandLineOption shape(QStringLiteral("shape"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption corridor(QStringLiteral("corridor"), QString(), QStringLiteral("DIST"));
    const QCommandLineOption layer(QStringLiteral("layer"), QString(), QStringLiteral("NAME"));
    Parser parser(QStringLiteral("new"), {area, shape, corridor, layer, zoom, map, folder, yes, run});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(NewHelp()))
        return *print;

    NewCommand parsed;
    parsed.MapsType = MAPNIK;
    parsed.Yes = parser.IsSet(yes);
    parsed.Run = parser.IsSet(run);
    parsed.Folder = parser.Value(folder);
    const QStringList names = parser.Files();
    if (names.size() > 1)
        return parser.Wrong(QStringLiteral("one task name only"));
    if (parser.IsSet(area)) {
        parsed.Area = parser.Value(area).split(u',');
        if (parsed.Area.size() != 4)
            return parser.Wrong(QStringLiteral("--area takes LEFT,RIGHT,TOP,BOTTOM"));
        for (const QString& edge : parsed.Area)
            if (!IsWholeDecimalNumber(edge))
                return parser.Wrong(QStringLiteral("--area takes decimal numbers; ") + edge + QStringLiteral(" is not one"));
    }
    if (auto wrong = ReadShapeOptions(parser, area, shape, corridor, layer, parsed))
        return *wrong;
    if (parser.IsSet(zoom) && !ReadZoomRange(parser.Value(zoom), parsed.ZoomFrom, parsed.ZoomTo))
        return parser.Wrong(QStringLiteral("--zoom takes Z or Z-Z2 with 0 <= Z <= Z2 <= 30"));
    if (parser.IsSet(map)) {
        if (const auto type = MapTypeNamed(parser.Value(map))) {
            parsed.MapsType = *type;
        } else {
            const MapSources sources = ReadMapSources();
            parsed.Source = sources.Find(parser.Value(map));
            if (!parsed.Source)
                return parser.Wrong(UnknownMapText(sources));
            parsed.MapsType = kMapSourceType;
        }
    }
    if (names.isEmpty())
        return parser.Wrong(QStringLiteral("a task name is needed"));
    parsed.TaskName = names.constFirst();
    if (const auto disagree = TakeFolderOfName(parsed))
        return parser.Wrong(*disagree);
    if (parsed.TaskName.isEmpty())
        return parser.Wrong(QStringLiteral("a task name is needed"));
    if (!parser.IsSet(area) && !parser.IsSet(shape))
        return parser.Wrong(QStringLiteral("--area is needed"));
    if (!parser.IsSet(zoom))
        return parser.Wrong(QStringLiteral("--zoom is needed"));
    return parsed;
}

Command ParseRun(const QStringList& arguments)
{
    Parser parser(QStringLiteral("run"), {});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(RunHelp()))
        return *print;
    if (parser.Files().isEmpty())
        return parser.Wrong(QStringLiteral("a task file is needed"));
    return RunCommand{parser.Files()};
}

Command ParseRefresh(const QStringList& arguments)
{
    const QCommandLineOption olderThan(QStringLiteral("older-than"), QString(), QStringLiteral("AGE"));
    const QCommandLineOption all(QStringLiteral("all"));
    Parser parser(QStringLiteral("refresh"), {olderThan, all});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(RefreshHelp()))
        return *print;
    if (parser.Files().isEmpty())
        return parser.Wrong(QStringLiteral("a task file is needed"));
    if (parser.IsSet(olderThan) && parser.IsSet(all))
        return parser.Wrong(QStringLiteral("--older-than and --all exclude each other"));
    RefreshCommand parsed{parser.Files(), std::nullopt, parser.IsSet(all)};
    if (parser.IsSet(olderThan)) {
        parsed.OlderThanSeconds = ReadAgeSeconds(parser.Value(olderThan));
        if (!parsed.OlderThanSeconds)
            return parser.Wrong(QStringLiteral("--older-than takes an age such as 30d, 12h, 45m or 90s"));
    }
    return parsed;
}

Command ParseRedownload(const QStringList& arguments)
{
    Parser parser(QStringLiteral("redownload"), {});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(RedownloadHelp()))
        return *print;
    const QStringList names = parser.Files();
    if (names.isEmpty())
        return parser.Wrong(QStringLiteral("a list file is needed"));
    if (names.size() > 1)
        return parser.Wrong(QStringLiteral("one list file only"));
    return RedownloadCommand{names.constFirst()};
}

Command ParseSources(const QStringList& arguments)
{
    Parser parser(QStringLiteral("sources"), {});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(SourcesHelp()))
        return *print;
    if (!parser.Files().isEmpty())
        return parser.Wrong(QStringLiteral("sources takes no argument"));
    return SourcesCommand{};
}

// What the window opens: a project file, not a word that could be a command.
bool NamesTaskFile(const QString& argument)
{
    return argument.endsWith(QStringLiteral(".qtsk"), Qt::CaseInsensitive) || argument.contains(u'/')
        || argument.contains(QDir::separator());
}

UsageError UnknownCommand(const QString& name)
{
    return UsageError{QStringLiteral("tessaly: unknown command ") + name
        + QStringLiteral(" (the commands are new, run, refresh, redownload and sources)\nTry 'tessaly --help'.")};
}

// No command: the window, with a task file or none; or the program's help or version.
Command ParseWindow(const QStringList& arguments)
{
    Parser parser(QString(), {});
    if (auto wrong = parser.Parse(arguments))
        return *wrong;
    if (auto print = parser.Print(ProgramHelp()))
        return *print;
    const QStringList files = parser.Files();
    if (files.isEmpty())
        return WindowCommand{};
    if (files.size() > 1 || !NamesTaskFile(files.constFirst()))
        return UnknownCommand(files.constFirst());
    return WindowCommand{files.constFirst()};
}
}

std::optional<double> ReadDistanceMetres(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+(?:\\.\\d+)?)(m|km)?$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double number = match.captured(1).toDouble();
    const double metres = match.captured(2) == QStringLiteral("km") ? number * 1000 : number;
    if (!(metres > 0))
        return std::nullopt;
    return metres;
}

std::optional<qint64> ReadAgeSeconds(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,9})([dhms])$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 number = match.captured(1).toLongLong();
    switch (match.captured(2).at(0).toLatin1()) {
    case 'd': return number * 86400;
    case 'h': return number * 3600;
    case 'm': return number * 60;
    default: return number;
    }
}

Command ParseCommandLine(const QStringList& arguments)
{
    const QString first = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    if (first == QStringLiteral("new"))
        return ParseNew(rest);
    if (first == QStringLiteral("run"))
        return ParseRun(rest);
    if (first == QStringLiteral("refresh"))
        return ParseRefresh(rest);
    if (first == QStringLiteral("redownload"))
        return ParseRedownload(rest);
    if (first == QStringLiteral("sources"))
        return ParseSources(rest);
    return ParseWindow(arguments);
}

Command CheckWindowTaskFile(Command command)
{
    const auto* window = std::get_if<WindowCommand>(&command);
    if (!window || window->TaskFile.isEmpty())
        return command;
    try {
        CheckProjectFileReadable(window->TaskFile);
    } catch (const AppError& error) {
        return RefusedCommand{error.Message()};
    }
    return command;
}

QString ProgramHelp()
{
    return QStringLiteral(
        "Usage: tessaly [TASK.qtsk]\n"
        "       tessaly new NAME.qtsk --area LEFT,RIGHT,TOP,BOTTOM --zoom Z[-Z2] [options]\n"
        "       tessaly new NAME.qtsk --shape FILE [--corridor DIST] --zoom Z[-Z2] [options]\n"
        "       tessaly run TASK.qtsk [TASK2.qtsk ...]\n"
        "       tessaly refresh TASK.qtsk [TASK2.qtsk ...] [--older-than AGE | --all]\n"
        "       tessaly redownload LIST.ftl\n"
        "       tessaly sources\n"
        "\n"
        "Without a command Tessaly opens its window (with the task given, as Open task\n"
        "would). The commands need no display.\n"
        "\n"
        "  new         write a task's project file (a zoom range: one per zoom level)\n"
        "  run         run tasks one after another, each as Start would\n"
        "  refresh     bring the stored tiles of tasks up to date with the server\n"
        "  redownload  fetch the tiles of a failed-tile list again\n"
        "  sources     list the map sources and the source files left out\n"
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
        "       tessaly new NAME.qtsk --shape FILE [--corridor DIST] --zoom Z[-Z2] [options]\n"
        "\n"
        "Writes the project file of a task as the window's Start would name and check\n"
        "it; a zoom range Z-Z2 writes one task per zoom level (NAME_zZ.qtsk ...).\n"
        "A task of a shape fetches only the tiles the shape touches and keeps the shape\n"
        "beside its project file (NAME.area.geojson).\n"
        "\n"
        "  --area L,R,T,B  longitudes and latitudes in degrees\n"
        "  --shape FILE    the area from a GPX, KML, GeoJSON, shapefile, GeoPackage ...\n"
        "  --corridor DIST distance on each side of lines and points (500m, 2km, 2.5km,\n"
        "                  or metres); needed for lines and points\n"
        "  --layer NAME    the file's layer to take (default: every layer with geometry)\n"
        "  --zoom Z[-Z2]   zoom level, or the lowest and highest of a series\n"
        "  --map M         mapnik (default), osmarender, cycle, or a map source's name\n"
        "                  or file stem (see tessaly sources)\n"
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

QString RefreshHelp()
{
    return QStringLiteral(
        "Usage: tessaly refresh TASK.qtsk [TASK2.qtsk ...] [--older-than AGE | --all]\n"
        "\n"
        "Asks the server about the stored tiles of the tasks with one conditional\n"
        "request each: an unchanged tile costs a short reply and stays as it is, a\n"
        "changed one is replaced whole, one the server no longer has is kept. Tiles\n"
        "never stored are fetched as a run would. SIGINT or SIGTERM stops; a second\n"
        "refresh goes on with the tiles not yet renewed.\n"
        "\n"
        "  (default)         the tiles that are no longer fresh by the server's word\n"
        "  --older-than AGE  the tiles fetched longer ago than AGE (30d, 12h, 45m, 90s)\n"
        "  --all             every stored tile\n");
}

QString RedownloadHelp()
{
    return QStringLiteral(
        "Usage: tessaly redownload LIST.ftl\n"
        "\n"
        "Fetches the tiles of a failed-tile list again, as the re-download window does;\n"
        "its log goes to stdout.\n");
}

QString SourcesHelp()
{
    return QStringLiteral(
        "Usage: tessaly sources\n"
        "\n"
        "Lists the map sources of the folder %1 (one NAME.ini\n"
        "each): name, tile file prefix, zoom levels and host; on stderr, why each file\n"
        "left out was left out.\n").arg(MapSourcesFolder());
}
