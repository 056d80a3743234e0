#include "run/failed_records.h"

#include "platform/text_files.h"
#include "run/task_progress.h"
#include "task/download_task.h"

#include <QFileInfo>
#include <QSet>
#include <optional>

namespace {
constexpr qsizetype kRecordCap = 1 << 16;

// The place in the walk of the tile whose image a record names: its file
// name is "<prefix>_<x>_<y>_<zoom>.<extension>", before the first "|".
std::optional<qint64> RecordPlace(const MDTask& task, const QString& record)
{
    const QString name = QFileInfo(record.left(record.indexOf(u'|'))).fileName();
    const QStringList parts = name.split(u'_');
    if (parts.size() < 4)
        return std::nullopt;
    bool xRead = false, yRead = false;
    const int x = parts[parts.size() - 3].toInt(&xRead);
    const int y = parts[parts.size() - 2].toInt(&yRead);
    if (!xRead || !yRead || x < task.MinX || x > task.MaxX || y < task.MinY || y > task.MaxY
        || task.TileFileName(x, y) != name)
        return std::nullopt;
    return PlaceInWalk(task, x, y);
}

// The last place worker `threadIndex` finished in an earlier run; 0 when it
// starts from the beginning.
qint64 ResumePlace(const MDTask& task, int threadIndex)
{
    if (task.ResumeX[threadIndex] == 0 || task.ResumeY[threadIndex] == 0)
        return 0;
    return PlaceInWalk(task, task.ResumeX[threadIndex], task.ResumeY[threadIndex]);
}
}

qint64 WithdrawFailedRecordsAhead(const MDTask& task)
{
    const int threadCount = task.Parameters->ThreadCount;
    TextLineReader reader(task.FailedFileName, kRecordCap);
    TextLineWriter kept(task.FailedFileName);
    QSet<qint64> keptPlaces;
    QSet<QString> keptOthers;
    qint64 keptCount = 0;
    bool withdrawn = false;
    while (const auto line = reader.Next()) {
        if (line->Text.isEmpty())
            continue;
        bool keep = false;
        if (const auto place = RecordPlace(task, line->Text)) {
            // Worker i > 0 walks the places i, i + n, ...; worker 0 the places n, 2n, ...
            const int worker = int(*place % threadCount);
            keep = *place <= ResumePlace(task, worker) && !keptPlaces.contains(*place);
            keptPlaces.insert(*place);
        } else {
            keep = !keptOthers.contains(line->Text);
            keptOthers.insert(line->Text);
        }
        if (keep) {
            kept.WriteLine(line->Text);
            ++keptCount;
        }
        withdrawn = withdrawn || !keep;
    }
    if (withdrawn)
        kept.Commit();
    return keptCount;
}
