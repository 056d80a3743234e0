#include "recovery/log_line_relay.h"

LogLineRelay::LogLineRelay(QObject* receiver, AppendLines appendLines)
    : receiver_(receiver), appendLines_(std::move(appendLines))
{
}

void LogLineRelay::Add(const QString& line)
{
    std::lock_guard lock(mutex_);
    pending_ << line;
    if (deliveryQueued_ || !receiver_)
        return;
    deliveryQueued_ = true;
    QMetaObject::invokeMethod(receiver_, [this] { Deliver(); }, Qt::QueuedConnection);
}

void LogLineRelay::Deliver()
{
    QStringList lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(pending_);
        deliveryQueued_ = false;
    }
    appendLines_(lines);
}
