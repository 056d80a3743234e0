#include "combiner/window/combiner_window.h"

#include "combiner/window/combine_job.h"
#include "combiner/window/tile_count.h"
#include "platform/app_error.h"
#include "platform/file_dialogs.h"
#include "platform/message_box.h"
#include "task/stored_shape.h"

#include "task/configured_servers.h"
#include "task/task_size_estimate.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
const auto& kFormats = kOutputFormats;

QString FormatCaption(OutputFormat format)
{
    switch (format) {
    case OutputFormat::GeoTiff: return QStringLiteral("GeoTIFF (.tif)");
    case OutputFormat::Png: return QStringLiteral("PNG with world file (.png)");
    case OutputFormat::MBTiles: return QStringLiteral("MBTiles (.mbtiles)");
    case OutputFormat::GeoPackage: return QStringLiteral("GeoPackage (.gpkg)");
    }
    return {};
}

// The project files dropped; none unless every file is one.
QStringList ProjectFilesOf(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return {};
    QStringList files;
    for (const QUrl& url : data->urls()) {
        const QString file = url.toLocalFile();
        if (!file.endsWith(QStringLiteral(".qtsk"), Qt::CaseInsensitive))
            return {};
        files << file;
    }
    return files;
}

int DeepestZoom(const QList<SeriesTask>& tasks)
{
    int zoom = 0;
    for (const SeriesTask& task : tasks)
        zoom = std::max(zoom, task.Zoom);
    return zoom;
}

// What the chosen tasks of one zoom hold together: their tiles, and as one
// summary the counts added up over the rectangle that holds them all (the
// image an image format makes of them).
struct ZoomHoldings {
    qint64 Tiles = 0;
    TileTaskSummary Joined;

    void Add(const TileTaskSummary& s)
    {
        const MosaicGeometry& g = s.Geometry;
        const MosaicGeometry& j = Joined.Geometry;
        Joined.Geometry = Tiles == 0 ? g
            : MosaicGeometry::ForArea(g.Zoom, std::min(j.MinX, g.MinX), std::min(j.MinY, g.MinY),
                int(std::max(j.MinX + j.Columns, g.MinX + g.Columns) - 1), int(std::max(j.MinY + j.Rows, g.MinY + g.Rows) - 1));
        Tiles += s.Tiles;
        Joined.Stored += s.Stored, Joined.Blank += s.Blank, Joined.Failed += s.Failed, Joined.Missing += s.Missing;
        Joined.Unreadable += s.Unreadable, Joined.StoredBytes += s.StoredBytes;
        Joined.Sample += s.Sample;
    }
};
}

CombinerWindow::CombinerWindow(QWidget* parent)
    : QWidget(parent),
      taskEdit_(new QLineEdit(this)),
      chooseTaskButton_(new QPushButton(QStringLiteral("C&hoose..."), this)),
      chooseOutputButton_(new QPushButton(QStringLiteral("Save &as..."), this)),
      summaryLabel_(new QLabel(QStringLiteral("Choose a task's project file, or drop it here."), this)),
      seriesBox_(new QCheckBox(this)),
      lowerZoomBox_(new QSpinBox(this)),
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
    if (job_) {
        job_->Cancel();
        job_->Wait();
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

    seriesBox_->setVisible(false);
    // -1 shows as "none": no zoom level is built.
    lowerZoomBox_->setRange(-1, 30);
    lowerZoomBox_->setSpecialValueText(QStringLiteral("none"));
    lowerZoomBox_->setValue(-1);
    lowerZoomBox_->setToolTip(QStringLiteral("MBTiles and GeoPackage: every zoom level from this one up to the lowest "
                                             "of the task, each tile the average of the four below it"));
    // The levels built count in the estimate.
    connect(lowerZoomBox_, &QSpinBox::valueChanged, this, &CombinerWindow::ShowSummary);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Task:"), taskRow);
    form->addRow(QString(), seriesBox_);
    form->addRow(QStringLiteral("Holds:"), summaryLabel_);
    form->addRow(QStringLiteral("Format:"), formatBox_);
    form->addRow(QStringLiteral("Output:"), outputRow);
    form->addRow(QStringLiteral("&Lower zooms from:"), lowerZoomBox_);
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
    connect(seriesBox_, &QCheckBox::toggled, this, [this] { RunGuarded([this] { CountTiles(ChosenTasks()); }); });
    connect(startButton_, &QPushButton::clicked, this, [this] { RunGuarded([this] { Start(); }); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (job_)
            job_->Cancel();
    });
}

OutputFormat CombinerWindow::SelectedFormat() const
{
    return kFormats[std::max(0, formatBox_->currentIndex())];
}

