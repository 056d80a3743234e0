#pragma once

#include "platform/pause.h"

#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>

class MDTask;

// Where a worker's reports go: the main window in the program, a small
// receiver in tests. The calls run on the GUI thread (see RunOnGuiThread).
class DownloadReportSink {
public:
    virtual ~DownloadReportSink() = default;
    virtual void AddLogLine(const QString& text) = 0;
    virtual void AddFailedLine(const QString& text) = 0;
    virtual void ThreadFinished() = 0;
};

// A column and a row published together.
struct TilePosition {
    int X = 0;
    int Y = 0;
};

// Life of a TDownThread
// - Start: constructed by the main window's Start, it runs at once. It
//   prepares its HTTP client with the task's request profile, works out its
//   resume point and waits ThreadIndex x 100 ms so that workers start apart.
// - Walk: every worker walks the task's whole range, columns outer and rows
//   inner, and takes the tiles whose 1-based place Seq satisfies
//   Seq mod ThreadCount == ThreadIndex, skipping places up to its resume
//   point. The stop request is looked at between tiles.
// - Tile: GET, store, "T<n>:seq=<Seq>,<file> OK", position, 1000 ms pause;
//   failures are classified and retried or end in one of five outcomes.
// - End: "T<n> Finished." then ThreadFinished. The main window destroys the
//   object after every worker of the task has finished.
class TDownThread final : public QThread {
public:
    TDownThread(bool CreateSuspended, int ThreadIndex, const MDTask* Task, DownloadReportSink* Reports,
        PauseFunction Pause = RealPause);
    ~TDownThread() override;

    // Sets the stop request; the worker ends at its next tile boundary.
    void RequestStop();
    bool StopRequested() const;

    // The last tile this worker finished; 0, 0 when none yet. Column and row
    // are published as one unit, so a reader never mixes two tiles.
    TilePosition CurrentPosition() const;
    int CurrentX() const { return CurrentPosition().X; }
    int CurrentY() const { return CurrentPosition().Y; }

    const int ThreadIndex;

protected:
    void run() override;

private:
    void RunWorker();
    // ... (implementation details belong to the worker's source)

    const MDTask* Task;
    DownloadReportSink* Reports;
    PauseFunction Pause;
    std::atomic<bool> stopRequested_{false};
    std::atomic<std::uint64_t> currentPosition_{0};
};
