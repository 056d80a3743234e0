#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <mutex>

// Carries log lines from a run's thread to the GUI thread, in order. Lines
// gather while the GUI thread is busy and arrive as one append per batch, so
// a fast run neither floods the event queue nor updates the pane per line.
class LogLineRelay {
public:
    using AppendLines = std::function<void(const QStringList& lines)>;

    // `appendLines` runs on the thread of `receiver`, never after it is gone.
    LogLineRelay(QObject* receiver, AppendLines appendLines);

    // From any thread. A batch queued before a later queued call to the same
    // receiver arrives before that call.
    void Add(const QString& line);

private:
    void Deliver();

    QPointer<QObject> receiver_;
    AppendLines appendLines_;
    std::mutex mutex_;
    QStringList pending_;
    bool deliveryQueued_ = false;
};
