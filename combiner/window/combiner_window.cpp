#include "combiner/window/combiner_window.h"

#include "combiner/window/combine_thread.h"
#include "combiner/window/tile_count.h"
#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "task/opened_task.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr OutputFormat kFormats[] = {OutputFormat::GeoTiff, OutputFormat::Png, OutputFormat::MBTiles};

QString FormatCaption(OutputFormat format)
{
    switch (format) {
    case OutputFormat::GeoTiff: return QStringLiteral("GeoTIFF (.tif)");
    case OutputFormat::Png: return QStringLiteral("PNG with world file (.png)");
    case OutputFormat::MBTiles: return QStringLiteral("MBTiles (.mbtiles)");
    }
    return {};
}

QString ProjectFileOf(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return {};
    const QString file = data->urls().constFirst().toLocalFile();
    return file.endsWith(QStringLiteral(".qtsk"), Qt::CaseInsensitive) ? file : QString();
}
}

CombinerWindow::CombinerWindow(QWidget* parent)
    : QWidget(parent),
      taskEdit_(new QLineEdit(this)),
      chooseTaskButton_(new QPushButton(QStringLiteral("C&hoose..."), this)),
      chooseOutputButton_(new QPushButton(QStringLiteral("Save &as..."), this)),
      summaryLabel_(new QLabel(QStringLiteral("Choose a task's project file, or drop it here."), this)),
      formatBox_(new QComboBox(this)),
      outputEdit_(new QLineEdit(this)),
      startButton_(new QPushButton(QStringLiteral("&Start"), this)),
      cancelButton_(new QPushButton(QStringLiteral("&Cancel"), this)),
      progressBar_(new QProgressBar(this)),
      progressLabel_(new QLabel(this)),
      report_(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("Map Combiner"));
    setAcceptDrops(true);
    BuildLayout();
    SetRunning(false);
}

CombinerWindow::~CombinerWindow()
{
    if (thread_) {
        thread_->Cancel();
        thread_->wait();
    }
}

void CombinerWindow::BuildLayout()
{
    auto* taskRow = new QHBoxLayout;
    taskRow->addWidget(taskEdit_);
    taskRow->addWidget(chooseTaskButton_);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(outputEdit_);
    outputRow->addWidget(chooseOutputButton_);
    for (OutputFormat format : kFormats)
        formatBox_->addItem(FormatCaption(format));

    // Two lines kept for the summary, so the controls below do not jump when
    // "Counting the tiles..." gives way to it; long texts wrap instead of
    // widening the window.
    summaryLabel_->setWordWrap(true);
    summaryLabel_->setMinimumHeight(2 * summaryLabel_->fontMetrics().lineSpacing());
    progressLabel_->setWordWrap(true);
    taskEdit_->setReadOnly(true);
    report_->setReadOnly(true);
    report_->setMaximumBlockCount(100000);
    report_->setPlaceholderText(QStringLiteral("Tiles that are not stored are listed here."));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Task:"), taskRow);
    form->addRow(QStringLiteral("Holds:"), summaryLabel_);
    form->addRow(QStringLiteral("Format:"), formatBox_);
    form->addRow(QStringLiteral("Output:"), outputRow);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton_);
    buttons->addWidget(cancelButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(progressBar_);
    layout->addWidget(progressLabel_);
    layout->addWidget(report_);
    resize(560, 420);

    connect(chooseTaskButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { ChooseTask(); }); });
    connect(chooseOutputButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { ChooseOutput(); }); });
    connect(formatBox_, &QComboBox::currentIndexChanged, this, [this] { RunGuarded([this] { FormatChanged(); }); });
    connect(startButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { Start(); }); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (thread_)
            thread_->Cancel();
    });
}

OutputFormat CombinerWindow::SelectedFormat() const
{
    return kFormats[std::max(0, formatBox_->currentIndex())];
}

void CombinerWindow::OpenTask(const QString& projectFile)
{
    try {
        auto opened = std::make_shared<const OpenedTask>(OpenTaskReadOnly(projectFile));
        taskEdit_->setText(QDir::toNativeSeparators(QFileInfo(projectFile).absoluteFilePath()));
        outputEdit_->setText(opened->Parameters->Path + MDTask::TaskBase(opened->Parameters->TaskName) + u'.'
            + OutputFormatSuffix(SelectedFormat()));
        report_->clear();
        progressBar_->reset();
        progressLabel_->clear();
        CountTiles(std::move(opened));
    } catch (const AppError& error) {
        ShowMessage(error.Message());
    }
    SetRunning(false);
}

void CombinerWindow::CountTiles(std::shared_ptr<const OpenedTask> task)
{
    // The count of the task shown before stops here: its results would be wrong now.
    delete tileCount_;
    summary_.reset();
    summaryLabel_->setText(QStringLiteral("Counting the tiles..."));
    tileCount_ = new TileCount(std::move(task), this);
    connect(tileCount_, &TileCount::Progressed, this,
        [this](int percent) { summaryLabel_->setText(QStringLiteral("Counting the tiles... %1%").arg(percent)); });
    connect(tileCount_, &TileCount::Counted, this, [this](const TileTaskSummary& summary) {
        summary_ = summary;
        ShowSummary();
    });
    connect(tileCount_, &TileCount::Failed, this,
        [this] { summaryLabel_->setText(QStringLiteral("The tiles could not be counted.")); });
}

