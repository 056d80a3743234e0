#pragma once

#include "run/failure_reason_counts.h"
#include "run/task_start.h"
#include "task/start_check.h"
#include "task/start_inputs.h"
#include "task/tile_keeping.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <algorithm>
#include <optional>

class TaskRun;

// What one task of a run came to, counted over the whole task: a continued
// task counts what its earlier runs finished and listed as failed too, so
// that stored plus failed plus not fetched is always its tile count.
struct MemberOutcome {
    qint64 Total = 0;
    qint64 Finished = 0;  // stored, failed or blank
    qint64 Failed = 0;    // tiles of its failed-tile list, each once
    QString FailedList;   // that list's file
    QString FailedListProblem;  // why the list's last save failed, else empty
    bool PassedOver = false;  // complete already: not started again
    // Not found on the server, stored as the blank image: those of this run
    // (an earlier run's count among the stored).
    qint64 Blank = 0;
    FailureReasonCounts FailureReasons;  // the failures of this run
    std::optional<RefreshCounts> Refresh;  // a refresh's counts

    // A tile whose worker gave up on it (no network, a tile that could not
    // be written) is listed as failed but not finished: it counts as failed.
    qint64 Stored() const { return std::max<qint64>(0, Finished - Failed - Blank); }
    qint64 NotFetched() const { return std::max<qint64>(0, Total - Stored() - Blank - Failed); }
};

// The end of a whole run: the sums over the members that ran or were
// passed over.
struct SeriesOutcome {
    qint64 Stored = 0;
    qint64 Blank = 0;
    qint64 Failed = 0;
    qint64 NotFetched = 0;
    FailureReasonCounts FailureReasons;
    int MembersRun = 0;  // members that ran, or were passed over as complete
    int MemberCount = 0;
    bool Stopped = false;   // Stop ended it
    bool Refused = false;   // a member could not start; its messages came first
    bool Announced = true;  // false when closing the program ended it
    std::optional<RefreshCounts> Refresh;  // summed over the members of a refresh
};

// Runs tasks one after another on one TaskRun: the members of a zoom series,
// the tasks given to the command line's `run`, or a single task as a list of
// one. The configuration is read once per start; each member is prepared
// with it (see PrepareTask) and started; when it ends announced and
// not stopped the next one starts, with nothing in between. In a list of
// several, a member whose project file says every tile is finished is passed
// over: no worker starts and its log is left as it is. Stop ends the
// running member and the run with it; so does closing (TaskRun's
// EndBeforeClosing), unannounced. A member that cannot start ends the run.
//
// The drivers show what the signals tell, without holding the run up: the
// window in its widgets and message boxes that do not wait, the command line
// on stderr.
class SeriesRunner : public QObject {
    Q_OBJECT
public:
    explicit SeriesRunner(TaskRun& run, QObject* parent = nullptr);

    // The one start from typed inputs, for every driver: the task, or the
    // zoom series up to `zoomTo` (see SeriesMemberInputs). Makes the checks
    // of CheckStart, asking the large-task question through `confirm`; a
    // refusal signals Refused and Ended at once. The run may have ended when
    // this returns.
    void Start(const TaskInputs& inputs, int zoomTo, const LargeTaskConfirmation& confirm);
    // Tasks named by their project files (the command line's `run`): each
    // is checked only as it is prepared, and none is asked about.
    void RunInTurn(const QList<TaskInputs>& tasks);
    // The next Start or RunInTurn refreshes the tasks instead of
    // downloading them (see PrepareRefresh); nothing: a download.
    void SetRefresh(const std::optional<RefreshSelection>& refresh) { refresh_ = refresh; }
    // Ends the running member; no further member starts. Between members
    // (from a MemberEnded handler) it keeps the next one from starting.
    void Stop();

    int MemberCount() const { return int(members_.size()); }
    const CheckedInputs& Member(int index) const { return members_[index]; }
    // Members whose task started in this run.
    int MembersStarted() const { return membersStarted_; }
    // Tiles of every member: the series' sum, or the task's own count for a
    // list of one.
    qint64 TotalTiles() const { return total_; }
    // Tiles of the members already ended plus those the running one finished.
    qint64 FinishedTiles() const;

signals:
    // Before the member is prepared; it may still be refused.
    void MemberBegins(int index, int count, const TaskInputs& member);
    // Its task files are written and its workers run.
    void MemberStarted(int index, int count, const TaskInputs& member);
    void Ticked();
    // A started member has ended, or a complete one was passed over.
    void MemberEnded(int index, const MemberOutcome& outcome);
    // Why a member could not start, in the order the checks ran; empty when
    // the large-task question was declined.
    void Refused(const QStringList& messages);
    // The user's text of an error: a member whose files cannot be written
    // (which ends the run), a failed save or an error in a timer's handler
    // of the running task (which goes on).
    void Problem(const QString& text);
    void Ended(const SeriesOutcome& outcome);

private:
    enum class MemberStart { Started, PassedOver, Refused, Stopped };
    void Begin(const QList<CheckedInputs>& members);
    // Starts the members in turn from the next one, until one starts; ends
    // the run when none is left, one is refused or Stop came in between.
    void StartNext();
    MemberStart StartMember(int index);
    void AddToTotals(int index, const MemberOutcome& member);
    void MemberTaskEnded(bool announce);
    void EndRun();

    TaskRun& run_;
    QList<CheckedInputs> members_;
    StartSettings settings_;
    int next_ = 0;
    int membersStarted_ = 0;
    qint64 total_ = 0;
    qint64 finishedBefore_ = 0;  // tiles of the members already ended
    qint64 failedAtStart_ = 0;   // records the running member's failed list kept at its start
    bool memberRunning_ = false;
    bool stopped_ = false;
    SeriesOutcome outcome_;
    std::optional<RefreshSelection> refresh_;
};
