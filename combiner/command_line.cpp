#include "combiner/command_line.h"

#include "combiner/combine.h"
#include "platform/app_error.h"
#include "task/configured_servers.h"

#include <QCommandLineParser>
#include <QElapsedTimer>

namespace {
const char kUsage[] =
    "Usage: quiltry TASK.qtsk [TASK.qtsk ...] -o OUTPUT [--format gtiff|png|mbtiles|gpkg]\n"
    "               [--strict] [--lower-zooms N] [--no-overviews] [--update]\n"
    "Joins the tiles of Tessaly tasks of one map type into one file:\n"
    "  gtiff    Cloud Optimized GeoTIFF (.tif), Web Mercator, RGBA, tiled, DEFLATE,\n"
    "           with internal overviews (--no-overviews: without)\n"
    "  png      PNG (.png) with a world file (.pgw), a projection file (.prj)\n"
    "           and GDAL's side file (.png.aux.xml)\n"
    "  mbtiles  MBTiles 1.3 (.mbtiles), every zoom level given, the tiles as PNG\n"
    "  gpkg     GeoPackage 1.2 tiles (.gpkg), every zoom level given, the tiles as PNG\n"
    "The format follows the output's ending unless --format names it.\n"
    "GeoTIFF and PNG hold one zoom level: the deepest given, its tasks joined\n"
    "into one image of the rectangle that holds them all (transparent where no\n"
    "task reaches). Where two tasks hold the same tile, the first given that\n"
    "stores it wins. --lower-zooms N adds to MBTiles and\n"
    "GeoPackage every zoom level from N up to the lowest given, each tile the\n"
    "average of the four below it.\n"
    "Tiles that are not stored are transparent (absent in MBTiles and GeoPackage)\n"
    "and listed on stderr; --strict writes nothing unless every tile is stored.\n"
    "--update brings an MBTiles or GeoPackage output made from the same tasks up\n"
    "to date: only the tiles whose files changed since it was written (and the\n"
    "lower zooms above them), in one transaction.\n"
    "Exit status: 0 written, 1 nothing written, 2 wrong command line.\n"
    "Without arguments, or with only a project file, quiltry opens its window.\n";

struct Options {
    QStringList ProjectFiles;
    QString Target;
    QString FormatName;
    bool Strict = false;
    bool NoOverviews = false;
    int LowerZooms = -1;
    bool Update = false;
    bool Help = false;
    bool Version = false;
};

int ZoomValue(const QString& name, const QString& text)
{
    bool whole = false;
    const int zoom = text.toInt(&whole, 10);
    if (!whole || zoom < 0 || zoom > 30)
        throw AppError(QStringLiteral("%1 needs a zoom level from 0 to 30, not %2.").arg(name, text));
    return zoom;
}

// The argument as typed that brought the option `name` QCommandLineParser did not know.
QString TypedOption(const QStringList& arguments, const QString& name)
{
    for (const QString& argument : arguments) {
        const QString bare = argument.section(u'=', 0, 0);
        if (bare == QStringLiteral("--") + name || bare == QStringLiteral("-") + name)
            return bare;
    }
    return (name.size() > 1 ? QStringLiteral("--") : QStringLiteral("-")) + name;
}

// Raises AppError with the complaint about the command line. A value
// follows its option as the next argument or after "=".
Options ParseArguments(const QStringList& arguments)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption strict(QStringLiteral("strict"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("OUTPUT"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption noOverviews(QStringLiteral("no-overviews"));
    const QCommandLineOption lowerZooms(QStringLiteral("lower-zooms"), QString(), QStringLiteral("N"));
    const QCommandLineOption update(QStringLiteral("update"));
    QCommandLineParser parser;
    parser.addOptions({help, version, strict, output, format, noOverviews, lowerZooms, update});
    // Only the last argument can lack its value: any other has the next.
    const QString last = arguments.value(arguments.size() - 1);
    const QStringList valued{QStringLiteral("-o"), QStringLiteral("--output"), QStringLiteral("--format"), QStringLiteral("--lower-zooms")};
    if (valued.contains(last))
        throw AppError(QStringLiteral("%1 needs a value.").arg(last));
    if (!parser.parse(QStringList(QStringLiteral("quiltry")) + arguments)) {
        if (parser.unknownOptionNames().isEmpty())
            throw AppError(parser.errorText());
        throw AppError(QStringLiteral("Unknown option %1.").arg(TypedOption(arguments, parser.unknownOptionNames().constFirst())));
    }
    Options options;
    options.Help = parser.isSet(help);
    options.Version = parser.isSet(version);
    options.Strict = parser.isSet(strict);
    options.Target = parser.value(output);
    options.FormatName = parser.value(format);
    options.NoOverviews = parser.isSet(noOverviews);
    options.Update = parser.isSet(update);
    if (parser.isSet(lowerZooms))
        options.LowerZooms = ZoomValue(QStringLiteral("--lower-zooms"), parser.value(lowerZooms));
    options.ProjectFiles = parser.positionalArguments();
    return options;
}

OutputFormat ChooseFormat(const Options& options)
{
    if (!options.FormatName.isEmpty()) {
        const auto format = OutputFormatFromName(options.FormatName);
        if (!format)
            throw AppError(QStringLiteral("Unknown format %1: choose gtiff, png, mbtiles or gpkg.").arg(options.FormatName));
        return *format;
    }
    const auto format = OutputFormatFromFileName(options.Target);
    if (!format)
        throw AppError(QStringLiteral("The output's ending names no format: end it in .tif, .png, .mbtiles or .gpkg, or give --format."));
    return *format;
}

// Progress once a second, so a log of the run stays readable.
class StderrObserver : public CombineObserver {
public:
    explicit StderrObserver(QTextStream& err) : err_(err) { sinceLine_.start(); }

    void Progress(const CombineProgress& progress) override
    {
        if (sinceLine_.elapsed() < 1000 && progress.Done != progress.Total)
            return;
        sinceLine_.restart();
        err_ << progress.Text() << '\n';
        err_.flush();
    }

    void TileNote(const QString& line) override
    {
        err_ << line << '\n';
    }

private:
    QTextStream& err_;
    QElapsedTimer sinceLine_;
};

}

bool WantsCommandLine(const QStringList& arguments)
{
    return arguments.size() > 1 || (arguments.size() == 1 && arguments[0].startsWith(u'-'));
}

int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    CombineRequest request;
    try {
        const Options options = ParseArguments(arguments);
        if (options.Help) {
            out << kUsage;
            return kExitWritten;
        }
        if (options.Version) {
            out << "quiltry " << TESSALY_VERSION << '\n';
            return kExitWritten;
        }
        if (options.ProjectFiles.isEmpty() || options.Target.isEmpty())
            throw AppError(QStringLiteral("Name a project file and an output (-o)."));
        request = {options.ProjectFiles, options.Target, ChooseFormat(options), options.Strict, options.LowerZooms,
            !options.NoOverviews, ReadTileServers(), options.Update};
        if (request.Update && !IsTileSetFormat(request.Format))
            throw AppError(QStringLiteral("--update works on MBTiles and GeoPackage outputs."));
    } catch (const AppError& error) {
        err << "quiltry: " << error.Message() << '\n' << kUsage;
        return kExitUsage;
    }
    try {
        StderrObserver observer(err);
        const CombineCounts counts = Combine(request, observer);
        err << "Written " << request.Target << ": " << counts.Text() << '\n';
        return kExitWritten;
    } catch (const AppError& error) {
        err << "quiltry: " << error.Message() << '\n';
    } catch (const std::bad_alloc&) {
        err << "quiltry: Not enough memory; nothing was written.\n";
    }
    return kExitNothingWritten;
}
