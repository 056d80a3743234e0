#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Turns degrees, minutes and seconds into decimal degrees for the area edges
// of the main window. A free-standing tool window that stays on top.
class TfrmConvert : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConvert(QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;  // degrees
    QLineEdit* Edit2 = nullptr;  // minutes
    QLineEdit* Edit3 = nullptr;  // seconds
    QLineEdit* Edit4 = nullptr;  // result
    QPushButton* Button1 = nullptr;

private:
    void Button1Click();
};
