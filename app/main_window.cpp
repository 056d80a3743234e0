#include "app/main_window.h"

#include "app/log_pane.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"
#include "settings/config_file.h"

#include <QAction>
#include <QCloseEvent>
#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

const QString HomePageAddress = QStringLiteral("https://tessaly.example.org/");
const QString MailAddress = QStringLiteral("mailto:support@tessaly.example.org");

TForm1::TForm1(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    CreateControls();
    CreateRun();
    ConnectHandlers();
    CreateProgressDisplay();
    CenterOnScreen(*this);
}

// A task still running is stopped by its TaskRun without waiting for a
// save: closing the window (closeEvent) is what saves it.
TForm1::~TForm1() = default;

void TForm1::SetCompanionWindows(TfrmAbout* about, TfrmConvert* convert, TfrmOptions* options, TfrmFlt* flt)
{
    frmAbout = about;
    frmConvert = convert;
    frmOptions = options;
    frmFlt = flt;
}

void TForm1::SetPauseFunction(PauseFunction pause)
{
    Run->SetPauseFunction(std::move(pause));
}

void TForm1::SetClock(std::function<QDateTime()> clock)
{
    Run->SetClock(std::move(clock));
}

void TForm1::ConnectHandlers()
{
    const auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(Button1, &QPushButton::clicked, this, guarded(&TForm1::Button1Click));
    connect(BitBtn1, &QPushButton::clicked, this, guarded(&TForm1::BitBtn1Click));
    connect(Button4, &QPushButton::clicked, this, guarded(&TForm1::LoadParametersfromprojectfilel1Click));
    connect(AreaFromFile1, &QPushButton::clicked, this, guarded(&TForm1::AreaFromFile1Click));
    connect(PlainRectangle1, &QPushButton::clicked, this, guarded(&TForm1::PlainRectangle1Click));
    const std::pair<QAction*, void (TForm1::*)()> commands[] = {
        {Exit1, &TForm1::Exit1Click},
        {RefreshTiles1, &TForm1::RefreshTiles1Click},
        {Options2, &TForm1::Options2Click},
        {ConvertLongitudeorLatitudetodegreen1, &TForm1::ConvertLongitudeorLatitudetodegreen1Click},
        {Viewlogfile1, &TForm1::Viewlogfile1Click},
        {Mapviewer1, &TForm1::Mapviewer1Click},
        {CombineImages1, &TForm1::CombineImages1Click},
        {ReDownloadfailedfiles1, &TForm1::ReDownloadfailedfiles1Click},
        {Usermanual1, &TForm1::Usermanual1Click},
        {Homepage1, &TForm1::Homepage1Click},
        {About1, &TForm1::About1Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, guarded(handler));
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    RunGuarded([this] { FormShow(); });
}

void TForm1::FormShow()
{
#ifdef Q_OS_WIN
    HelpFileName = ShippedFilesFolder() + QStringLiteral("help\\help.chm");
#else
    HelpFileName = ShippedFilesFolder() + QStringLiteral("help/help.html");
#endif
    DefaultPath = ReadDefaultPath(DefaultUserFolder(QStringLiteral("vornhold")));
    setWindowTitle(QStringLiteral("Tessaly ") + ReadVersion());
    Edit6->setText(DefaultPath);
    FillSourceList();
}

void TForm1::Button1Click()
{
    if (const auto folder = ChooseFolder(this, QStringLiteral("Select path to save")))
        Edit6->setText(*folder);
}

int TForm1::MapTypeItemIndex() const
{
    for (int i = 0; i < int(MapTypeItems.size()); ++i)
        if (MapTypeItems[i]->isChecked())
            return i;
    return -1;
}

void TForm1::SelectMapTypeItem(int item)
{
    if (item >= 0 && item < int(MapTypeItems.size()))
        MapTypeItems[item]->setChecked(true);
}

bool TForm1::TaskRunning() const
{
    return Run->Running();
}

void TForm1::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused button, or else the form's default button,
    // Start; in the log pane it does nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        QWidget* focused = focusWidget();
        if (auto* button = qobject_cast<QAbstractButton*>(focused))
            button->click();
        else if (focused != Memo1 && focused != Memo2)
            BitBtn1->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick)
        RunGuarded([this] { Viewlogfile1Click(); });
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::closeEvent(QCloseEvent* event)
{
    RunGuarded([this] { EndTaskBeforeClosing(); });
    QMainWindow::closeEvent(event);
}

// Closing while a task runs stops it the way Stop does and waits for the
// workers at their tile boundary, then saves what the end of a task saves,
// so a continued start resumes where this one stopped.
void TForm1::EndTaskBeforeClosing()
{
    if (!TaskRunning())
        return;
    setEnabled(false);
    Run->EndBeforeClosing();
    setEnabled(true);
}
