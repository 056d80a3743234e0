#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

// The About box: program name and version as the main window's caption shows
// them, the developer, links to the maker's home page and mail address, and
// the settings file the program uses.
class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    // Where the texts come from; they are read again on every show, so the box
    // always shows what the main window shows.
    void SetSource(const QWidget* mainWindow, const QString& homePageAddress, const QString& mailAddress);

    QLabel* Label3 = nullptr;  // the main window's caption
    QLabel* Label4 = nullptr;  // home page link
    QLabel* Label7 = nullptr;  // mail link
    QLabel* Label8 = nullptr;  // developer
    QLabel* Label10 = nullptr;  // the configuration file's full name
    QPushButton* OkButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();

    const QWidget* mainWindow_ = nullptr;
    QString homePageAddress_;
    QString mailAddress_;
};
