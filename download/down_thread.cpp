#include "download/down_thread.h"

#include "download/request_profile.h"
#include "platform/app_error.h"
#include "platform/folders.h"
#include "platform/link_safe_files.h"
#include "task/download_task.h"
#include "task/task_walk_of.h"

#include <algorithm>

TDownThread::TDownThread(bool CreateSuspended, int ThreadIndex, const MDTask* Task, DownloadReportSink* Reports,
    PauseFunction Pause)
    : ThreadIndex(ThreadIndex), Task(Task), Reports(Reports), Pause(std::move(Pause)),
      PauseAfterTileMs(Task->Parameters->PauseAfterTile.Ms), TilesInFlight(Task->Parameters->TilesInFlight)
{
    if (!CreateSuspended)
        start();
}

TDownThread::~TDownThread()
{
    RequestStop();
    // Nobody drains any more: a worker waiting on a full queue must go on.
    reports_.Release();
    wait();
}

void TDownThread::RequestStop()
{
    {
        const std::lock_guard lock(stopMutex_);
        stopRequested_ = true;
        // The GETs under way end at once.
        if (Client)
            Client->Wake();
    }
    stopWake_.notify_all();
}

// The pause after a tile may be configured up to a minute: a stop must not
// wait for it.
void TDownThread::Wait(int milliseconds)
{
    if (Pause) {
        Pause(milliseconds);
        return;
    }
    if (milliseconds <= 0)
        return;
    std::unique_lock lock(stopMutex_);
    stopWake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return StopRequested(); });
}

bool TDownThread::StopRequested() const
{
    return stopRequested_;
}

TilePosition TDownThread::CurrentPosition() const
{
    return reports_.Position();
}

void TDownThread::run()
{
    RunWorker();
}

void TDownThread::RunWorker()
{
    const TaskParameters& parameters = *Task->Parameters;
    const bool ready = PrepareClient();
    BlankImagePath = ShippedFilesFolder() + QStringLiteral("blankimg") + FolderSeparator() + QStringLiteral("blank.")
        + Task->ImageExtension();

    const TaskWalk walk = WalkOf(*Task);
    qint64 SkipCount = 0;
    const int resumeX = Task->ResumeX[ThreadIndex];
    const int resumeY = Task->ResumeY[ThreadIndex];
    if (resumeX != 0 && resumeY != 0)
        SkipCount = walk.PlaceOf(resumeX, resumeY);
    qint64 Seq = 0;
    // Workers start apart, but never further apart than the pause itself:
    // with no pause they all start at once.
    if (ready)
        Wait(std::min(ThreadIndex * 100, PauseAfterTileMs));

    if (ready) {
        bool goOn = true;
        walk.ForEachTile([&](int x, int y) {
            if (StopRequested())
                return false;
            ++Seq;
            if (Seq <= SkipCount || Seq % parameters.ThreadCount != ThreadIndex)
                return true;
            goOn = TakeTile(x, y, Seq);
            return goOn;
        });
        while (goOn && !window_.Empty())
            goOn = Advance();
    }

    {
        const std::lock_guard lock(stopMutex_);
        Client.reset();  // ends the GETs still under way
    }
    imageFolder_.Close();
    ReportLog(Prefix() + QStringLiteral(" Finished."));
    reports_.Add(ReportKind::ThreadFinished, QString());
}

// A client libcurl could not set up would fail every tile alike.
bool TDownThread::PrepareClient()
{
    std::unique_ptr<MultiHttpClient> client;
    try {
        client = std::make_unique<MultiHttpClient>(TileRequestSettings(*Task->Parameters), TilesInFlight);
    } catch (const AppError& error) {
        ReportLog(Prefix() + u' ' + error.Message());
        return false;
    }
    if (!client->SetupProblem().isEmpty()) {
        ReportLog(Prefix() + QStringLiteral(" Error: the HTTP client cannot be set up: ") + client->SetupProblem());
        return false;
    }
    const std::lock_guard lock(stopMutex_);
    Client = std::move(client);
    return true;
}

bool TDownThread::TakeTile(int x, int y, qint64 seq)
{
    window_.Take(x, y, seq);
    while (window_.Held() >= Client->Limit()) {
        if (!Advance())
            return false;
    }
    return true;
}

