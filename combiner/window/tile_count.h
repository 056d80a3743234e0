#pragma once

#include "combiner/tile_task_summary.h"
#include "platform/work_pool.h"

#include <QObject>
#include <memory>

struct OpenedTask;

// Counts a task's tiles on the pool: a task of many tiles takes a while, and
// the window must not freeze meanwhile. Destroying the count stops it
// without waiting (the job holds the task itself), and it reports nothing more.
class TileCount : public QObject {
    Q_OBJECT
public:
    explicit TileCount(std::shared_ptr<const OpenedTask> task, QObject* parent = nullptr);
    ~TileCount() override;

signals:
    void Progressed(int percent);
    void Counted(const TileTaskSummary& summary);
    void Failed();

private:
    PoolJob job_;
};