void CombinerWindow::ShowSummary()
{
    if (!summary_)
        return;
    const QLocale locale;
    const TileTaskSummary& s = *summary_;
    summaryLabel_->setText(QStringLiteral("%1 tiles: %2 stored, %3 missing, %4 failed, %5 blank.\n"
                                          "Output %6 x %7 pixels, about %8.")
            .arg(locale.toString(s.Geometry.TileCount()), locale.toString(s.Stored), locale.toString(s.Missing),
                locale.toString(s.Failed), locale.toString(s.Blank), locale.toString(s.Geometry.WidthPixels()),
                locale.toString(s.Geometry.HeightPixels()),
                locale.formattedDataSize(EstimateOutputBytes(s, SelectedFormat()))));
}

void CombinerWindow::ChooseTask()
{
    const auto file = ChooseFileToOpen(this, QStringLiteral("Open task"),
        QStringLiteral("Projects(*.qtsk)|*.qtsk"), QFileInfo(taskEdit_->text()).absolutePath());
    if (file)
        OpenTask(*file);
}

void CombinerWindow::ChooseOutput()
{
    const OutputFormat format = SelectedFormat();
    const QString suffix = OutputFormatSuffix(format);
    const auto file = ChooseFileToSave(this, QStringLiteral("Save the combined map as"),
        FormatCaption(format) + QStringLiteral("|*.") + suffix, outputEdit_->text());
    if (!file)
        return;
    outputEdit_->setText(OutputFormatFromFileName(*file) ? *file : *file + u'.' + suffix);
    const auto chosen = OutputFormatFromFileName(outputEdit_->text());
    formatBox_->setCurrentIndex(int(std::find(std::begin(kFormats), std::end(kFormats), *chosen) - std::begin(kFormats)));
}

void CombinerWindow::FormatChanged()
{
    const QString output = outputEdit_->text();
    if (!output.isEmpty()) {
        const QString suffix = QFileInfo(output).suffix();
        const QString base = OutputFormatFromFileName(output) ? output.chopped(suffix.size() + 1) : output;
        outputEdit_->setText(base + u'.' + OutputFormatSuffix(SelectedFormat()));
    }
    ShowSummary();
}

void CombinerWindow::Start()
{
    if (thread_ || !tileCount_)
        return;
    const QString target = outputEdit_->text().trimmed();
    if (target.isEmpty()) {
        ShowMessage(QStringLiteral("Name the output file."));
        return;
    }
    if (QFileInfo::exists(target) && !QFileInfo(target).isDir()
        && !AskYesNo(QStringLiteral("%1 exists. Replace it?").arg(QDir::toNativeSeparators(target))))
        return;
    report_->clear();
    progressBar_->setRange(0, 1000);
    progressBar_->setValue(0);
    thread_ = new CombineThread({taskEdit_->text(), target, SelectedFormat(), false}, this);
    connect(thread_, &CombineThread::Progressed, this, &CombinerWindow::ShowProgress);
    connect(thread_, &CombineThread::TileNoted, report_, &QPlainTextEdit::appendPlainText);
    connect(thread_, &CombineThread::Ended, this,
        [this](CombineThread::Outcome outcome, const QString& text) { RunFinished(int(outcome), text); });
    SetRunning(true);
    thread_->start();
}

void CombinerWindow::ShowProgress(qint64 done, qint64 total, double seconds)
{
    progressBar_->setValue(total > 0 ? int(done * 1000 / total) : 0);
    progressLabel_->setText(CombineProgress{done, total, seconds}.Text());
}

void CombinerWindow::RunFinished(int outcome, const QString& text)
{
    thread_->wait();
    thread_->deleteLater();
    thread_ = nullptr;
    SetRunning(false);
    switch (CombineThread::Outcome(outcome)) {
    case CombineThread::Outcome::Written:
        progressBar_->setValue(progressBar_->maximum());
        progressLabel_->setText(QStringLiteral("Written %1: %2.").arg(QDir::toNativeSeparators(outputEdit_->text()), text));
        break;
    case CombineThread::Outcome::Cancelled:
        progressBar_->reset();
        progressLabel_->setText(QStringLiteral("Cancelled; nothing was written."));
        break;
    case CombineThread::Outcome::Failed:
        progressBar_->reset();
        progressLabel_->setText(QStringLiteral("Nothing was written."));
        ShowMessage(text);
        break;
    }
    emit RunEnded();
}

void CombinerWindow::SetRunning(bool running)
{
    // Combining needs no summary: a large task may start before its count ends.
    startButton_->setEnabled(!running && tileCount_ != nullptr);
    cancelButton_->setEnabled(running);
    formatBox_->setEnabled(!running);
    chooseTaskButton_->setEnabled(!running);
    chooseOutputButton_->setEnabled(!running);
    outputEdit_->setReadOnly(running);
}

void CombinerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!thread_ && !ProjectFileOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CombinerWindow::dropEvent(QDropEvent* event)
{
    RunGuarded([&] { OpenTask(ProjectFileOf(event->mimeData())); });
}

void CombinerWindow::closeEvent(QCloseEvent* event)
{
    if (thread_) {
        thread_->Cancel();
        thread_->wait();
    }
    event->accept();
}
