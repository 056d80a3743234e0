#pragma once

#include "download/http_client.h"
#include "platform/work_pool.h"

#include <QObject>
#include <QStringList>
#include <mutex>

// What a re-download came to.
struct RedownloadEnd {
    bool ListOpened = false;  // false: nothing ran (Problem says why)
    bool Stopped = false;
    qint64 Fetched = 0;
    qint64 NotFetched = 0;  // asked for and not fetched, or fetched and not written
    QString Problem;        // the user's text of what ended the run early, else empty
};

// One re-download of a failed-tile list from start to end, for the window
// and the command line alike (see FailedTileRedownload for what it does
// with each line).
//
// Life of a job
// - Start(listFile): the list is read a line at a time on the pool, never
//   whole, so its size does not matter; the job mostly waits for the server.
// - Running: log lines arrive on the job's thread in batches (Logged), so a
//   fast run neither floods the event queue nor updates a pane per line.
//   Stop() aborts the request in flight; the run ends before the next line.
// - End: Ended carries the outcome as data, after the last Logged.
//   Destroying the job stops the run and waits for it.
class RedownloadJob : public QObject {
    Q_OBJECT
public:
    explicit RedownloadJob(HttpClientSettings settings, QObject* parent = nullptr);

    void Start(const QString& listFile);
    void Stop() { job_.Cancel(); }

signals:
    void Logged(const QStringList& lines);
    void Ended(const RedownloadEnd& end);

private:
    void Run(const PoolJobContext& job, const QString& listFile);
    // From the pool: queues `line` for the next batch.
    void Log(const PoolJobContext& job, const QString& line);

    HttpClientSettings settings_;
    std::mutex mutex_;
    QStringList pending_;  // lines not yet Logged
    bool deliveryQueued_ = false;
    PoolJob job_;  // destroyed first: stops and waits for the run
};
