#include "app/main_window.h"
#include "cli/commands.h"
#include "download/http_client.h"
#include "platform/message_box.h"
#include "recovery/redownload_window.h"
#include "settings/options_dialog.h"
#include "tools/about_box.h"
#include "tools/converter_window.h"

#include <QApplication>
#include <QCoreApplication>
#include <memory>

namespace {
QStringList ArgumentsAfterProgramName(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The commands run without a display, so without the GUI's application.
int RunWithoutWindow(int argc, char* argv[], const Command& command)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Tessaly"));
    InitializeHttp();
    return RunCommandLine(command);
}
}

int main(int argc, char* argv[])
{
    const Command command = CheckWindowTaskFile(ParseCommandLine(ArgumentsAfterProgramName(argc, argv)));
    const auto* window = std::get_if<WindowCommand>(&command);
    if (!window)
        return RunWithoutWindow(argc, argv, command);

    QApplication app(argc, argv);
    try {
        // The title of message boxes; a display name would be appended to every window title.
        QApplication::setApplicationName(QStringLiteral("Tessaly"));
        // libcurl is set up once, before any worker thread can start.
        InitializeHttp();

        // The main window first; the others live, hidden, until the program ends.
        const auto Form1 = std::make_unique<TForm1>();
        auto* frmAbout = new TfrmAbout(Form1.get());
        auto* frmConvert = new TfrmConvert(Form1.get());
        auto* frmOptions = new TfrmOptions(Form1.get());
        auto* frmFlt = new TfrmFlt(Form1.get());
        Form1->SetCompanionWindows(frmAbout, frmConvert, frmOptions, frmFlt);
        frmAbout->SetSource(Form1.get(), HomePageAddress, MailAddress);

        Form1->show();
        if (!window->TaskFile.isEmpty())
            Form1->OpenTaskFile(window->TaskFile);
        return QApplication::exec();
    } catch (...) {
        ShowError(std::current_exception());
        return 1;
    }
}
