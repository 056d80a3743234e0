#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// Failed tiles counted by their reason in words (see FailureReasonText).
using FailureReasonCounts = QMap<QString, qint64>;

void AddFailureReasons(FailureReasonCounts& sum, const FailureReasonCounts& more);

// "6 failed: connection refused by 127.0.0.1:19999", one line a reason,
// the most frequent first.
QStringList FailureReasonLines(const FailureReasonCounts& counts);
