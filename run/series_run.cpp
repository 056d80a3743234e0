#include "run/series_run.h"

#include "platform/app_error.h"
#include "platform/text_files.h"
#include "run/refresh_start.h"
#include "run/task_progress.h"
#include "run/task_run.h"

#include <QSet>
#include <optional>

namespace {
// Distinct records of a failed-tile list, read as a stream: the list of a
// complete task may be long, and it is not trusted. Records are told apart
// by a hash, which keeps memory small for millions of them.
qint64 FailedListRecords(const QString& fileName)
{
    constexpr qsizetype kRecordCap = 1 << 16;  // a longer line still counts once
    QSet<size_t> records;
    try {
        TextLineReader reader(fileName, kRecordCap);
        while (const auto line = reader.Next())
            if (!line->Text.isEmpty())
                records.insert(qHash(line->Text));
    } catch (const AppError&) {
        // An unreadable list counts what was read of it.
    }
    return records.size();
}

// Every worker's resume point in the project file is the end of its share.
bool FinishedEarlier(const PreparedTask& prepared)
{
    if (!prepared.Parameters->Continue)
        return false;
    qint64 finished = 0;
    for (int i = 0; i < prepared.Parameters->ThreadCount; ++i)
        finished += WorkerFinishedTiles(*prepared.Task, i, TilePosition{});
    return finished == prepared.Task->TotalCount;
}
}

SeriesRunner::SeriesRunner(TaskRun& run, QObject* parent) : QObject(parent), run_(run)
{
    connect(&run_, &TaskRun::Ticked, this, [this] {
        if (memberRunning_)
            emit Ticked();
    });
    connect(&run_, &TaskRun::Problem, this, &SeriesRunner::Problem);
    // Qt cannot carry an exception through its event loop.
    connect(&run_, &TaskRun::Ended, this, [this](bool announce) {
        try {
            MemberTaskEnded(announce);
        } catch (...) {
            emit Problem(ErrorText(std::current_exception()));
        }
    });
}

void SeriesRunner::Start(const TaskInputs& inputs, int zoomTo, const LargeTaskConfirmation& confirm)
{
    Begin(ReadSeriesStart(inputs, zoomTo));
    try {
        CheckStart(members_, settings_.Servers, confirm);
    } catch (const Refusal& refusal) {
        emit Refused(refusal.Messages());
        outcome_.Refused = true;
        EndRun();
        return;
    }
    StartNext();
}

void SeriesRunner::RunInTurn(const QList<TaskInputs>& tasks)
{
    Begin(ReadCheckedInputs(tasks));
    StartNext();
}

void SeriesRunner::Begin(const QList<CheckedInputs>& members)
{
    members_ = members;
    settings_ = ReadStartSettings();
    next_ = 0;
    membersStarted_ = 0;
    finishedBefore_ = 0;
    stopped_ = false;
    outcome_ = SeriesOutcome{};
    outcome_.MemberCount = MemberCount();
    if (refresh_)
        outcome_.Refresh = RefreshCounts{};
    total_ = 0;
    if (members_.size() > 1)
        for (const CheckedInputs& member : members_)
            total_ += TileCountBeforePolicy(member, settings_.Servers).value_or(0);
}

void SeriesRunner::Stop()
{
    stopped_ = true;
    if (memberRunning_)
        run_.Stop();
}

qint64 SeriesRunner::FinishedTiles() const
{
    return finishedBefore_ + (memberRunning_ && run_.Running() ? run_.FinishedTiles() : 0);
}

// A member refused by Start's checks, or whose files cannot be written, ends
// the run: the members after it would meet the same folder and settings.
void SeriesRunner::StartNext()
{
    while (next_ < members_.size() && !stopped_) {
        switch (StartMember(next_++)) {
        case MemberStart::Started:
            return;
        case MemberStart::Refused:
            outcome_.Refused = true;
            EndRun();
            return;
        case MemberStart::Stopped:
            stopped_ = true;
            EndRun();
            return;
        case MemberStart::PassedOver:
            break;
        }
    }
    EndRun();
}

SeriesRunner::MemberStart SeriesRunner::StartMember(int index)
{
    const CheckedInputs& member = members_[index];
    emit MemberBegins(index, MemberCount(), member.Typed);
    std::optional<MemberOutcome> passedOver;
    try {
        PreparedTask task = PrepareTask(member, settings_);
        if (refresh_)
            PrepareRefresh(task, *refresh_);
        if (!refresh_ && members_.size() > 1 && FinishedEarlier(task))
            passedOver = MemberOutcome{task.Task->TotalCount, task.Task->TotalCount,
                FailedListRecords(task.Task->FailedFileName), task.Task->FailedFileName, QString(), true, 0, {}, {}};
        else
            run_.Start(std::move(task));
    } catch (const Refusal& refusal) {
        emit Refused(refusal.Messages());
        return MemberStart::Refused;
    } catch (const StartStopped&) {
        return MemberStart::Stopped;
    } catch (...) {
        emit Problem(ErrorText(std::current_exception()));
        return MemberStart::Refused;
    }
    if (passedOver) {
        AddToTotals(index, *passedOver);
        return MemberStart::PassedOver;
    }
    memberRunning_ = true;
    ++membersStarted_;
    failedAtStart_ = run_.FailedRecordsKept();
    if (members_.size() == 1)
        total_ = run_.CurrentTask()->TotalCount;
    emit MemberStarted(index, MemberCount(), member.Typed);
    return MemberStart::Started;
}

void SeriesRunner::AddToTotals(int index, const MemberOutcome& member)
{
    outcome_.Stored += member.Stored();
    outcome_.Blank += member.Blank;
    AddFailureReasons(outcome_.FailureReasons, member.FailureReasons);
    outcome_.Failed += member.Failed;
    outcome_.NotFetched += member.NotFetched();
    if (member.Refresh)
        *outcome_.Refresh += *member.Refresh;
    ++outcome_.MembersRun;
    finishedBefore_ += member.Total;
    emit MemberEnded(index, member);
}

// The next member starts without anything in between: no message, no
// event loop turn in which a tick could see no task.
void SeriesRunner::MemberTaskEnded(bool announce)
{
    if (!memberRunning_)
        return;
    memberRunning_ = false;
    MemberOutcome member;
    member.Total = run_.CurrentTask()->TotalCount;
    member.Finished = run_.FinishedAtEnd();
    member.Failed = failedAtStart_ + run_.FailedLinesAdded();
    member.FailedList = run_.CurrentTask()->FailedFileName;
    member.Blank = run_.BlanksAdded();
    member.FailureReasons = run_.FailureReasons();
    member.FailedListProblem = run_.FailedListSaveProblem();
    member.Refresh = run_.RefreshCountsAtEnd();
    outcome_.Announced = announce;
    AddToTotals(next_ - 1, member);
    if (announce && !stopped_)
        StartNext();
    else
        EndRun();
}

void SeriesRunner::EndRun()
{
    outcome_.Stopped = stopped_;
    emit Ended(outcome_);
}
