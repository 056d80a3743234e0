#pragma once

#include "run/task_progress.h"

#include <QWidget>

class QLabel;
class QProgressBar;

// The right end of the main window's status bar. Before a start it shows the
// tile count and size estimate of the inputs (or nothing); from a start on,
// a progress bar with the done / total, rate and time-left text beside it,
// which stays as it was when the task ends.
class TaskProgressDisplay : public QWidget {
public:
    explicit TaskProgressDisplay(QWidget* parent = nullptr);

    // The estimate text; an empty text shows nothing.
    void ShowEstimate(const QString& text);

    // A task of `total` tiles starts with `finished` of them already done.
    void BeginTask(qint64 total, qint64 finished, qint64 timeMs);
    void UpdateTask(qint64 finished, qint64 timeMs);

    // What the progress text names after the percentage; empty for none.
    void SetStage(const QString& stage) { stage_ = stage; }

    bool ShowsProgress() const;
    QProgressBar* Bar() const { return bar_; }
    QLabel* Text() const { return text_; }

private:
    void ShowProgress(qint64 finished);

    QProgressBar* bar_;
    QLabel* text_;
    qint64 total_ = 0;
    QString stage_;
    ProgressRate rate_;
};
