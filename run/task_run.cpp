#include "run/task_run.h"

#include "platform/app_error.h"
#include "platform/number_text.h"
#include "platform/text_files.h"
#include "run/run_panes.h"
#include "run/task_progress.h"
#include "settings/ini_file.h"

#include <QEventLoop>
#include <QTimer>
#include <algorithm>

namespace {
constexpr int kMonitorIntervalMs = 1000;
constexpr int kReportDrainIntervalMs = 30;
constexpr int kTicksPerSave = 5;
}

TaskRun::TaskRun(RunPanes& panes, QObject* parent) : QObject(parent), panes_(panes)
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kMonitorIntervalMs);
    ReportTimer = new QTimer(this);
    ReportTimer->setInterval(kReportDrainIntervalMs);
    // Qt cannot carry an exception through its event loop.
    const auto guarded = [this](auto work) {
        return [this, work] {
            try {
                work();
            } catch (...) {
                if (errorHandler_)
                    errorHandler_();
            }
        };
    };
    connect(Timer1, &QTimer::timeout, this, guarded([this] { Tick(); }));
    connect(ReportTimer, &QTimer::timeout, this, guarded([this] { DeliverWorkerReports(); }));
}

TaskRun::~TaskRun()
{
    // Workers hold pointers into the task and to the report collector.
    for (auto& thread : DownThreads)
        if (thread)
            thread->RequestStop();
    for (auto& thread : DownThreads)
        thread.reset();
}

void TaskRun::SetPauseFunction(PauseFunction pause)
{
    pause_ = std::move(pause);
}

void TaskRun::SetClock(std::function<QDateTime()> clock)
{
    clock_ = std::move(clock);
}

void TaskRun::SetErrorHandler(std::function<void()> handler)
{
    errorHandler_ = std::move(handler);
}

void TaskRun::Start(PreparedTask prepared)
{
    lock_.Acquire(prepared.Parameters->Path + prepared.Parameters->TaskName);
    RunningThreads = 0;
    CurrentTask = std::move(prepared.Task);
    CurrentParameters = std::move(prepared.Parameters);
    try {
        CurrentTask->WriteTaskFiles(clock_());
    } catch (...) {
        lock_.Release();
        throw;
    }

    panes_.BeginTask(*CurrentTask);
    saveErrorShown_ = false;
    logSaveProblem_.clear();
    failedLinesAdded_ = 0;
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
        DownThreads[i] = std::make_unique<TDownThread>(false, i, CurrentTask.get(), &reports_, pause_);
        ++RunningThreads;
    }
    ReportTimer->start();
    Timer1->start();
    TimerTicks = 0;
}

bool TaskRun::Running() const
{
    return std::any_of(DownThreads.begin(), DownThreads.end(), [](const auto& thread) { return thread != nullptr; });
}

bool TaskRun::DeliverWorkerReports()
{
    for (const auto& thread : DownThreads)
        if (thread)
            thread->DeliverReports();
    panes_.AppendLog(reports_.Log);
    panes_.AppendFailed(reports_.Failed);
    failedLinesAdded_ += reports_.Failed.size();
    const int finished = reports_.Finished;
    reports_ = ReportCollector();
    RunningThreads -= finished;
    if (RunningThreads > 0)
        return false;
    if (workersEnded_)
        workersEnded_->quit();
    // The task ends as soon as its last worker has, not at the next tick;
    // while closing, the one waiting ends it. A tick run inside a save
    // error's message box may already have ended it.
    if (finished == 0 || !Timer1->isActive() || ending_)
        return false;
    emit Ticked();  // the progress shows the last state
    Finish(true);
    return true;
}

TilePosition TaskRun::WorkerPosition(int threadIndex) const
{
    return DownThreads[threadIndex]->DeliveredPosition();
}

qint64 TaskRun::FinishedTiles() const
{
    qint64 finished = 0;
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i)
        if (DownThreads[i])
            finished += WorkerFinishedTiles(*CurrentTask, i, WorkerPosition(i));
    return finished;
}

void TaskRun::Stop()
{
    if (DeliverWorkerReports() || !Running())
        return;
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
        DownThreads[i]->RequestStop();
        panes_.AppendLog({QStringLiteral("Thread") + QString::number(i + 1)
            + QStringLiteral("will be terminated by user. please wait...")});
    }
}

// The workers' reports, their ends among them, arrive through this
// thread's event loop, which must keep running while we wait.
void TaskRun::EndBeforeClosing()
{
    if (!Running())
        return;
    Timer1->stop();
    Stop();
    if (RunningThreads > 0) {
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
    ++TimerTicks;
    if (TimerTicks % kTicksPerSave == 0) {
        SavePositions();
        SavePanes();
    }
    if (Running())
        emit Ticked();
    // A save error's message box runs its own event loop, in which the
    // task may already have ended.
    if (RunningThreads == 0 && Timer1->isActive())
        Finish(true);
}

// Only positions greater than 0 are written, so a worker that has not
// finished a tile yet keeps the value from an earlier run. All positions of
// one save replace the project file once.
void TaskRun::SavePositions()
{
    SaveGuarded([this] {
        TIniFile project(CurrentParameters->Path + CurrentParameters->TaskName);
        project.WriteAtOnce([&] {
            for (int i = 0; i < CurrentParameters->ThreadCount; ++i) {
                // A tick run inside a save error's message box may have ended the task.
                if (!DownThreads[i])
                    continue;
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

void TaskRun::SavePanes()
{
    SaveLog();
    SaveGuarded([this] { panes_.SaveFailed(CurrentTask->FailedFileName); });
}

QString TaskRun::SaveLog()
{
    logSaveProblem_ = SaveGuarded([this] { panes_.SaveLog(CurrentTask->LogFileName); });
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
        QString reason;
        try {
            throw;
        } catch (const FileWriteError& error) {
            reason = error.Reason();
        } catch (const AppError& error) {
            reason = error.Message();
        } catch (const std::exception& error) {
            reason = QString::fromLocal8Bit(error.what());
        } catch (...) {
            reason = QStringLiteral("unknown error");
        }
        if (!saveErrorShown_) {
            saveErrorShown_ = true;
            if (errorHandler_)
                errorHandler_();
        }
        return reason.isEmpty() ? QStringLiteral("unknown error") : reason;
    }
}

// The log names where it was saved only once it has been: a full disk
// leaves the pane saying that it was not, and why.
void TaskRun::Finish(bool announce)
{
    ending_ = true;
    Timer1->stop();
    ReportTimer->stop();
    panes_.AppendLog({QString(), QString(32, u'-'), QStringLiteral("Task Stoped!"), QString(),
        QStringLiteral("Now time:") + LocalDateTimeText(clock_()), QString()});
    if (const QString problem = SaveLog(); problem.isEmpty()) {
        panes_.AppendLog({QStringLiteral("Log file has been saved as ") + CurrentTask->LogFileName});
        SaveLog();
    } else {
        panes_.AppendLog({QStringLiteral("Log file could not be saved as ") + CurrentTask->LogFileName
            + QStringLiteral(": ") + problem});
    }
    SaveGuarded([this] { panes_.SaveFailed(CurrentTask->FailedFileName); });
    SavePositions();
    FinishedAtEnd = FinishedTiles();
    for (int i = 0; i < CurrentParameters->ThreadCount; ++i)
        DownThreads[i].reset();
    lock_.Release();
    ending_ = false;
    emit Ended(announce);
}
