#include "combiner/command_line.h"
#include "combiner/window/combiner_window.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>

// With options, quiltry runs as a command: a QCoreApplication, so it needs no
// display. Without (or with only the project file the Tools menu passes), it
// opens its window.
int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (WantsCommandLine(arguments)) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return RunCommandLine(QCoreApplication::arguments().mid(1), out, err);
    }
    QApplication app(argc, argv);
    try {
        QApplication::setApplicationName(QStringLiteral("Map Combiner"));
        CombinerWindow window;
        CenterOnScreen(window);
        window.show();
        if (!arguments.isEmpty())
            window.OpenTask(arguments.constFirst());
        return QApplication::exec();
    } catch (...) {
        ShowError(std::current_exception());
        return 1;
    }
}
