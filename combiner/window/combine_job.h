#pragma once

#include "combiner/combine.h"
#include "platform/work_pool.h"

#include <QElapsedTimer>
#include <QObject>
#include <optional>

// One combine run on the pool. Its reports reach the window as signals on
// the job's thread; Cancel() is looked at between spans of tiles, and the
// run then ends as Cancelled.
class CombineJob : public QObject, private CombineObserver {
    Q_OBJECT
public:
    enum class Outcome { Written, Cancelled, Failed };

    explicit CombineJob(CombineRequest request, QObject* parent = nullptr);

    void Start();
    void Cancel() { job_.Cancel(); }
    void Wait() { job_.Wait(); }

signals:
    void Progressed(qint64 done, qint64 total, double seconds);
    void TileNoted(const QString& line);
    // `text`: the counts when written, the message when it failed.
    void Ended(CombineJob::Outcome outcome, const QString& text);

private:
    void Run(const PoolJobContext& job);
    void Progress(const CombineProgress& progress) override;
    void TileNote(const QString& line) override;
    bool CancelRequested() const override { return running_->CancelRequested(); }

    CombineRequest request_;
    std::optional<PoolJobContext> running_;  // on the pool thread, while it runs
    QElapsedTimer sinceProgress_;
    PoolJob job_;  // destroyed first: cancels and waits for the run
};
