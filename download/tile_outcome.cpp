#include "download/down_thread.h"

#include "download/failure_class.h"
#include "download/failure_reason.h"
#include "download/tile_refresh.h"
#include "download/tile_reply_check.h"
#include "platform/file_replacement.h"
#include "platform/link_safe_files.h"
#include "task/download_task.h"

#include <QFile>

// What one reply means for its tile, whichever way the GET travelled.

TDownThread::TileStep TDownThread::JudgeReply(const WindowTile& tile, const HttpResult& result)
{
    const TileReply reply = JudgeTileReply(tile.Ask, result);
    if (reply == TileReply::Failed)
        return JudgeFailedReply(tile, result);
    if (reply != TileReply::Store) {
        // A refresh's stored copy stays: unchanged, or gone from the server.
        KeepTileOutcome(*Task, tile.X, tile.Y, tile.Ask, reply, result, QDateTime::currentDateTimeUtc());
        ReportLog(Prefix() + QStringLiteral(":seq=") + QString::number(tile.Seq) + u',' + Task->TileFileName(tile.X, tile.Y)
            + (reply == TileReply::Unchanged ? QStringLiteral(" unchanged") : QStringLiteral(" gone from the server")));
        return {TileStep::Stored};
    }
    if (const MapSource* source = Task->Parameters->Source.get())
        if (const auto wrong = CheckTileReply(source->Format, result)) {
            RejectReply(tile.X, tile.Y, *wrong);
            return {TileStep::Finished};
        }
    // An unwritable tile stays before this worker's position, so a
    // continued task fetches it again once the cause is fixed.
    return {StoreTile(tile, result) ? TileStep::Stored : TileStep::EndRun};
}

TDownThread::TileStep TDownThread::JudgeFailedReply(const WindowTile& tile, const HttpResult& result)
{
    const FailureVerdict verdict = JudgeFailure(ClassifyFailure(result.FailureText), tile.Attempts);
    if (verdict.Retry)
        return {TileStep::Retry, verdict.PauseMs};

    const int x = tile.X;
    const int y = tile.Y;
    const QString url = Task->TileUrl(x, y);
    const QString failureText = result.FailureText.value_or(QString());
    const QString failureLine = Prefix() + u' ' + failureText + QStringLiteral("->") + url;
    const QString failedRecord = Task->TileFilePath(x, y) + u'|' + url;
    const QString reason = FailureReasonText(failureText, url);
    switch (verdict.Outcome) {
    case FailureClass::Blocked:
        ReportLog(failureLine);
        ReportFailed(failedRecord, reason);
        ReportLog(QStringLiteral("Error: may be your IP is banned.\nPlease try again later."));
        return {TileStep::EndRun};
    case FailureClass::NetworkDown:
        ReportLog(failureLine);
        ReportFailed(failedRecord, reason);
        ReportLog(QStringLiteral("Error: Your network has problem, please check it."));
        return {TileStep::EndRun};
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
    return {TileStep::Finished};
}

void TDownThread::RejectReply(int x, int y, const WrongTileReply& wrong)
{
    const QString url = Task->TileUrl(x, y);
    ReportLog(Prefix() + u' ' + wrong.Detail + QStringLiteral("->") + url);
    ReportFailed(Task->TileFilePath(x, y) + u'|' + url, wrong.Reason);
}

bool TDownThread::StoreTile(const WindowTile& tile, const HttpResult& result)
{
    const int x = tile.X;
    const int y = tile.Y;
    const QByteArray& body = result.Body;
    // A plain write, not a synced replace: the position moves only after the
    // write, so a tile cut short by a crash is fetched again on continuing.
    const QString path = Task->TileFilePath(x, y);
    // Never through a link planted at the tile's name in a folder others may write in.
    try {
        // A copy kept from before is replaced whole or not at all.
        if (tile.Ask.Stored)
            ReplaceFileWithoutFollowingLinks(ImageFolder(path), Task->TileFileName(x, y), path, body);
        else
            WriteFileWithoutFollowingLinks(ImageFolder(path), Task->TileFileName(x, y), path, body);
    } catch (const FileWriteError& error) {
        // The tile stays before this worker's position, so a continued
        // task fetches it again once the cause is fixed.
        ReportLog(CannotWriteTileLine(path, error.Reason()));
        ReportFailed(path + u'|' + Task->TileUrl(x, y), QStringLiteral("cannot write the tile file: ") + error.Reason());
        return false;
    }
    KeepTileOutcome(*Task, x, y, tile.Ask, TileReply::Store, result, QDateTime::currentDateTimeUtc());
    ReportLog(Prefix() + QStringLiteral(":seq=") + QString::number(tile.Seq) + u',' + Task->TileFileName(x, y)
        + QStringLiteral(" OK"));
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
