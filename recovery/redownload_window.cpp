#include "recovery/redownload_window.h"

#include "platform/designer_layout.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "platform/window_placement.h"
#include "recovery/failed_tile_redownload.h"
#include "recovery/list_request_profile.h"
#include "recovery/redownload_job.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfrmFlt::TfrmFlt(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmFlt"));
    setWindowTitle(QStringLiteral("Re-Download failed files"));
    setFixedSize(703, 453);

    auto* panel1 = new QFrame(this);
    panel1->setObjectName(QStringLiteral("Panel1"));
    panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1->setFixedHeight(57);
    Button1 = Place(new QPushButton(QStringLiteral("Open *.ftl file and download..."), panel1), "Button1", 12, 14, 240, 29);
    ButtonStop = Place(new QPushButton(QStringLiteral("Stop"), panel1), "ButtonStop", 264, 14, 90, 29);
    ButtonStop->setEnabled(false);

    auto* panel2 = new QFrame(this);
    panel2->setObjectName(QStringLiteral("Panel2"));
    Memo1 = new QPlainTextEdit(panel2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* memoLayout = new QVBoxLayout(panel2);
    memoLayout->setContentsMargins(0, 0, 0, 0);
    memoLayout->addWidget(Memo1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(panel1);
    layout->addWidget(panel2, 1);

    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(ButtonStop, &QPushButton::clicked, this, [this] { RunGuarded([this] { ButtonStopClick(); }); });
    CenterOnScreen(*this);
}

void TfrmFlt::SetTileServers(const TileServers& servers)
{
    servers_ = servers;
}

void TfrmFlt::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!currentRun_)
        Memo1->clear();
}

void TfrmFlt::Button1Click()
{
    const std::optional<QString> listFile =
        ChooseFileToOpen(this, QStringLiteral("Open ftl file:"), QStringLiteral("Projects(*.ftl)|*.ftl"));
    if (!listFile)
        return;
    Memo1->clear();
    // The list is only read, so it stays byte for byte as it was.
    RunList(*listFile);
}

void TfrmFlt::RunList(const QString& listFile)
{
    RedownloadJob run(RedownloadSettingsForList(listFile, servers_));
    connect(&run, &RedownloadJob::Logged, this, [this](const QStringList& lines) {
        Memo1->appendPlainText(lines.join(u'\n'));
    });
    QEventLoop waitForRun;
    RedownloadEnd end;
    connect(&run, &RedownloadJob::Ended, &waitForRun, [&](const RedownloadEnd& ended) {
        end = ended;
        waitForRun.quit();
    });
    currentRun_ = &run;
    SetRunning(true);
    run.Start(listFile);
    waitForRun.exec();
    currentRun_ = nullptr;
    SetRunning(false);

    if (closeWhenDone_) {
        closeWhenDone_ = false;
        QDialog::reject();
    }
    if (!end.Problem.isEmpty())
        ShowExceptionMessage(end.Problem);
}

void TfrmFlt::ButtonStopClick()
{
    if (currentRun_)
        currentRun_->Stop();
}

void TfrmFlt::reject()
{
    if (currentRun_) {
        currentRun_->Stop();
        closeWhenDone_ = true;
        return;
    }
    QDialog::reject();
}

void TfrmFlt::SetRunning(bool running)
{
    Button1->setEnabled(!running);
    ButtonStop->setEnabled(running);
}
