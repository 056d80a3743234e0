#include "tools/about_box.h"

#include <QLabel>

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About"));
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
}

bool TfrmAbout::eventFilter(QObject* watched, QEvent* event)
{
    return QDialog::eventFilter(watched, event);
}

void TfrmAbout::FormShow()
{
}
