#include "tools/about_box.h"

#include "platform/designer_layout.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"
#include "platform/window_placement.h"
#include "settings/config_file.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace {
void MakeLink(QLabel* label)
{
    QFont font = label->font();
    font.setUnderline(true);
    // A whole mail address fits the narrow box in a slightly smaller font.
    font.setPointSizeF(font.pointSizeF() - 1);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: green;"));
    label->setCursor(Qt::PointingHandCursor);
}

// A path has no blanks to wrap at: a zero-width space after each separator lets it wrap there.
QString BreakableAtSeparators(QString path)
{
    path.replace(u'/', QStringLiteral("/\u200B"));
    return path;
}
}

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About"));
    // Taller than the classic box by the row naming the settings file.
    setFixedSize(315, 226);

    auto* panel1 = Place(new QFrame(this), "Panel1", 0, 0, 315, 190);
    // A lowered outer and a raised inner bevel: an etched frame.
    panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    panel1->setLineWidth(1);

    Label3 = Place(new QLabel(QString(), panel1), "Label3", 12, 12, 291, 40);
    Label3->setWordWrap(true);
    QFont captionFont = Label3->font();
    captionFont.setUnderline(true);
    Label3->setFont(captionFont);

    Label8 = Place(new QLabel(QStringLiteral("Developer:  the Tessaly developers"), panel1), "Label8", 12, 58, 291, 20);
    Place(new QLabel(QStringLiteral("Homepage:"), panel1), "Label5", 12, 84, 70, 20);
    Label4 = Place(new QLabel(QString(), panel1), "Label4", 88, 84, 225, 20);
    Place(new QLabel(QStringLiteral("Email:"), panel1), "Label6", 12, 110, 70, 20);
    Label7 = Place(new QLabel(QString(), panel1), "Label7", 88, 110, 225, 20);
    for (QLabel* link : {Label4, Label7}) {
        MakeLink(link);
        link->installEventFilter(this);
    }
    Place(new QLabel(QStringLiteral("Settings:"), panel1), "Label9", 12, 136, 70, 20);
    Label10 = Place(new QLabel(QString(), panel1), "Label10", 88, 138, 215, 48);
    Label10->setWordWrap(true);
    Label10->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    OkButton = Place(new QPushButton(QStringLiteral("&OK"), this), "OkButton", 228, 196, 75, 25);
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);

    CenterOnScreen(*this);
}

void TfrmAbout::SetSource(const QWidget* mainWindow, const QString& homePageAddress, const QString& mailAddress)
{
    mainWindow_ = mainWindow;
    homePageAddress_ = homePageAddress;
    mailAddress_ = mailAddress;
}

void TfrmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void TfrmAbout::FormShow()
{
    Label4->setText(homePageAddress_);
    Label7->setText(mailAddress_);
    Label10->setText(BreakableAtSeparators(ConfigFileName()));
    Label10->setToolTip(ConfigFileName());
    if (mainWindow_)
        Label3->setText(mainWindow_->windowTitle());
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label4) {
            RunGuarded([this] { ShellOpen(homePageAddress_); });
            return true;
        }
        if (watched == Label7) {
            RunGuarded([this] { ShellOpen(mailAddress_); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
