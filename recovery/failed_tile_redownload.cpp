#include "recovery/failed_tile_redownload.h"

#include "platform/app_error.h"
#include "platform/link_safe_files.h"
#include "task/map_type.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kConnection = QStringLiteral("Keep_Alive");

// Writes a checked tile file from the list's folder down, one folder at a
// time, never following a link: a folder swapped for a link since the check
// cannot lead the write elsewhere.
void WriteTileFile(const QString& listFolder, const QString& path, const QByteArray& bytes)
{
    const QString folder = QDir::cleanPath(QDir(listFolder).absolutePath());
    const QStringList inside = QDir(folder).relativeFilePath(path).split(u'/');
    const FileHandle tileFolder =
        OpenFolderWithoutFollowingLinks(QFileInfo(folder).canonicalFilePath(), inside.first(inside.size() - 1), path);
    FileReplacement file(tileFolder.Get(), inside.last(), path);
    file.Write(bytes);
    file.Commit();
}

QString SkippedPrefix(TileFileRefusal refusal)
{
    return QStringLiteral("Skipped, ") + RefusalText(refusal) + QStringLiteral(": ");
}
}

FailedTileLine SplitFailedTileLine(const QString& line)
{
    const qsizetype bar = line.indexOf(u'|');
    if (bar < 0)
        return {QString(), line};
    return {line.left(bar), line.mid(bar + 1)};
}

HttpClientSettings RedownloadClientSettings(const TileServers& servers)
{
    HttpClientSettings settings;
    settings.Referer = servers.HomePage;
    settings.UserAgent = servers.UserAgent;
    settings.Connection = kConnection;
    return settings;
}

FailedTileRedownload::FailedTileRedownload(HttpClientSettings settings, LogFunction addLogLine, int maxResetRepeats)
    : settings_(std::move(settings)), addLogLine_(std::move(addLogLine)), maxResetRepeats_(maxResetRepeats)
{
}

void FailedTileRedownload::Run(const QStringList& lines, const QString& listFolder)
{
    qsizetype index = 0;
    RunLines([&]() -> std::optional<TextLine> {
        if (index == lines.size())
            return std::nullopt;
        return TextLine{lines[index++]};
    }, listFolder);
}

void FailedTileRedownload::RunFile(const QString& listFile)
{
    tally_ = {};
    if (QFileInfo::exists(listFile) && !QFileInfo(listFile).isFile())
        throw AppError(QStringLiteral("Cannot open file ") + listFile);
    TextLineReader list(listFile, kMaxFailedListLineBytes);
    RunLines([&list] { return list.Next(); }, QFileInfo(listFile).absolutePath());
}

void FailedTileRedownload::RunLines(const NextLine& next, const QString& listFolder)
{
    tally_ = {true, 0, 0};
    std::optional<TextLine> line = next();
    if (!line) {
        addLogLine_(QStringLiteral("No failed files records."));
        return;
    }
    addLogLine_(QStringLiteral("Start..."));
    skipped_.fill(0);
    HttpClient client(settings_);
    client.SetAbortCheck([this] { return StopRequested(); });
    bool stopped = false;
    for (; line; line = next()) {
        if (line->TooLong && !StopRequested()) {
            constexpr int kShownChars = 80;
            LogSkipped(TileFileRefusal::LineTooLong, line->Text.left(kShownChars) + QStringLiteral("..."));
            continue;
        }
        const LineOutcome outcome = StopRequested() ? LineOutcome::Stopped : Fetch(client, line->Text, listFolder);
        if (outcome == LineOutcome::Banned)
            break;
        if (outcome == LineOutcome::Stopped) {
            stopped = true;
            break;
        }
    }
    LogSkippedBeyondTheShownOnes();
    if (stopped)
        addLogLine_(QStringLiteral("Stopped by the user."));
    addLogLine_(QStringLiteral("Download End."));
}

void FailedTileRedownload::LogSkipped(TileFileRefusal refusal, const QString& subject)
{
    if (++skipped_[size_t(refusal)] <= kSkipsShownPerKind)
        addLogLine_(SkippedPrefix(refusal) + subject);
}

void FailedTileRedownload::LogSkippedBeyondTheShownOnes()
{
    for (size_t kind = 0; kind < skipped_.size(); ++kind) {
        const qint64 more = skipped_[kind] - kSkipsShownPerKind;
        if (more > 0)
            addLogLine_(SkippedPrefix(TileFileRefusal(kind)) + QString::number(more) + QStringLiteral(" more lines."));
    }
}

FailedTileRedownload::LineOutcome FailedTileRedownload::Fetch(
    HttpClient& client, const QString& line, const QString& listFolder)
{
    const FailedTileLine record = SplitFailedTileLine(line);
    const TileFileCheck tileFile = CheckTileFile(record.FileName, listFolder);
    if (tileFile.Refusal) {
        LogSkipped(*tileFile.Refusal, *tileFile.Refusal == TileFileRefusal::NoFileName ? line : record.FileName);
        return LineOutcome::Next;
    }

    for (int resets = 0;; ++resets) {
        // Each attempt has a fresh body, so the file gets exactly one answer.
        const HttpResult result = client.Get(record.Address);
        if (result.Ok) {
            try {
                WriteTileFile(listFolder, tileFile.Path, result.Body);
            } catch (...) {
                ++tally_.NotFetched;
                throw;
            }
            ++tally_.Fetched;
            addLogLine_(record.FileName + u':' + record.Address + QStringLiteral(" ->OK"));
            return LineOutcome::Next;
        }
        if (StopRequested())
            return LineOutcome::Stopped;
        const QString message = result.FailureText.value_or(QString());
        if (message.contains(QStringLiteral("10054")) && resets < maxResetRepeats_)
            continue;
        ++tally_.NotFetched;
        addLogLine_(message + QStringLiteral("->") + record.Address);
        if (message.contains(QStringLiteral("302")) || message.contains(QStringLiteral("403"))) {
            addLogLine_(QStringLiteral("Error: may be your IP is banned.\nPlease try again later."));
            return LineOutcome::Banned;
        }
        if (message.contains(QStringLiteral("404")))
            addLogLine_(record.Address + QStringLiteral(":Error: the image is not found on server."));
        return LineOutcome::Next;
    }
}
