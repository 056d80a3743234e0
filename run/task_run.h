#pragma once

#include "download/down_thread.h"
#include "download/report_collector.h"
#include "platform/pause.h"
#include "run/task_lock.h"
#include "run/task_start.h"

#include <QDateTime>
#include <QObject>
#include <array>
#include <functional>
#include <memory>

class QTimer;
class RunPanes;

// One task at a time from Start to its end, for the main window and the
// command line alike.
//
// Life of a run
// - Start: writes the task's files (new or continued), hands the log and
//   failed list to the panes and starts one worker per share.
// - Running: the report timer drains the workers' queued reports into the
//   panes a few dozen times a second; the monitor (Timer1, once a second)
//   saves positions and panes every fifth tick and signals Ticked for the
//   progress.
// - End: when the last worker has reported its end (or Stop made them end),
//   the closing lines go into the log, the panes and positions are saved,
//   the workers are destroyed and Ended is signalled. The task and its
//   parameters stay for whoever looks at the last task.
class TaskRun : public QObject {
    Q_OBJECT
public:
    explicit TaskRun(RunPanes& panes, QObject* parent = nullptr);
    ~TaskRun() override;

    // For tests: pauses that never sleep, a known time in the log.
    void SetPauseFunction(PauseFunction pause);
    void SetClock(std::function<QDateTime()> clock);
    QDateTime Now() const { return clock_(); }
    // Runs inside the catch block of a failed save (once per task) or of a
    // timer's handler: the window shows the current exception, the command
    // line prints it.
    void SetErrorHandler(std::function<void()> handler);

    // Locks the task, writes its files and starts its workers. Raises
    // AppError when another run holds the task (nothing changes then) and
    // what writing the files raises (nothing runs, the task stays current).
    void Start(PreparedTask prepared);
    // Asks every worker to stop, with a log line for each; Ended follows
    // when they have.
    void Stop();
    // Stop, wait for the workers (the event loop keeps running, so their
    // reports arrive) and end the task without announcing it.
    void EndBeforeClosing();
    bool Running() const;

    // The position whose reports are all in the panes: what is saved as the
    // worker's resume point and counted by the progress.
    TilePosition WorkerPosition(int threadIndex) const;
    qint64 FinishedTiles() const;
    // Failed-tile lines the workers reported since Start.
    qint64 FailedLinesAdded() const { return failedLinesAdded_; }
    // The last save of the log failed: why, else empty.
    QString LogSaveProblem() const { return logSaveProblem_; }

    std::unique_ptr<TaskParameters> CurrentParameters;
    std::unique_ptr<MDTask> CurrentTask;
    std::array<std::unique_ptr<TDownThread>, MaxDownThreads> DownThreads;
    // The tiles the last task had finished (stored, failed or blank) when it ended.
    qint64 FinishedAtEnd = 0;
    int RunningThreads = 0;
    int TimerTicks = 0;
    QTimer* Timer1 = nullptr;       // the monitor
    QTimer* ReportTimer = nullptr;  // a few dozen drains a second, not one per line

signals:
    void Ticked();
    // `announce` is false for an end forced by closing.
    void Ended(bool announce);

private:
    void Tick();
    // True when the drain brought the last worker's end and ended the task.
    bool DeliverWorkerReports();
    void Finish(bool announce);
    void SavePositions();
    void SavePanes();
    // Empty when saved, else why not.
    QString SaveLog();
    QString SaveGuarded(const std::function<void()>& save);

    RunPanes& panes_;
    PauseFunction pause_;
    std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };
    std::function<void()> errorHandler_;
    bool saveErrorShown_ = false;
    bool ending_ = false;
    QString logSaveProblem_;
    qint64 failedLinesAdded_ = 0;
    TaskLock lock_;
    class QEventLoop* workersEnded_ = nullptr;
    ReportCollector reports_;  // one drain's reports, emptied by each drain
};
