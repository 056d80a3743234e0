#pragma once

#include "download/http_client.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

// One record of a failed-tile list: the tile's image file before the first
// "|", its address after it (further "|" stay in the address). Nothing is
// trimmed; a line without "|" has no file name and is all address.
struct FailedTileLine {
    QString FileName;
    QString Address;
};
FailedTileLine SplitFailedTileLine(const QString& line);

// The re-download's request profile: straight to the tile server (no proxy,
// no cookie), the Referer of another web map's home page, the configured
// User-Agent and the workers' Connection value.
HttpClientSettings RedownloadClientSettings(const QString& userAgent);

// Fetches the tiles of a failed-tile list again.
//
// Life of a run: Run() takes the list's lines, logs "Start...", and for each
// line in turn fetches the address with one client for the whole run and
// writes the body to the line's file; every outcome becomes a log line.
// A reset connection is asked again at once, at most `maxResetRepeats`
// times; a "302" or "403" answer (the server blocks this address) ends the
// run; anything else moves on to the next line. The run ends with
// "Download End.". RequestStop() (from any thread) aborts the request in
// flight and ends the run before the next line.
//
// Lines that would write anywhere but a tile image are refused: a line with
// no file name, or a file name that does not end in ".png", is skipped with
// a log line, since a list may come from anywhere.
class FailedTileRedownload {
public:
    using LogFunction = std::function<void(const QString& line)>;
    static constexpr int kMaxResetRepeats = 20;

    FailedTileRedownload(HttpClientSettings settings, LogFunction addLogLine, int maxResetRepeats = kMaxResetRepeats);

    // Runs on the calling thread. A tile file that cannot be written raises
    // AppError "Cannot create file <name>" and ends the run at that line.
    void Run(const QStringList& lines);

    void RequestStop() { stopRequested_ = true; }

private:
    enum class LineOutcome { Next, Banned, Stopped };

    LineOutcome Fetch(HttpClient& client, const QString& line);
    bool Refused(const QString& line, const FailedTileLine& record);

    HttpClientSettings settings_;
    LogFunction addLogLine_;
    int maxResetRepeats_;
    std::atomic<bool> stopRequested_{false};
};
