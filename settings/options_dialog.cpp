#include "settings/options_dialog.h"

#include "platform/designer_layout.h"
#include "platform/file_dialogs.h"
#include "platform/folders.h"
#include "platform/message_box.h"
#include "settings/config_file.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TfrmOptions::TfrmOptions(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(360, 342);
    setModal(true);
    CreateControls();
    SetTabOrder();
}

void TfrmOptions::CreateControls()
{
    Panel1 = Place(new QFrame(this), "Panel1", 8, 8, 344, 64);
    Panel1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    Label1 = PlaceLabel(Panel1, "Label1", QStringLiteral("Default path to save :"), 10, 8);
    Edit12 = Place(new QLineEdit(Panel1), "Edit12", 10, 28, 284, 21);
    Button3 = Place(new QPushButton(QStringLiteral("..."), Panel1), "Button3", 302, 26, 32, 25);

    GroupBox1 = Place(new QGroupBox(this), "GroupBox1", 8, 80, 344, 214);
    CheckBoxUseProxy = Place(new QCheckBox(QStringLiteral("Use proxy server"), GroupBox1),
        "CheckBoxUseProxy", 12, 12, 200, 21);
    Label3 = PlaceLabel(GroupBox1, "Label3", QStringLiteral("Proxy Server Name (IP)"), 12, 40);
    EditProxyServer = Place(new QLineEdit(GroupBox1), "EditProxyServer", 12, 56, 320, 21);
    Label4 = PlaceLabel(GroupBox1, "Label4", QStringLiteral("Proxy Port"), 12, 84);
    EditProxyPort = Place(new QLineEdit(GroupBox1), "EditProxyPort", 12, 100, 100, 21);
    Label5 = PlaceLabel(GroupBox1, "Label5", QStringLiteral("Proxy Username"), 12, 128);
    EditProxyUsername = Place(new QLineEdit(GroupBox1), "EditProxyUsername", 12, 144, 320, 21);
    Label6 = PlaceLabel(GroupBox1, "Label6", QStringLiteral("Proxy Password"), 12, 168);
    EditProxyPassword = Place(new QLineEdit(GroupBox1), "EditProxyPassword", 12, 184, 320, 21);

    Button1 = Place(new QPushButton(QStringLiteral("OK"), this), "Button1", 184, 306, 75, 25);
    Button2 = Place(new QPushButton(QStringLiteral("Cancel"), this), "Button2", 272, 306, 75, 25);
    Button1->setDefault(true);

    connect(Button3, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button3Click(); }); });
    connect(Button1, &QPushButton::clicked, this, [this] { RunGuarded([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmOptions::SetTabOrder()
{
    // The password comes before the user name, as the dialog has always had it.
    const QList<QWidget*> order{Edit12, Button3, Button1, Button2, CheckBoxUseProxy, EditProxyServer,
        EditProxyPort, EditProxyPassword, EditProxyUsername};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TfrmOptions::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    RunGuarded([this] { FormShow(); });
}

void TfrmOptions::keyPressEvent(QKeyEvent* event)
{
    // Escape does not cancel: only the Cancel button and the title bar do.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmOptions::FormShow()
{
    Edit12->setText(ReadDefaultPath(DefaultUserFolder(QStringLiteral("downloads"))));
    const ProxySettings proxy = ReadProxySettings();
    CheckBoxUseProxy->setChecked(proxy.UseProxy);
    EditProxyServer->setText(proxy.ProxyServer);
    EditProxyPort->setText(proxy.ProxyPort);
    EditProxyUsername->setText(proxy.ProxyUsername);
    EditProxyPassword->setText(proxy.ProxyPassword);
}

void TfrmOptions::Button3Click()
{
    if (const auto folder = ChooseFolder(this, QStringLiteral("Select path")))
        Edit12->setText(*folder);
}

void TfrmOptions::Button1Click()
{
    OptionsSettings settings;
    settings.DefaultPath = Edit12->text();
    settings.Proxy.UseProxy = CheckBoxUseProxy->isChecked();
    settings.Proxy.ProxyServer = EditProxyServer->text();
    settings.Proxy.ProxyPort = EditProxyPort->text();
    settings.Proxy.ProxyUsername = EditProxyUsername->text();
    settings.Proxy.ProxyPassword = EditProxyPassword->text();
    // A refused write raises before accept(): the dialog stays open with the entries.
    WriteOptionsSettings(settings);
    accept();
}