void CombinerWindow::OpenTask(const QString& projectFile)
{
    OpenTasks({projectFile});
}

void CombinerWindow::OpenTasks(const QStringList& projectFiles)
{
    if (projectFiles.isEmpty())
        return;
    try {
        const QString& firstFile = projectFiles.constFirst();
        const OpenedTask first = OpenStoredTaskReadOnly(firstFile);
        QList<SeriesTask> tasks;
        QStringList shown;
        for (const QString& file : projectFiles) {
            if (projectFiles.size() > 1)
                tasks.append({file, OpenStoredTaskReadOnly(file).Parameters->Zoom});
            shown << QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
        }
        together_ = projectFiles.size() > 1;
        series_ = together_ ? tasks : FindSeriesBeside(firstFile);
        taskEdit_->setText(shown.join(QStringLiteral("; ")));
        const auto series = ParseSeriesProjectFileName(firstFile);
        const QString name = series ? MDTask::TaskBase(QFileInfo(series->BaseProjectFile).fileName())
                                    : MDTask::TaskBase(first.Parameters->TaskName);
        outputEdit_->setText(first.Parameters->Path + name + u'.' + OutputFormatSuffix(SelectedFormat()));
        const bool offerSeries = !together_ && series_.size() > 1;
        const QSignalBlocker quiet(seriesBox_);
        seriesBox_->setVisible(offerSeries);
        seriesBox_->setChecked(offerSeries);
        if (offerSeries)
            seriesBox_->setText(QStringLiteral("&Whole zoom series: %1 tasks, zoom %2 to %3")
                                    .arg(series_.size()).arg(series_.constFirst().Zoom).arg(series_.constLast().Zoom));
        report_->clear();
        progressBar_->reset();
        progressLabel_->clear();
        CountTiles(ChosenTasks());
        // Offered at the deepest zoom minus 4: the levels a phone's or web
        // map's overview needs.
        lowerZoomBox_->setValue(std::max(0, DeepestZoom(ChosenTasks()) - 4));
    } catch (const AppError& error) {
        ShowMessage(error.Message());
    }
    SetRunning(false);
}

QList<SeriesTask> CombinerWindow::ChosenTasks() const
{
    if (together_ || seriesBox_->isChecked())
        return series_;
    const QString shown = QDir::fromNativeSeparators(taskEdit_->text());
    for (const SeriesTask& task : series_)
        if (QFileInfo(task.ProjectFile).absoluteFilePath() == QFileInfo(shown).absoluteFilePath())
            return {task};
    return series_.mid(0, 1);
}

void CombinerWindow::CountTiles(const QList<SeriesTask>& tasks)
{
    // The counts of the tasks shown before stop here: their results would be wrong now.
    for (TileCount* count : tileCounts_)
        delete count;
    tileCounts_.clear();
    summaries_.clear();
    summaryLabel_->setText(QStringLiteral("Counting the tiles..."));
    for (qsizetype index = 0; index < tasks.size(); ++index) {
        auto* count = new TileCount(std::make_shared<const OpenedTask>(OpenStoredTaskReadOnly(tasks[index].ProjectFile)), this);
        tileCounts_.push_back(count);
        connect(count, &TileCount::Progressed, this, [this](int percent) {
            if (summaries_.empty())
                summaryLabel_->setText(QStringLiteral("Counting the tiles... %1%").arg(percent));
        });
        connect(count, &TileCount::Counted, this, [this, index, total = tasks.size()](const TileTaskSummary& summary) {
            summaries_[index] = summary;
            if (summaries_.size() == size_t(total))
                ShowSummary();
        });
        connect(count, &TileCount::Failed, this,
            [this] { summaryLabel_->setText(QStringLiteral("The tiles could not be counted.")); });
    }
    SetRunning(false);
}

