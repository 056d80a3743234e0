#pragma once

#include "download/http_client.h"
#include "platform/text_files.h"
#include "recovery/tile_file_check.h"

#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>

struct TileServers;

// One record of a failed-tile list: the tile's image file before the first
// "|", its address after it (further "|" stay in the address). Nothing is
// trimmed; a line without "|" has no file name and is all address.
struct FailedTileLine {
    QString FileName;
    QString Address;
};
FailedTileLine SplitFailedTileLine(const QString& line);

// The re-download's request profile: straight to the tile server (no proxy,
// no cookie), with the workers' identity: the configured home page as
// Referer, the configured User-Agent and the workers' Connection value.
HttpClientSettings RedownloadClientSettings(const TileServers& servers);

// Fetches the tiles of a failed-tile list again.
//
// Life of a run: Run() takes the list's lines, logs "Start...", and for each
// line in turn fetches the address with one client for the whole run and
// writes the body to the line's file; every outcome becomes a log line.
// A reset connection is asked again at once, at most `maxResetRepeats`
// times; a "302" or "403" answer (the server blocks this address) ends the
// run; anything else moves on to the next line. The run ends with
// "Download End.". RequestStop() (from any thread), or the flag given to
// StopOn(), aborts the request in flight and ends the run before the next
// line. Tally() counts the lines fetched and those that were not.
//
// Lines that would write anywhere but a tile image inside the list's folder
// are refused (see CheckTileFile) and skipped with a log line, since a list
// may come from anywhere; a checked file is then written from the list's
// folder down without following a link, so a link swapped in since the
// check leads nowhere. Only the first few skips of each kind get a line
// of their own; one line before "Download End." counts the rest, so a list
// of a million such lines keeps the log short.
class FailedTileRedownload {
public:
    using LogFunction = std::function<void(const QString& line)>;
    static constexpr int kMaxResetRepeats = 20;
    static constexpr int kSkipsShownPerKind = 5;

    FailedTileRedownload(HttpClientSettings settings, LogFunction addLogLine, int maxResetRepeats = kMaxResetRepeats);

    // Runs on the calling thread; `listFolder` is the folder that holds the
    // list. A tile file that cannot be written raises AppError
    // "Cannot create file <name>" and ends the run at that line.
    void Run(const QStringList& lines, const QString& listFolder);
    // Runs the list in the file `listFile` (its folder is the list folder),
    // read a line at a time: a line longer than kMaxFailedListLineBytes is
    // skipped. Raises AppError "Cannot open file <name>" when it cannot be
    // read or is no regular file (a device or a pipe would never end).
    void RunFile(const QString& listFile);

    void RequestStop() { stopRequested_ = true; }
    // Stops as RequestStop() does once `request` turns true; it must outlive the run.
    void StopOn(const std::atomic<bool>& request) { stopOn_ = &request; }

    struct LineTally {
        bool ListOpened = false;
        qint64 Fetched = 0;     // fetched and written
        qint64 NotFetched = 0;  // asked for and not fetched, or fetched and not written
    };
    // What the last run came to so far.
    LineTally Tally() const { return tally_; }

private:
    enum class LineOutcome { Next, Banned, Stopped };

    using NextLine = std::function<std::optional<TextLine>()>;
    void RunLines(const NextLine& next, const QString& listFolder);
    LineOutcome Fetch(HttpClient& client, const QString& line, const QString& listFolder);
    void LogSkipped(TileFileRefusal refusal, const QString& subject);
    void LogSkippedBeyondTheShownOnes();
    bool StopRequested() const { return stopRequested_ || (stopOn_ && *stopOn_); }

    HttpClientSettings settings_;
    LogFunction addLogLine_;
    int maxResetRepeats_;
    std::atomic<bool> stopRequested_{false};
    const std::atomic<bool>* stopOn_ = nullptr;
    LineTally tally_;
    std::array<qint64, kTileFileRefusalKinds> skipped_{};  // by TileFileRefusal
};
