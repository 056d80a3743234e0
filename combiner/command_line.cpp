#include "combiner/command_line.h"

#include "combiner/combine.h"
#include "platform/app_error.h"

#include <QElapsedTimer>

namespace {
const char kUsage[] =
    "Usage: quiltry TASK.qtsk -o OUTPUT [--format gtiff|png|mbtiles] [--strict]\n"
    "Joins the tiles of a Tessaly task into one file:\n"
    "  gtiff    GeoTIFF (.tif), Web Mercator, RGBA, tiled, DEFLATE\n"
    "  png      PNG (.png) with a world file (.pgw) and a projection file (.prj)\n"
    "  mbtiles  MBTiles 1.3 (.mbtiles), the tile files unchanged\n"
    "The format follows the output's ending unless --format names it.\n"
    "Tiles that are not stored are transparent (absent in MBTiles) and listed on\n"
    "stderr; --strict writes nothing unless every tile is stored.\n"
    "Exit status: 0 written, 1 nothing written, 2 wrong command line.\n"
    "Without arguments, or with only a project file, quiltry opens its window.\n";

struct Options {
    QString ProjectFile;
    QString Target;
    QString FormatName;
    bool Strict = false;
    bool Help = false;
};

// Raises AppError with the complaint about the command line.
Options ParseArguments(const QStringList& arguments)
{
    Options options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto value = [&](const QString& name) {
            if (i + 1 >= arguments.size())
                throw AppError(QStringLiteral("%1 needs a value.").arg(name));
            return arguments[++i];
        };
        if (argument == u"--help" || argument == u"-h")
            options.Help = true;
        else if (argument == u"--strict")
            options.Strict = true;
        else if (argument == u"-o" || argument == u"--output")
            options.Target = value(argument);
        else if (argument == u"--format")
            options.FormatName = value(argument);
        else if (argument.startsWith(u'-') && argument.size() > 1)
            throw AppError(QStringLiteral("Unknown option %1.").arg(argument));
        else if (options.ProjectFile.isEmpty())
            options.ProjectFile = argument;
        else
            throw AppError(QStringLiteral("Only one task can be combined at a time (%1).").arg(argument));
    }
    return options;
}

OutputFormat ChooseFormat(const Options& options)
{
    if (!options.FormatName.isEmpty()) {
        const auto format = OutputFormatFromName(options.FormatName);
        if (!format)
            throw AppError(QStringLiteral("Unknown format %1: choose gtiff, png or mbtiles.").arg(options.FormatName));
        return *format;
    }
    const auto format = OutputFormatFromFileName(options.Target);
    if (!format)
        throw AppError(QStringLiteral("The output's ending names no format: end it in .tif, .png or .mbtiles, or give --format."));
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

int RunCommandLine(const QStringList& arguments, QTextStream& err)
{
    CombineRequest request;
    try {
        const Options options = ParseArguments(arguments);
        if (options.Help) {
            err << kUsage;
            return kExitWritten;
        }
        if (options.ProjectFile.isEmpty() || options.Target.isEmpty())
            throw AppError(QStringLiteral("Name a project file and an output (-o)."));
        request = {options.ProjectFile, options.Target, ChooseFormat(options), options.Strict};
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
