#include "download/down_thread.h"

#include "download/failure_class.h"
#include "download/failure_reason.h"
#include "download/request_profile.h"
#include "download/tile_reply_check.h"
#include "platform/app_error.h"
#include "platform/file_replacement.h"
#include "platform/folders.h"
#include "platform/link_safe_files.h"
#include "task/download_task.h"
#include "task/task_walk_of.h"

#include <QFile>
#include <algorithm>

TDownThread::TDownThread(bool CreateSuspended, int ThreadIndex, const MDTask* Task, DownloadReportSink* Reports,
    PauseFunction Pause)
    : ThreadIndex(ThreadIndex), Task(Task), Reports(Reports), Pause(std::move(Pause)),
      PauseAfterTileMs(Task->Parameters->PauseAfterTile.Ms)
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

void TDownThread::SetCurrentPosition(int x, int y)
{
    reports_.SetPosition({x, y});
}

void TDownThread::run()
{
    RunWorker();
}

void TDownThread::RunWorker()
{
    const TaskParameters& parameters = *Task->Parameters;
    try {
        Client = std::make_unique<HttpClient>(TileRequestSettings(parameters));
        Client->SetAbortCheck([this] { return StopRequested(); });
    } catch (const AppError& error) {
        ReportLog(Prefix() + u' ' + error.Message());
    }
    // A client libcurl could not set up would fail every tile alike.
    if (Client && !Client->SetupProblem().isEmpty()) {
        ReportLog(Prefix() + QStringLiteral(" Error: the HTTP client cannot be set up: ") + Client->SetupProblem());
        Client.reset();
    }
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
    if (Client)
        Wait(std::min(ThreadIndex * 100, PauseAfterTileMs));

    if (Client) {
        walk.ForEachTile([&](int x, int y) {
            if (StopRequested())
                return false;
            ++Seq;
            if (Seq <= SkipCount || Seq % parameters.ThreadCount != ThreadIndex)
                return true;
            return FetchTile(x, y, Seq);
        });
    }

    Client.reset();
    imageFolder_.Close();
    ReportLog(Prefix() + QStringLiteral(" Finished."));
    reports_.Add(ReportKind::ThreadFinished, QString());
}

bool TDownThread::FetchTile(int x, int y, qint64 seq)
{
    const QString url = Task->TileUrl(x, y);
    int attemptCount = 0;
    for (;;) {
        ++attemptCount;
        HttpResult result = Client->Get(url);
        if (result.Ok && Task->Parameters->Source)
            if (const auto wrong = CheckTileReply(Task->Parameters->Source->Format, result))
                return RejectReply(x, y, url, *wrong);
        if (result.Ok)
            return StoreTile(x, y, seq, result.Body);
        // Stop aborts the transfer under way and ends the tile without an
        // outcome: the position stays, so a continued task fetches it again.
        if (StopRequested())
            return false;

        const FailureVerdict verdict = JudgeFailure(ClassifyFailure(result.FailureText), attemptCount);
        if (verdict.Retry) {
            if (verdict.PauseMs > 0)
                Wait(verdict.PauseMs);
            if (StopRequested())
                return false;
            continue;
        }

        const QString failureText = result.FailureText.value_or(QString());
        const QString failureLine = Prefix() + u' ' + failureText + QStringLiteral("->") + url;
        const QString failedRecord = Task->TileFilePath(x, y) + u'|' + url;
        const QString reason = FailureReasonText(failureText, url);
        switch (verdict.Outcome) {
        case FailureClass::Blocked:
            ReportLog(failureLine);
            ReportFailed(failedRecord, reason);
            ReportLog(QStringLiteral("Error: may be your IP is banned.\nPlease try again later."));
            return false;
        case FailureClass::NetworkDown:
            ReportLog(failureLine);
            ReportFailed(failedRecord, reason);
            ReportLog(QStringLiteral("Error: Your network has problem, please check it."));
            return false;
        case FailureClass::NotFound:
            ReportLog(QStringLiteral("Error: the image is not found on server.") + failureText);
            reports_.Add(ReportKind::BlankTile, QString());
            break;
        case FailureClass::FailureWithoutText:
            ReportLog(Task->TileFileName(x, y) + QStringLiteral(":failed ->") + url);
            ReportFailed(failedRecord, reason);
            break;
        case FailureClass::ConnectionReset:
        case FailureClass::AddressInUse:
        case FailureClass::OtherFailure:
            ReportLog(failureLine);
            ReportFailed(failedRecord, reason);
            break;
        }
        CopyBlankImage(x, y);
        SetCurrentPosition(x, y);
        return true;
    }
}

// Listed as failed, never stored: not even the blank image takes its place.
bool TDownThread::RejectReply(int x, int y, const QString& url, const WrongTileReply& wrong)
{
    ReportLog(Prefix() + u' ' + wrong.Detail + QStringLiteral("->") + url);
    ReportFailed(Task->TileFilePath(x, y) + u'|' + url, wrong.Reason);
    SetCurrentPosition(x, y);
    return true;
}

bool TDownThread::StoreTile(int x, int y, qint64 seq, const QByteArray& body)
{
    // A plain write, not a synced replace: the position moves only after the
    // write, so a tile cut short by a crash is fetched again on continuing.
    const QString path = Task->TileFilePath(x, y);
    // Never through a link planted at the tile's name in a folder others may write in.
    try {
        WriteFileWithoutFollowingLinks(ImageFolder(path), Task->TileFileName(x, y), path, body);
    } catch (const FileWriteError& error) {
        // The tile stays before this worker's position, so a continued
        // task fetches it again once the cause is fixed.
        ReportLog(CannotWriteTileLine(path, error.Reason()));
        ReportFailed(path + u'|' + Task->TileUrl(x, y), QStringLiteral("cannot write the tile file: ") + error.Reason());
        return false;
    }
    ReportLog(Prefix() + QStringLiteral(":seq=") + QString::number(seq) + u',' + Task->TileFileName(x, y)
        + QStringLiteral(" OK"));
    SetCurrentPosition(x, y);
    Wait(PauseAfterTileMs);
    return true;
}

// An existing file of that name, such as a tile of an earlier run, is kept.
// A tile that got no blank image says why instead.
void TDownThread::CopyBlankImage(int x, int y)
{
    const QString path = Task->TileFilePath(x, y);
    QFile blank(BlankImagePath);
    if (!blank.open(QIODevice::ReadOnly)) {
        ReportLog(CannotWriteTileLine(path, QStringLiteral("the blank image ") + BlankImagePath + QStringLiteral(": ") + blank.errorString()));
        return;
    }
    const QByteArray bytes = blank.readAll();
    try {
        if (!CreateFileWithoutFollowingLinks(ImageFolder(path), Task->TileFileName(x, y), path, bytes))
            return;
    } catch (const FileWriteError& error) {
        ReportLog(CannotWriteTileLine(path, error.Reason()));
        return;
    }
    ReportLog(Prefix() + u':' + QString::number(x) + u'-' + QString::number(y) + QStringLiteral(" got a blank image!"));
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
