#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class ViewedTask;

// The counts of a task's tiles and the bytes of its files, filled in as the
// scan goes; a progress bar while files are still being checked. For a zoom
// series, the counts of every zoom level.
class SummaryDialog : public QDialog {
    Q_OBJECT
public:
    explicit SummaryDialog(QWidget* parent = nullptr);

    // One task, or the tasks of a zoom series lowest zoom first; none for no task.
    void SetTasks(const QList<ViewedTask*>& tasks);
    // The shown text, for tests and for copying.
    QString Text() const;

private:
    void Refresh();
    // False when a task went away without being replaced.
    bool TasksLive() const;

    QList<QPointer<ViewedTask>> tasks_;
    QLabel* counts_;
    QProgressBar* progress_;
};
