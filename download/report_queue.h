#pragma once

#include <QList>
#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>

// A column and a row published together.
struct TilePosition {
    int X = 0;
    int Y = 0;
};

// A FailureReason follows each FailedLine; a BlankTile is a tile the server
// does not have (not found), stored as the blank image.
enum class ReportKind { LogLine, FailedLine, FailureReason, BlankTile, ThreadFinished };

struct WorkerReport {
    ReportKind Kind;
    QString Text;
};

// What the GUI thread takes from a worker at one drain: the reports in the
// order the worker made them, and the worker's position as it stood after
// the last of them. A failed record is therefore always taken no later than
// the position that passes its tile.
struct ReportBatch {
    QList<WorkerReport> Reports;
    TilePosition Position;
};

// One worker's reports on their way to the GUI thread. The worker adds
// without waiting for the GUI; only when the GUI has fallen this far behind
// does it wait for the next drain, so a stalled window cannot make the
// queue grow without bound.
class ReportQueue {
public:
    static constexpr qsizetype kMaxPending = 4096;

    // Worker side. Add waits while the queue is full, unless `release` has
    // been called (a stopping worker must be able to end its run).
    void Add(ReportKind kind, const QString& text);
    // Reports added after Hold wait beside the queue; Publish hands them over
    // in one step with the position they lead to, when there is one. A drain
    // then never takes a tile's outcome without the position that passes it.
    void Hold();
    void Publish(std::optional<TilePosition> position);
    TilePosition Position() const;

    // GUI side.
    ReportBatch Take();
    // Lets every waiting and later Add through at once.
    void Release();

private:
    mutable std::mutex mutex_;
    std::condition_variable drained_;
    QList<WorkerReport> pending_;
    QList<WorkerReport> held_;
    bool holding_ = false;
    TilePosition position_;
    bool released_ = false;
};
