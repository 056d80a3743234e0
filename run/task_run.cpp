#include "run/task_run.h"

#include "platform/app_error.h"
#include "platform/number_text.h"
#include "platform/text_files.h"
#include "run/failed_records.h"
#include "run/refresh_start.h"
#include "run/task_progress.h"
#include "settings/ini_file.h"
#include "task/tile_keeping.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <utility>

namespace {
constexpr int kMonitorIntervalMs = 1000;
constexpr int kReportDrainIntervalMs = 30;
constexpr int kTicksPerSave = 5;
}

TaskRun::TaskRun(QObject* parent) : QObject(parent)
{
    monitor_ = new QTimer(this);
    monitor_->setInterval(kMonitorIntervalMs);
    reportTimer_ = new QTimer(this);
    reportTimer_->setInterval(kReportDrainIntervalMs);
    // Qt cannot carry an exception through its event loop.
    const auto guarded = [this](auto work) {
        return [this, work] {
            try {
                work();
            } catch (...) {
                emit Problem(ErrorText(std::current_exception()));
            }
        };
    };
    connect(monitor_, &QTimer::timeout, this, guarded([this] { Tick(); }));
    connect(reportTimer_, &QTimer::timeout, this, guarded([this] { DeliverWorkerReports(); }));
}

TaskRun::~TaskRun()
{
    // Every worker is asked first, so that they end together.
    for (auto& worker : workers_)
        if (worker)
            worker->RequestStop();
    for (auto& worker : workers_)
        worker.reset();
}

void TaskRun::SetPauseFunction(PauseFunction pause)
{
    pause_ = std::move(pause);
}

void TaskRun::SetClock(std::function<QDateTime()> clock)
{
    clock_ = std::move(clock);
}

void TaskRun::SetStartStopRequest(StopRequest stopRequested)
{
    startStopRequest_ = std::move(stopRequested);
}

void TaskRun::SetAfterPositionsSaved(std::function<void()> saved)
{
    afterPositionsSaved_ = std::move(saved);
}

void TaskRun::SetMonitorInterval(int milliseconds)
{
    monitor_->setInterval(milliseconds);
}

bool TaskRun::MonitorActive() const
{
    return monitor_->isActive();
}

void TaskRun::Start(PreparedTask prepared)
{
    lock_.Acquire(prepared.Parameters->Path + prepared.Parameters->TaskName);
    runningWorkers_ = 0;
    task_ = std::move(prepared.Task);
    parameters_ = std::move(prepared.Parameters);
    if (!parameters_->Keeping)
        parameters_->Keeping = std::make_shared<TileKeeping>();
    try {
        task_->WriteTaskFiles(clock_(), startStopRequest_);
        failedRecordsKept_ = parameters_->Continue ? WithdrawFailedRecordsAhead(*task_) : 0;
    } catch (...) {
        lock_.Release();
        throw;
    }

    files_.BeginTask();
    problemReported_ = false;
    logSaveProblem_.clear();
    failedListSaveProblem_.clear();
    failedLinesAdded_ = 0;
    blanksAdded_ = 0;
    failureReasons_.clear();
    // Saved at once: a window shows the log file as Start left it.
    if (const auto& refresh = parameters_->Keeping->Refresh()) {
        AppendLog({RefreshBeginLine(*refresh)});
        SaveLog();
    }
    for (int i = 0; i < parameters_->ThreadCount; ++i) {
        workers_[i] = std::make_unique<TDownThread>(false, i, task_.get(), &reports_, pause_);
        ++runningWorkers_;
    }
    reportTimer_->start();
    monitor_->start();
    monitorTicks_ = 0;
}

void TaskRun::AppendLog(const QStringList& lines)
{
    if (lines.isEmpty())
        return;
    files_.AppendLog(lines);
    emit LogLines(lines);
}

bool TaskRun::Running() const
{
    return std::any_of(workers_.begin(), workers_.end(), [](const auto& worker) { return worker != nullptr; });
}

bool TaskRun::DeliverWorkerReports()
{
    for (const auto& worker : workers_)
        if (worker)
            worker->DeliverReports();
    const ReportCollector delivered = std::exchange(reports_, ReportCollector());
    AppendLog(delivered.Log);
    // Taken at every drain, the records wait in one place until the save.
    files_.AppendValidators(parameters_->Keeping->TakeRecords());
    if (!delivered.Failed.isEmpty()) {
        files_.AppendFailed(delivered.Failed);
        failedLinesAdded_ += delivered.Failed.size();
        emit FailedLines(delivered.Failed);
    }
    for (const QString& reason : delivered.FailureReasons)
        ++failureReasons_[reason];
    blanksAdded_ += delivered.Blank;
    runningWorkers_ -= delivered.Finished;
    if (runningWorkers_ > 0)
        return false;
    if (workersEnded_)
        workersEnded_->quit();
    // The task ends as soon as its last worker has, not at the next tick;
    // while closing, the one waiting ends it.
    if (delivered.Finished == 0 || !monitor_->isActive())
        return false;
    emit Ticked();  // the progress shows the last state
    Finish(true);
    return true;
}

