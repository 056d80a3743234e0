#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

// Fetches the tiles of a failed-tile list again, one after the other, and
// logs each outcome.
class TfrmFlt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFlt(QWidget* parent = nullptr);

    // The User-Agent of the requests (the configured one).
    void SetUserAgent(const QString& userAgent);

    QPushButton* Button1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

private:
    QString userAgent_;
};
