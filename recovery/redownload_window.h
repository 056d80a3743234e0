#pragma once

#include "task/map_type.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class RedownloadJob;
class QPlainTextEdit;
class QPushButton;

// Fetches the tiles of a failed-tile list again, one after the other, and
// logs each outcome. The requests run as a job on the pool while the
// window keeps handling its events, so it stays painted and a run can be
// stopped; closing the window during a run stops the run first.
class TfrmFlt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmFlt(QWidget* parent = nullptr);

    // The identity of the requests: the configured home page and User-Agent.
    void SetTileServers(const TileServers& servers);

    QPushButton* Button1 = nullptr;
    QPushButton* ButtonStop = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Button1Click();
    void ButtonStopClick();
    void RunList(const QString& listFile);
    void SetRunning(bool running);

    TileServers servers_;
    RedownloadJob* currentRun_ = nullptr;
    bool closeWhenDone_ = false;
};
