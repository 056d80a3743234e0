#include "recovery/failed_tile_redownload.h"

#include "platform/text_files.h"

namespace {
const QString kReferer = QStringLiteral("http://maps.google.com/");
const QString kConnection = QStringLiteral("Keep_Alive");
const QString kTileSuffix = QStringLiteral(".png");
}

FailedTileLine SplitFailedTileLine(const QString& line)
{
    const qsizetype bar = line.indexOf(u'|');
    if (bar < 0)
        return {QString(), line};
    return {line.left(bar), line.mid(bar + 1)};
}

HttpClientSettings RedownloadClientSettings(const QString& userAgent)
{
    HttpClientSettings settings;
    settings.Referer = kReferer;
    settings.UserAgent = userAgent;
    settings.Connection = kConnection;
    return settings;
}

FailedTileRedownload::FailedTileRedownload(HttpClientSettings settings, LogFunction addLogLine, int maxResetRepeats)
    : settings_(std::move(settings)), addLogLine_(std::move(addLogLine)), maxResetRepeats_(maxResetRepeats)
{
}

void FailedTileRedownload::Run(const QStringList& lines)
{
    if (lines.isEmpty()) {
        addLogLine_(QStringLiteral("No failed files records."));
        return;
    }
    addLogLine_(QStringLiteral("Start..."));
    HttpClient client(settings_);
    client.SetAbortCheck([this] { return stopRequested_.load(); });
    bool stopped = false;
    for (const QString& line : lines) {
        const LineOutcome outcome = stopRequested_ ? LineOutcome::Stopped : Fetch(client, line);
        if (outcome == LineOutcome::Banned)
            break;
        if (outcome == LineOutcome::Stopped) {
            stopped = true;
            break;
        }
    }
    if (stopped)
        addLogLine_(QStringLiteral("Stopped by the user."));
    addLogLine_(QStringLiteral("Download End."));
}

bool FailedTileRedownload::Refused(const QString& line, const FailedTileLine& record)
{
    if (record.FileName.isEmpty()) {
        addLogLine_(QStringLiteral("Skipped, no file name: ") + line);
        return true;
    }
    if (!record.FileName.endsWith(kTileSuffix, Qt::CaseInsensitive)) {
        addLogLine_(QStringLiteral("Skipped, not a .png tile file: ") + record.FileName);
        return true;
    }
    return false;
}

FailedTileRedownload::LineOutcome FailedTileRedownload::Fetch(HttpClient& client, const QString& line)
{
    const FailedTileLine record = SplitFailedTileLine(line);
    if (Refused(line, record))
        return LineOutcome::Next;

    for (int resets = 0;; ++resets) {
        // Each attempt has a fresh body, so the file gets exactly one answer.
        const HttpResult result = client.Get(record.Address);
        if (result.Ok) {
            WriteFileAtomically(record.FileName, result.Body);
            addLogLine_(record.FileName + u':' + record.Address + QStringLiteral(" ->OK"));
            return LineOutcome::Next;
        }
        if (stopRequested_)
            return LineOutcome::Stopped;
        const QString message = result.FailureText.value_or(QString());
        if (message.contains(QStringLiteral("10054")) && resets < maxResetRepeats_)
            continue;
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
