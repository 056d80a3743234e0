#include "viewer/window/summary_dialog.h"

#include "task/download_task.h"
#include "viewer/viewed_task.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QVBoxLayout>

SummaryDialog::SummaryDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Task summary"));
    counts_ = new QLabel(this);
    counts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_ = new QProgressBar(this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(counts_);
    layout->addWidget(progress_);
    layout->addWidget(buttons);
    Refresh();
}

void SummaryDialog::SetTask(ViewedTask* task)
{
    if (task_)
        disconnect(task_, nullptr, this, nullptr);
    task_ = task;
    if (task_)
        connect(task_, &ViewedTask::CountsChanged, this, &SummaryDialog::Refresh);
    Refresh();
}

QString SummaryDialog::Text() const
{
    return counts_->text();
}

void SummaryDialog::Refresh()
{
    if (!task_) {
        counts_->setText(tr("No task is open."));
        progress_->hide();
        return;
    }
    const QLocale locale;
    const TileCounts& c = task_->Counts();
    const auto n = [&locale](qint64 value) { return locale.toString(value); };
    QString text = tr("Task: %1\nTiles: %2 at zoom level %3\n\n")
                       .arg(QFileInfo(task_->ProjectFile()).fileName(), n(task_->Task().TotalCount))
                       .arg(task_->Zoom());
    text += tr("Stored: %1\nMissing: %2\nFailed: %3\nBlank: %4\nUnreadable: %5\n")
                .arg(n(c.Stored), n(c.Missing), n(c.Failed), n(c.Blank), n(c.Unreadable));
    if (c.Unchecked > 0)
        text += tr("Not checked yet: %1\n").arg(n(c.Unchecked));
    text += tr("Bytes on disk: %1 (%2)").arg(n(c.BytesOnDisk), locale.formattedDataSize(c.BytesOnDisk));
    counts_->setText(text);
    progress_->setVisible(!task_->IsCounted());
    if (!task_->IsListed()) {
        progress_->setRange(0, 0);  // busy: the folder is being listed
        return;
    }
    progress_->setRange(0, 1000);
    const qint64 toCheck = task_->FilesToCheck();
    progress_->setValue(toCheck > 0 ? int(task_->FilesChecked() * 1000 / toCheck) : 0);
    progress_->setFormat(tr("Checking files: %1 of %2").arg(n(task_->FilesChecked()), n(toCheck)));
}
