#pragma once

#include "combiner/combine.h"

#include <QElapsedTimer>
#include <QThread>
#include <atomic>

// One combine run off the GUI thread. Its reports reach the window as
// queued signals; Cancel() is checked between spans of tiles.
class CombineThread : public QThread, private CombineObserver {
    Q_OBJECT
public:
    enum class Outcome { Written, Cancelled, Failed };

    explicit CombineThread(CombineRequest request, QObject* parent = nullptr);

    void Cancel() { cancel_ = true; }

signals:
    void Progressed(qint64 done, qint64 total, double seconds);
    void TileNoted(const QString& line);
    // `text`: the counts when written, the message when it failed.
    void Ended(CombineThread::Outcome outcome, const QString& text);

protected:
    void run() override;

private:
    void Progress(const CombineProgress& progress) override;
    void TileNote(const QString& line) override;
    bool CancelRequested() const override { return cancel_; }

    CombineRequest request_;
    std::atomic<bool> cancel_{false};
    QElapsedTimer sinceProgress_;
};
