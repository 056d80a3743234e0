#include "run/failure_reason_counts.h"

#include "task/task_size_estimate.h"

#include <QList>
#include <algorithm>
#include <utility>

void AddFailureReasons(FailureReasonCounts& sum, const FailureReasonCounts& more)
{
    for (auto reason = more.cbegin(); reason != more.cend(); ++reason)
        sum[reason.key()] += reason.value();
}

QStringList FailureReasonLines(const FailureReasonCounts& counts)
{
    QList<std::pair<QString, qint64>> reasons;
    for (auto reason = counts.cbegin(); reason != counts.cend(); ++reason)
        reasons.append({reason.key(), reason.value()});
    std::stable_sort(reasons.begin(), reasons.end(),
        [](const auto& a, const auto& b) { return a.second > b.second; });
    QStringList lines;
    for (const auto& [reason, count] : reasons)
        lines << GroupedNumber(count) + QStringLiteral(" failed: ") + reason;
    return lines;
}
