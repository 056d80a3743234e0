#include "run/series_run.h"

#include "platform/app_error.h"
#include "platform/text_files.h"
#include "run/task_run.h"
#include "settings/config_file.h"

namespace {
// Records of a failed-tile list, read as a stream: the list of a continued
// task may be long, and it is not trusted.
qint64 FailedListRecords(const QString& fileName)
{
    constexpr qsizetype kRecordCap = 1 << 16;  // a longer line still counts once
    qint64 records = 0;
    try {
        TextLineReader reader(fileName, kRecordCap);
        while (const auto line = reader.Next())
            records += line->Text.isEmpty() ? 0 : 1;
    } catch (const AppError&) {
        // An unreadable list counts what was read of it.
    }
    return records;
}
}

SeriesRunner::SeriesRunner(TaskRun& run, QObject* parent) : QObject(parent), run_(run)
{
    connect(&run_, &TaskRun::Ticked, this, [this] {
        if (memberRunning_)
            emit Ticked();
    });
    // Qt cannot carry an exception through its event loop.
    connect(&run_, &TaskRun::Ended, this, [this](bool announce) {
        try {
            MemberTaskEnded(announce);
        } catch (...) {
            if (errorHandler_)
                errorHandler_();
        }
    });
}

void SeriesRunner::SetErrorHandler(std::function<void()> handler)
{
    errorHandler_ = handler;
    run_.SetErrorHandler(std::move(handler));
}

void SeriesRunner::Start(const QList<TaskInputs>& members, const LargeTaskConfirmation& confirmLargeTask)
{
    members_ = members;
    confirm_ = confirmLargeTask;
    next_ = 0;
    finishedBefore_ = 0;
    stopped_ = false;
    outcome_ = SeriesOutcome{};
    outcome_.MemberCount = MemberCount();
    total_ = 0;
    if (members_.size() > 1) {
        const TileServers servers = ReadTileServers();
        for (const TaskInputs& member : members_)
            total_ += TileCountBeforePolicy(member, servers).value_or(0);
    }
    if (!members_.isEmpty())
        StartNext();
    else
        EndRun();
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
    const int index = next_++;
    const TaskInputs& member = members_[index];
    emit MemberBegins(index, MemberCount(), member);
    try {
        auto prepared = PrepareTask(member, ReadProxySettings(), ReadTileServers(), confirm_);
        if (const auto* refusal = std::get_if<StartRefusal>(&prepared)) {
            emit Refused(refusal->Messages);
            outcome_.Refused = true;
            EndRun();
            return;
        }
        run_.Start(std::move(std::get<PreparedTask>(prepared)));
    } catch (...) {
        if (errorHandler_)
            errorHandler_();
        outcome_.Refused = true;
        EndRun();
        return;
    }
    memberRunning_ = true;
    ++outcome_.MembersRun;
    failedAtStart_ = FailedListRecords(run_.CurrentTask->FailedFileName);
    if (members_.size() == 1)
        total_ = run_.CurrentTask->TotalCount;
    emit MemberStarted(index, MemberCount(), member);
}

// The next member starts without anything in between: no message, no
// event loop turn in which a tick could see no task.
void SeriesRunner::MemberTaskEnded(bool announce)
{
    if (!memberRunning_)
        return;
    memberRunning_ = false;
    MemberOutcome member;
    member.Total = run_.CurrentTask->TotalCount;
    member.Finished = run_.FinishedAtEnd;
    member.Failed = failedAtStart_ + run_.FailedLinesAdded();
    outcome_.Stored += member.Stored();
    outcome_.Failed += member.Failed;
    outcome_.NotFetched += member.NotFetched();
    finishedBefore_ += member.Total;
    emit MemberEnded(next_ - 1, member);
    outcome_.Announced = announce;
    if (announce && !stopped_ && next_ < members_.size()) {
        StartNext();
        return;
    }
    EndRun();
}

void SeriesRunner::EndRun()
{
    outcome_.Stopped = stopped_;
    emit Ended(outcome_);
}
