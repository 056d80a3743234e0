#include "app/task_progress_display.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <limits>

namespace {
constexpr int kBarWidth = 110;
constexpr int kBarHeight = 13;
}

TaskProgressDisplay::TaskProgressDisplay(QWidget* parent)
    : QWidget(parent), bar_(new QProgressBar(this)), text_(new QLabel(this))
{
    setObjectName(QStringLiteral("TaskProgressDisplay"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 4, 0);
    layout->setSpacing(6);
    bar_->setObjectName(QStringLiteral("TaskProgressBar"));
    bar_->setFixedSize(kBarWidth, kBarHeight);
    bar_->setTextVisible(false);
    bar_->hide();
    text_->setObjectName(QStringLiteral("TaskProgressText"));
    layout->addWidget(bar_);
    layout->addWidget(text_);
}

void TaskProgressDisplay::ShowEstimate(const QString& text)
{
    bar_->hide();
    text_->setText(text);
}

void TaskProgressDisplay::BeginTask(qint64 total, qint64 finished, qint64 timeMs)
{
    total_ = total;
    rate_.Clear();
    rate_.AddSample(timeMs, finished);
    // The task core keeps a total within 32 bits.
    bar_->setRange(0, int(std::min<qint64>(total, std::numeric_limits<int>::max())));
    bar_->show();
    ShowProgress(finished);
}

void TaskProgressDisplay::UpdateTask(qint64 finished, qint64 timeMs)
{
    rate_.AddSample(timeMs, finished);
    ShowProgress(finished);
}

bool TaskProgressDisplay::ShowsProgress() const
{
    return !bar_->isHidden();
}

void TaskProgressDisplay::ShowProgress(qint64 finished)
{
    const QString text = ProgressText(finished, total_, rate_.TilesPerSecond(), stage_);
    bar_->setValue(int(std::min<qint64>(finished, bar_->maximum())));
    bar_->setAccessibleDescription(text);
    text_->setText(text);
}
