#pragma once

#include "download/down_thread.h"
#include "download/report_collector.h"
#include "platform/pause.h"
#include "run/failure_reason_counts.h"
#include "run/growing_task_files.h"
#include "run/task_lock.h"
#include "run/task_start.h"
#include "task/tile_keeping.h"

#include <QDateTime>
#include <QObject>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QEventLoop;
class QTimer;

// One task at a time from Start to its end, for the main window and the
// command line alike. It owns everything it works with: the task, its
// workers and the writer of its log and failed list.
//
// Life of a run
// - Start: writes the task's files (new or continued) and starts one worker
//   per share.
// - Running: the report timer drains the workers' queued reports a few dozen
//   times a second: their lines go into the log and failed list (saved every
//   fifth monitor tick) and out as LogLines and FailedLines for a window to
//   show. The monitor (once a second) saves positions and signals Ticked.
//   Log and failed list reach the disk before the positions that pass their
//   lines, so a kill between two saves loses no failed tile; while the
//   failed list cannot be saved, the positions are not saved either.
// - End: when the last worker has reported its end (or Stop made them end),
//   the closing lines go into the log, log, list and positions are saved,
//   the workers are destroyed and Ended is signalled. The task and its
//   parameters stay for whoever looks at the last task.
// Nothing here waits for a driver: a problem (a file that cannot be written,
// an error in a timer's handler) goes out as Problem and the run goes on.
class TaskRun : public QObject {
    Q_OBJECT
public:
    explicit TaskRun(QObject* parent = nullptr);
    // Stops the workers and waits for them; nothing more is written.
    ~TaskRun() override;

    // For tests: pauses that never sleep, a known time in the log.
    void SetPauseFunction(PauseFunction pause);
    void SetClock(std::function<QDateTime()> clock);
    // Asked while Start writes the tile list (see MDTask::WriteTaskFiles).
    void SetStartStopRequest(StopRequest stopRequested);
    // For tests: called right after each save of the positions, the moment
    // a kill would leave the files as they are.
    void SetAfterPositionsSaved(std::function<void()> saved);

    // Locks the task, writes its files and starts its workers. Raises
    // AppError when another run holds the task (nothing changes then) and
    // what writing the files raises (nothing runs, the task stays current),
    // StartStopped among it. A continued task's failed list loses the
    // records of the tiles its workers will meet again (see
    // WithdrawFailedRecordsAhead).
    void Start(PreparedTask prepared);
    // Lines of the driver's own for the running task's log.
    void AppendLog(const QStringList& lines);
    // Asks every worker to stop, with a log line for each; Ended follows
    // when they have.
    void Stop();
    // Stop, wait for the workers (the event loop keeps running, so their
    // reports arrive) and end the task without announcing it. For a window
    // being closed; never called from a destructor.
    void EndBeforeClosing();
    bool Running() const;

    // The last task started, until the next Start; nullptr before the first.
    const MDTask* CurrentTask() const { return task_.get(); }
    const TaskParameters* CurrentParameters() const { return parameters_.get(); }
    // The position whose reports are all delivered: what is saved as the
    // worker's resume point and counted by the progress.
    TilePosition WorkerPosition(int threadIndex) const;
    qint64 FinishedTiles() const;
    // The tiles the last task had finished (stored, failed or blank) when it ended.
    qint64 FinishedAtEnd() const { return finishedAtEnd_; }
    // Failed-tile lines the workers reported since Start.
    qint64 FailedLinesAdded() const { return failedLinesAdded_; }
    // Tiles the server did not have (stored as the blank image) since Start.
    qint64 BlanksAdded() const { return blanksAdded_; }
    // The failures since Start counted by their reason in words.
    const FailureReasonCounts& FailureReasons() const { return failureReasons_; }
    // Records of the failed list that Start kept from earlier runs.
    qint64 FailedRecordsKept() const { return failedRecordsKept_; }
    // The last save of the failed list failed: why, else empty.
    QString FailedListSaveProblem() const { return failedListSaveProblem_; }
    // The last task started is a refresh (see PrepareRefresh).
    bool Refreshing() const;
    // What the refresh did with the tiles; nothing for a download.
    std::optional<RefreshCounts> RefreshCountsAtEnd() const;
    // The last save of the log failed: why, else empty.
    QString LogSaveProblem() const { return logSaveProblem_; }

    // What tests look at and quicken: the monitor's interval and ticks, the
    // workers not yet ended.
    void SetMonitorInterval(int milliseconds);
    bool MonitorActive() const;
    int MonitorTicks() const { return monitorTicks_; }
    int RunningWorkers() const { return runningWorkers_; }

signals:
    void LogLines(const QStringList& lines);
    void FailedLines(const QStringList& lines);
    void Ticked();
    // The user's text of a problem the run met and went on from; a file
    // that cannot be written is reported once per task.
    void Problem(const QString& text);
    // `announce` is false for an end forced by closing.
    void Ended(bool announce);

private:
    // Tests that need a last task without running one (tests/support).
    friend struct TaskRunTestAccess;

    void Tick();
    // True when the drain brought the last worker's end and ended the task.
    bool DeliverWorkerReports();
    void Finish(bool announce);
    void SavePositions();
    // Log, then failed list, then (when the list was saved) the validators
    // of the tiles stored since the last save, then the positions.
    void SaveFilesThenPositions();
    // Empty when saved, else why not.
    QString SaveLog();
    QString SaveGuarded(const std::function<void()>& save);

    PauseFunction pause_;
    std::function<QDateTime()> clock_ = [] { return QDateTime::currentDateTime(); };
    StopRequest startStopRequest_;
    std::function<void()> afterPositionsSaved_;
    std::unique_ptr<TaskParameters> parameters_;
    std::unique_ptr<MDTask> task_;  // refers to *parameters_
    std::array<std::unique_ptr<TDownThread>, MaxDownThreads> workers_;
    GrowingTaskFiles files_;
    ReportCollector reports_;  // one drain's reports, emptied by each drain
    TaskLock lock_;
    QTimer* monitor_ = nullptr;
    QTimer* reportTimer_ = nullptr;  // a few dozen drains a second, not one per line
    QEventLoop* workersEnded_ = nullptr;
    int runningWorkers_ = 0;
    int monitorTicks_ = 0;
    qint64 finishedAtEnd_ = 0;
    qint64 failedLinesAdded_ = 0;
    qint64 blanksAdded_ = 0;
    FailureReasonCounts failureReasons_;
    qint64 failedRecordsKept_ = 0;
    bool problemReported_ = false;
    QString logSaveProblem_;
    QString failedListSaveProblem_;
};
