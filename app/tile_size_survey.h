#pragma once

#include "platform/work_pool.h"
#include "task/task_size_estimate.h"

#include <QObject>
#include <QTimer>
#include <optional>

// The average size of the tile files of one map type in a task folder,
// sampled on the pool so that a huge or slow folder never holds up the
// window. A folder is sampled once until it changes or is forgotten; typing
// a folder name samples only the name the typing ends with.
class TileSizeSurvey : public QObject {
    Q_OBJECT
public:
    explicit TileSizeSurvey(QObject* parent = nullptr);
    ~TileSizeSurvey() override;

    // Samples `folder` for tiles named `filePrefix`_..., unless that is what
    // was sampled last.
    void Survey(const QString& folder, const QString& filePrefix, const QString& extension = QStringLiteral("png"));
    // The folder's tiles have changed: the next Survey samples again.
    void Forget();

    // For the folder and prefix given last: the average found, or the
    // default tile size while it is unknown.
    double AverageTileBytes() const;
    bool Sampling() const;

    // Entries one sample looks at, at most.
    static constexpr qint64 kMaxEntries = 20000;

signals:
    void AverageFound();

private:
    void StartSample();
    void CancelSample();

    QString folder_;
    QString prefix_;
    QString extension_;
    bool surveyed_ = false;
    bool sampling_ = false;
    std::optional<double> average_;
    QTimer quietTime_;
    PoolJob sample_;
};
