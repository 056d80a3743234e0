// The Map Viewer: shows what a task brought home and chooses areas for new
// tasks. The main window starts it with the current task's project file.
#include "platform/message_box.h"
#include "viewer/window/viewer_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <optional>

namespace {
const char kUsage[] =
    "Usage: orvane [TASK.qtsk]\n"
    "\n"
    "The Map Viewer shows the tiles a Tessaly task brought home (a zoom series as\n"
    "one map) over an optional online map, and draws the areas of new tasks.\n"
    "Without a task it opens on the online map.\n"
    "\n"
    "  -h, --help  show this help\n"
    "  --version   show the version\n";

// The command line is read before any window is made, so that the help, the
// version and a wrong command line need no display. Exit status when the
// program ends here; none when the window is to open.
std::optional<int> AnswerCommandLine(const QStringList& arguments)
{
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    QCommandLineParser parser;
    parser.addOptions({help, version});
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "orvane: %s\nTry 'orvane --help'.\n", parser.errorText().toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::fputs("orvane " TESSALY_VERSION "\n", stdout);
        return 0;
    }
    return std::nullopt;
}
}

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> status = AnswerCommandLine(arguments))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Map Viewer"));
    // Names the user's cache folder of the online map.
    QApplication::setOrganizationName(QStringLiteral("Tessaly"));
    QApplication::setApplicationName(QStringLiteral("orvane"));
    ViewerWindow window;
    window.show();
    RunGuarded([&window] { window.StartWith(QApplication::arguments().mid(1)); });
    return QApplication::exec();
}
