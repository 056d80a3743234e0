// The Map Viewer: shows what a task brought home and chooses areas for new
// tasks. The main window starts it with the current task's project file.
#include "platform/message_box.h"
#include "viewer/window/viewer_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Map Viewer"));
    ViewerWindow window;
    window.show();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        RunGuarded([&] { window.OpenTask(arguments.at(1)); });
    return QApplication::exec();
}