void CombinerWindow::ShowSummary()
{
    if (summaries_.empty() || summaries_.size() != tileCounts_.size())
        return;
    const auto line = [&](const ZoomHoldings& zoom) {
        const TileTaskSummary& s = zoom.Joined;
        const QString unreadable = s.Unreadable > 0
            ? QStringLiteral(", %1 unreadable").arg(GroupedNumber(s.Unreadable)) : QString();
        return QStringLiteral("%1 tiles: %2 stored, %3 missing, %4 failed, %5 blank%6.")
            .arg(GroupedNumber(zoom.Tiles), GroupedNumber(s.Stored), GroupedNumber(s.Missing),
                GroupedNumber(s.Failed), GroupedNumber(s.Blank), unreadable);
    };
    std::map<int, ZoomHoldings> zooms;
    for (const auto& [index, summary] : summaries_)
        zooms[summary.Geometry.Zoom].Add(summary);
    const OutputFormat format = SelectedFormat();
    // An image holds the deepest zoom alone, its tasks joined.
    const TileTaskSummary& deepest = zooms.rbegin()->second.Joined;
    qint64 bytes = 0;
    if (IsTileSetFormat(format)) {
        for (const auto& [index, summary] : summaries_)
            bytes += EstimateOutputBytes(summary, format);
        const auto& [lowestZoom, lowest] = *zooms.begin();
        if (const int from = lowerZoomBox_->value(); from >= 0 && from < lowestZoom)
            bytes += EstimateLowerZoomBytes(lowest.Joined, lowestZoom - from);
    } else
        bytes = EstimateOutputBytes(deepest, format);
    QStringList lines;
    if (zooms.size() == 1) {
        lines << line(zooms.begin()->second);
    } else {
        for (const auto& [zoom, holdings] : zooms)
            lines << QStringLiteral("Zoom %1: ").arg(zoom) + line(holdings);
    }
    lines << (IsTileSetFormat(format) ? QStringLiteral("Output about %1.").arg(ApproximateSizeText(double(bytes)))
                                      : QStringLiteral("Output %1 x %2 pixels%3, about %4.")
                                            .arg(GroupedNumber(deepest.Geometry.WidthPixels()),
                                                GroupedNumber(deepest.Geometry.HeightPixels()),
                                                zooms.size() > 1 ? QStringLiteral(" (zoom %1)").arg(deepest.Geometry.Zoom) : QString(),
                                                ApproximateSizeText(double(bytes))));
    summaryLabel_->setText(lines.join(u'\n'));
}

void CombinerWindow::ChooseTask()
{
    const auto file = ChooseFileToOpen(this, QStringLiteral("Open task"),
        QStringLiteral("Projects(*.qtsk)|*.qtsk"), QFileInfo(series_.value(0).ProjectFile).absolutePath());
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
    lowerZoomBox_->setEnabled(IsTileSetFormat(SelectedFormat()));
    ShowSummary();
}

void CombinerWindow::Start()
{
    if (job_ || tileCounts_.empty())
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
    QStringList projectFiles;
    for (const SeriesTask& task : ChosenTasks())
        projectFiles << task.ProjectFile;
    const OutputFormat format = SelectedFormat();
    job_ = new CombineJob({projectFiles, target, format, false, IsTileSetFormat(format) ? lowerZoomBox_->value() : -1,
                                    true, ReadTileServers()}, this);
    connect(job_, &CombineJob::Progressed, this, &CombinerWindow::ShowProgress);
    connect(job_, &CombineJob::TileNoted, report_, &QPlainTextEdit::appendPlainText);
    connect(job_, &CombineJob::Ended, this,
        [this](CombineJob::Outcome outcome, const QString& text) { RunFinished(int(outcome), text); });
    SetRunning(true);
    job_->Start();
}

void CombinerWindow::ShowProgress(qint64 done, qint64 total, double seconds)
{
    progressBar_->setValue(total > 0 ? int(done * 1000 / total) : 0);
    progressLabel_->setText(CombineProgress{done, total, seconds}.Text());
}

void CombinerWindow::RunFinished(int outcome, const QString& text)
{
    job_->Wait();
    job_->deleteLater();
    job_ = nullptr;
    SetRunning(false);
    switch (CombineJob::Outcome(outcome)) {
    case CombineJob::Outcome::Written:
        progressBar_->setValue(progressBar_->maximum());
        progressLabel_->setText(QStringLiteral("Written %1: %2.").arg(QDir::toNativeSeparators(outputEdit_->text()), text));
        break;
    case CombineJob::Outcome::Cancelled:
        progressBar_->reset();
        progressLabel_->setText(QStringLiteral("Cancelled; nothing was written."));
        break;
    case CombineJob::Outcome::Failed:
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
    startButton_->setEnabled(!running && !tileCounts_.empty());
    seriesBox_->setEnabled(!running);
    lowerZoomBox_->setEnabled(!running && IsTileSetFormat(SelectedFormat()));
    cancelButton_->setEnabled(running);
    formatBox_->setEnabled(!running);
    chooseTaskButton_->setEnabled(!running);
    chooseOutputButton_->setEnabled(!running);
    outputEdit_->setReadOnly(running);
}

void CombinerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!job_ && !ProjectFilesOf(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CombinerWindow::dropEvent(QDropEvent* event)
{
    RunGuarded([&] { OpenTasks(ProjectFilesOf(event->mimeData())); });
}

void CombinerWindow::closeEvent(QCloseEvent* event)
{
    if (job_) {
        job_->Cancel();
        job_->Wait();
    }
    event->accept();
}
