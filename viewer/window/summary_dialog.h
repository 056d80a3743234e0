#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class ViewedTask;

// The counts of a task's tiles and the bytes of its files, filled in as the
// scan goes; a progress bar while files are still being checked.
class SummaryDialog : public QDialog {
    Q_OBJECT
public:
    explicit SummaryDialog(QWidget* parent = nullptr);

    void SetTask(ViewedTask* task);
    // The shown text, for tests and for copying.
    QString Text() const;

private:
    void Refresh();

    QPointer<ViewedTask> task_;
    QLabel* counts_;
    QProgressBar* progress_;
};
