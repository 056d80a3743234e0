#include "viewer/window/summary_dialog.h"

#include "task/download_task.h"
#include "task/task_size_estimate.h"
#include "viewer/viewed_task.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
// When the tiles were fetched, and how many the server would now be asked about.
QString AgesText(const TileAges& ages)
{
    if (ages.TilesWithDates() == 0)
        return SummaryDialog::tr("\nFetched: no dates kept");
    const auto date = [](const QDateTime& time) { return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")); };
    return SummaryDialog::tr("\nFetched: %1 to %2\nPast their freshness: %3 of %4")
        .arg(date(ages.OldestFetch()), date(ages.NewestFetch()), GroupedNumber(ages.PastFreshness()),
            GroupedNumber(ages.TilesWithDates()));
}
}

SummaryDialog::SummaryDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Task summary"));
    counts_ = new QLabel;
    counts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_ = new QProgressBar(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // A series of many zoom levels scrolls rather than outgrowing the screen.
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(counts_);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMinimumSize(340, counts_->fontMetrics().lineSpacing() * 12);
    counts_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    Refresh();
}

void SummaryDialog::SetTasks(const QList<ViewedTask*>& tasks)
{
    for (const QPointer<ViewedTask>& task : std::as_const(tasks_))
        if (task)
            disconnect(task, nullptr, this, nullptr);
    tasks_.clear();
    for (ViewedTask* task : tasks) {
        tasks_.append(task);
        connect(task, &ViewedTask::CountsChanged, this, &SummaryDialog::Refresh);
    }
    Refresh();
}

QString SummaryDialog::Text() const
{
    return counts_->text();
}

bool SummaryDialog::TasksLive() const
{
    return !tasks_.isEmpty() && std::all_of(tasks_.begin(), tasks_.end(), [](const auto& task) { return !task.isNull(); });
}

void SummaryDialog::Refresh()
{
    if (!TasksLive()) {
        counts_->setText(tr("No task is open."));
        progress_->hide();
        return;
    }
    const auto n = [](qint64 value) { return GroupedNumber(value); };
    QStringList blocks;
    if (tasks_.size() > 1)
        blocks << tr("Zoom series of %1 zoom levels, %2 to %3")
                      .arg(tasks_.size())
                      .arg(tasks_.first()->Zoom())
                      .arg(tasks_.last()->Zoom());
    bool listed = true, counted = true;
    qint64 checked = 0, toCheck = 0;
    for (const QPointer<ViewedTask>& task : std::as_const(tasks_)) {
        const TileCounts& c = task->Counts();
        QString text = tr("Task: %1\nTiles: %2 at zoom level %3\n\n")
                           .arg(QFileInfo(task->ProjectFile()).fileName(), n(task->Task().TotalCount))
                           .arg(task->Zoom());
        text += tr("Stored: %1\nMissing: %2\nFailed: %3\nBlank: %4\nUnreadable: %5\n")
                    .arg(n(c.Stored), n(c.Missing), n(c.Failed), n(c.Blank), n(c.Unreadable));
        if (c.Unchecked > 0)
            text += tr("Not checked yet: %1\n").arg(n(c.Unchecked));
        text += tr("Bytes on disk: %1 (%2)").arg(n(c.BytesOnDisk), ApproximateSizeText(double(c.BytesOnDisk)));
        if (task->AgesRead())
            text += AgesText(task->Ages());
        blocks << text;
        listed = listed && task->IsListed();
        counted = counted && task->IsCounted();
        checked += task->FilesChecked();
        toCheck += task->FilesToCheck();
    }
    counts_->setText(blocks.join(QStringLiteral("\n\n")));
    progress_->setVisible(!counted);
    if (!listed) {
        progress_->setRange(0, 0);  // busy: the folders are being listed
        return;
    }
    progress_->setRange(0, 1000);
    progress_->setValue(toCheck > 0 ? int(checked * 1000 / toCheck) : 0);
    progress_->setFormat(tr("Checking files: %1 of %2").arg(n(checked), n(toCheck)));
}
