#pragma once

#include "download/multi_http_client.h"
#include "download/report_queue.h"
#include "download/tile_window.h"
#include "platform/file_handle.h"
#include "platform/pause.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class MDTask;
struct WrongTileReply;

// Where a worker's reports go: the main window in the program, a small
// receiver in tests. The calls run on the GUI thread (see DeliverReports).
class DownloadReportSink {
public:
    virtual ~DownloadReportSink() = default;
    virtual void AddLogLine(const QString& text) = 0;
    virtual void AddFailedLine(const QString& text) = 0;
    // Why the tile of the failed line just added failed, in words.
    virtual void AddFailureReason(const QString& reason) = 0;
    // A tile the server does not have got the blank image.
    virtual void AddBlankTile() = 0;
    virtual void ThreadFinished() = 0;
};

// Life of a TDownThread
// - Start: constructed by the main window's Start, it runs at once. It
//   prepares its HTTP client with the task's request profile, works out its
//   resume point and waits ThreadIndex x 100 ms (at most the pause after a
//   tile) so that workers start apart.
// - Walk: every worker walks the task's tiles (task/task_walk.h: the whole
//   range, or a shaped task's cover), columns outer and rows inner, and
//   takes the tiles whose 1-based place Seq satisfies Seq mod ThreadCount
//   == ThreadIndex, skipping places up to its resume point. The stop request is looked at between tiles and between the
//   attempts of a tile, and it aborts a transfer under way.
// - Tile: GET, store, "T<n>:seq=<Seq>,<file> OK", position, the task's pause
//   after a tile (1000 ms unless configured); failures are classified and
//   retried or end in one of five outcomes.
// - Window: with no pause after a tile the task may let a worker keep
//   several GETs in flight (TaskParameters::TilesInFlight) on its one
//   connection, when the server multiplexes them (HTTP/2); one at a time
//   otherwise. Tiles may then finish out of walk order; the position moves
//   only over tiles that are all finished (TileWindow). A retry waits for its
//   pause while the others go on.
// - End: "T<n> Finished." then ThreadFinished. The main window destroys the
//   object after every worker of the task has finished.
// Reports never wait for the GUI: they queue, and the GUI thread hands them
// to the sink with DeliverReports a few dozen times a second.
class TDownThread final : public QThread {
public:
    // Without a pause function the worker really waits, and a stop request
    // ends the wait at once.
    TDownThread(bool CreateSuspended, int ThreadIndex, const MDTask* Task, DownloadReportSink* Reports,
        PauseFunction Pause = {});
    ~TDownThread() override;

    // Sets the stop request; the worker ends at its next tile boundary, or at
    // once when transfers, a retry or a pause are under way, leaving the
    // tiles not yet stored undone.
    void RequestStop();
    bool StopRequested() const;

    // The last tile before which every tile of this worker is finished; 0, 0
    // when none yet. Column and row are published as one unit, so a reader
    // never mixes two tiles.
    TilePosition CurrentPosition() const;
    int CurrentX() const { return CurrentPosition().X; }
    int CurrentY() const { return CurrentPosition().Y; }

    // GUI thread: hands the queued reports to the sink in the worker's order,
    // then moves DeliveredPosition up to the position that came with them.
    void DeliverReports();
    // The position whose reports have all reached the sink: what may be
    // saved as the resume point without losing a failed record.
    TilePosition DeliveredPosition() const { return deliveredPosition_; }

    const int ThreadIndex;

protected:
    void run() override;

private:
    // What became of one reply to a tile's GET.
    struct TileStep {
        enum Kind { Finished, Stored, Retry, EndRun } What;
        int PauseMs = 0;  // Retry: the pause before the next attempt
    };

    void RunWorker();
    bool PrepareClient();
    // Puts the tile into the window and works on the window until it has
    // room for the next one. False when the run must end (Blocked, Network
    // down, an unwritable tile file, a stop request).
    bool TakeTile(int x, int y, qint64 seq);
    // Starts the tiles that are due, then waits for replies (or the first
    // retry's pause) and settles them; false when the run must end.
    bool Advance();
    void StartDueTiles();
    bool Settle(WindowTile& tile, const HttpResult& result);

    // The per-tile outcome, apart from how the GET travelled
    // (tile_outcome.cpp): store, classify, retry, report.
    TileStep JudgeReply(const WindowTile& tile, const HttpResult& result);
    TileStep JudgeFailedReply(const WindowTile& tile, const HttpResult& result);
    bool StoreTile(const WindowTile& tile, const HttpResult& result);
    // A reply that is no tile of the task's map source: listed as failed,
    // never stored, not even as the blank image.
    void RejectReply(int x, int y, const WrongTileReply& wrong);
    void CopyBlankImage(int x, int y);
    // The image folder, opened at the first tile written without following
    // a link at its name; every tile is written within it. Raises
    // FileWriteError naming `tilePath` when it cannot be opened.
    const FileHandle& ImageFolder(const QString& tilePath);
    void Wait(int milliseconds);

    void ReportLog(const QString& text);
    void ReportFailed(const QString& text, const QString& reason);
    QString Prefix() const;  // "T<n>"
    // "T<n> Error: cannot write the tile file <path>: <reason>"
    QString CannotWriteTileLine(const QString& path, const QString& reason) const;

    const MDTask* Task;
    DownloadReportSink* Reports;
    PauseFunction Pause;
    const int PauseAfterTileMs;
    const int TilesInFlight;
    std::unique_ptr<MultiHttpClient> Client;  // lives for one run of RunWorker; set under stopMutex_
    TileWindow window_;
    QString BlankImagePath;
    FileHandle imageFolder_;
    std::atomic<bool> stopRequested_{false};
    std::mutex stopMutex_;
    std::condition_variable stopWake_;
    ReportQueue reports_;
    TilePosition deliveredPosition_;  // GUI thread only
};
