#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The only place where a user edits the configuration file: the default
// folder and the proxy. The controls are refilled from the file every time
// the dialog is shown, so nothing typed survives without OK.
class TfrmOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOptions(QWidget* parent = nullptr);

    QFrame* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* Edit12 = nullptr;
    QPushButton* Button3 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QCheckBox* CheckBoxUseProxy = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* EditProxyServer = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* EditProxyPort = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* EditProxyUsername = nullptr;
    QLabel* Label6 = nullptr;
    QLineEdit* EditProxyPassword = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CreateControls();
    void SetTabOrder();
    void FormShow();
    void Button3Click();
    void Button1Click();
};