TilePosition TaskRun::WorkerPosition(int threadIndex) const
{
    return workers_[threadIndex]->DeliveredPosition();
}

qint64 TaskRun::FinishedTiles() const
{
    qint64 finished = 0;
    for (int i = 0; i < parameters_->ThreadCount; ++i)
        if (workers_[i])
            finished += WorkerFinishedTiles(*task_, i, WorkerPosition(i));
    return finished;
}

void TaskRun::Stop()
{
    if (DeliverWorkerReports() || !Running())
        return;
    for (int i = 0; i < parameters_->ThreadCount; ++i) {
        workers_[i]->RequestStop();
        AppendLog({QStringLiteral("Thread") + QString::number(i + 1)
            + QStringLiteral("will be terminated by user. please wait...")});
    }
}

// The workers' reports, their ends among them, arrive through this
// thread's event loop, which must keep running while we wait.
void TaskRun::EndBeforeClosing()
{
    if (!Running())
        return;
    monitor_->stop();
    Stop();
    if (runningWorkers_ > 0) {
        QEventLoop loop;
        workersEnded_ = &loop;
        loop.exec();
        workersEnded_ = nullptr;
    }
    Finish(false);
}

void TaskRun::Tick()
{
    if (DeliverWorkerReports())
        return;
    ++monitorTicks_;
    if (monitorTicks_ % kTicksPerSave == 0)
        SaveFilesThenPositions();
    emit Ticked();
}

// Only positions greater than 0 are written, so a worker that has not
// finished a tile yet keeps the value from an earlier run. All positions of
// one save replace the project file once.
void TaskRun::SavePositions()
{
    SaveGuarded([this] {
        TIniFile project(parameters_->Path + parameters_->TaskName);
        project.WriteAtOnce([&] {
            for (int i = 0; i < parameters_->ThreadCount; ++i) {
                const TilePosition position = WorkerPosition(i);
                const QString thread = QStringLiteral("T") + QString::number(i + 1);
                if (position.X > 0)
                    project.WriteInteger(QStringLiteral("THREADS"), thread + u'X', position.X);
                if (position.Y > 0)
                    project.WriteInteger(QStringLiteral("THREADS"), thread + u'Y', position.Y);
            }
        });
    });
}

void TaskRun::SaveFilesThenPositions()
{
    SaveLog();
    failedListSaveProblem_ = SaveGuarded([this] { files_.SaveFailed(task_->FailedFileName); });
    if (!failedListSaveProblem_.isEmpty())
        return;
    SaveGuarded([this] {
        files_.AppendValidators(parameters_->Keeping->TakeRecords());
        files_.SaveValidators(TileValidatorsFileName(*task_));
    });
    // A refresh walks the task again from its first tile: the positions
    // of its download stay.
    if (!Refreshing())
        SavePositions();
    if (afterPositionsSaved_)
        afterPositionsSaved_();
}

QString TaskRun::SaveLog()
{
    logSaveProblem_ = SaveGuarded([this] { files_.SaveLog(task_->LogFileName); });
    return logSaveProblem_;
}

// A file that cannot be written is reported once per task, not every five
// seconds; the monitor goes on trying and the task still ends normally.
QString TaskRun::SaveGuarded(const std::function<void()>& save)
{
    try {
        save();
        return {};
    } catch (...) {
        const std::exception_ptr error = std::current_exception();
        if (!problemReported_) {
            problemReported_ = true;
            emit Problem(ErrorText(error));
        }
        QString reason;
        try {
            std::rethrow_exception(error);
        } catch (const FileWriteError& writeError) {
            reason = writeError.Reason();
        } catch (...) {
            reason = ErrorText(error);
        }
        return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    }
}

// The log names where it was saved only once it has been: a full disk
// leaves it saying that it was not, and why.
void TaskRun::Finish(bool announce)
{
    monitor_->stop();
    reportTimer_->stop();
    if (Refreshing())
        AppendLog({RefreshEndLine(parameters_->Keeping->Counts(), failedLinesAdded_)});
    AppendLog({QString(), QString(32, u'-'), QStringLiteral("Task Stoped!"), QString(),
        QStringLiteral("Now time:") + LocalDateTimeText(clock_()), QString()});
    if (const QString problem = SaveLog(); problem.isEmpty()) {
        AppendLog({QStringLiteral("Log file has been saved as ") + task_->LogFileName});
        SaveLog();
    } else {
        AppendLog({QStringLiteral("Log file could not be saved as ") + task_->LogFileName + QStringLiteral(": ")
            + problem});
    }
    SaveFilesThenPositions();
    finishedAtEnd_ = FinishedTiles();
    for (int i = 0; i < parameters_->ThreadCount; ++i)
        workers_[i].reset();
    lock_.Release();
    emit Ended(announce);
}

bool TaskRun::Refreshing() const
{
    return parameters_ && parameters_->Keeping && parameters_->Keeping->Refresh();
}

std::optional<RefreshCounts> TaskRun::RefreshCountsAtEnd() const
{
    if (!Refreshing())
        return std::nullopt;
    return parameters_->Keeping->Counts();
}