void TDownThread::StartDueTiles()
{
    const auto now = WindowTile::Clock::now();
    while (Client->InFlight() < Client->Limit()) {
        WindowTile* tile = window_.NextDue(now);
        if (!tile)
            return;
        ++tile->Attempts;
        tile->Now = WindowTile::State::InFlight;
        Client->Start(tile->Seq, Task->TileUrl(tile->X, tile->Y));
    }
}

bool TDownThread::Advance()
{
    constexpr int kLongestPollMs = 1000;
    if (StopRequested())
        return false;
    StartDueTiles();
    WindowTile* const next = window_.FirstDue();
    const auto untilDue = [next] {
        const auto left = next->DueAt - WindowTile::Clock::now();
        return int(std::max<qint64>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
    };
    if (Client->InFlight() == 0) {
        // Only tiles waiting to be tried again: the first one's pause.
        if (!next)
            return true;
        Wait(untilDue());
        next->DueAt = WindowTile::Clock::time_point();
        return !StopRequested();
    }
    for (const FinishedGet& got : Client->Wait(next ? std::min(untilDue(), kLongestPollMs) : kLongestPollMs)) {
        // Stop aborts the transfers under way and ends their tiles without
        // an outcome: the position stays, so a continued task fetches them again.
        if (StopRequested())
            return false;
        if (!Settle(window_.At(got.Tag), got.Result))
            return false;
    }
    return !StopRequested();
}

bool TDownThread::Settle(WindowTile& tile, const HttpResult& result)
{
    reports_.Hold();
    const TileStep step = JudgeReply(tile, result);
    const bool finished = step.What == TileStep::Finished || step.What == TileStep::Stored;
    std::optional<TilePosition> passed;
    if (finished) {
        window_.Finish(tile);
        passed = window_.PassFinished();
    }
    reports_.Publish(passed);
    switch (step.What) {
    case TileStep::EndRun:
        return false;
    case TileStep::Retry:
        tile.Now = WindowTile::State::Waiting;
        tile.DueAt = WindowTile::Clock::now() + std::chrono::milliseconds(step.PauseMs);
        // With nothing else to do, the tile waits here, as a worker of one
        // GET at a time does.
        if (step.PauseMs > 0 && Client->InFlight() == 0 && window_.FirstDue() == &tile) {
            Wait(step.PauseMs);
            tile.DueAt = WindowTile::Clock::time_point();
        }
        return true;
    case TileStep::Finished:
        return true;
    case TileStep::Stored:
        Wait(PauseAfterTileMs);
        return true;
    }
    return true;
}

const FileHandle& TDownThread::ImageFolder(const QString& tilePath)
{
    if (!imageFolder_.IsOpen())
        imageFolder_ = OpenFolderWithoutFollowingLinks(
            Task->Parameters->Path, {MDTask::TaskBase(Task->Parameters->TaskName)}, tilePath);
    return imageFolder_;
}

QString TDownThread::CannotWriteTileLine(const QString& path, const QString& reason) const
{
    return Prefix() + QStringLiteral(" Error: cannot write the tile file ") + path + QStringLiteral(": ") + reason;
}

QString TDownThread::Prefix() const
{
    return QStringLiteral("T") + QString::number(ThreadIndex + 1);
}

void TDownThread::ReportLog(const QString& text)
{
    reports_.Add(ReportKind::LogLine, text);
}

void TDownThread::ReportFailed(const QString& text, const QString& reason)
{
    reports_.Add(ReportKind::FailedLine, text);
    reports_.Add(ReportKind::FailureReason, reason);
}

void TDownThread::DeliverReports()
{
    const ReportBatch batch = reports_.Take();
    for (const WorkerReport& report : batch.Reports) {
        switch (report.Kind) {
        case ReportKind::LogLine: Reports->AddLogLine(report.Text); break;
        case ReportKind::FailedLine: Reports->AddFailedLine(report.Text); break;
        case ReportKind::FailureReason: Reports->AddFailureReason(report.Text); break;
        case ReportKind::BlankTile: Reports->AddBlankTile(); break;
        case ReportKind::ThreadFinished: Reports->ThreadFinished(); break;
        }
    }
    deliveredPosition_ = batch.Position;
}
