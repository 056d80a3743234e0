// The Map Viewer: shows what a task brought home and chooses areas for new
// tasks. The main window starts it with the current task's project file.
#include "platform/message_box.h"
#include "viewer/window/viewer_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
